// Values reaching SQL: binding of every kind, named parameters, the format forms.
#include <catch2/catch.hpp>

#include <algorithm>
#include <cstring>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

using foundation::LogCapture;

namespace {

std::shared_ptr<SQDatabase> openDB() {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(db->executeUpdate("CREATE TABLE p (pid TEXT, name TEXT, n INTEGER, x REAL, b BLOB)"));
    return db;
}

std::string typeOf(SQDatabase& db, const std::string& column) {
    auto rs = db.executeQuery("SELECT typeof(" + column + ") FROM p");
    REQUIRE(rs);
    REQUIRE(rs->next());
    return rs->stringForColumnIndex(0).value_or("?");
}

} // namespace

TEST_CASE("SQDatabase binds every value as a parameter", "[SQDatabase]") {
    LogCapture log;
    auto db = openDB();

    SECTION("names with apostrophes are stored and loaded intact") {
        const std::string name = "O'Brien '); DROP TABLE p; --";
        REQUIRE(db->executeUpdate("INSERT INTO p (pid, name) VALUES (?, ?)", "1", name));
        auto rs = db->executeQuery("SELECT name FROM p WHERE name = ?", name);
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("name") == name);
    }
    SECTION("empty text stays text, an empty buffer a zero-length blob, a statement may take no values") {
        REQUIRE(
            db->executeUpdate("INSERT INTO p (name, b) VALUES (?, ?)", std::string(), foundation::Data{}));
        CHECK(typeOf(*db, "name") == "text");
        CHECK(typeOf(*db, "b") == "blob");
        auto rs = db->executeQuery("SELECT name, length(b), b FROM p");
        REQUIRE(rs->next());
        CHECK(rs->stringForColumnIndex(0) == "");
        CHECK(rs->intForColumnIndex(1) == 0);
        CHECK_FALSE(rs->dataForColumnIndex(2)); // a zero-length blob reads as none
        CHECK(db->executeUpdate("DELETE FROM p"));
    }
    SECTION("absent values bind NULL") {
        std::optional<std::string> none;
        const char* nullText = nullptr;
        REQUIRE(db->executeUpdate("INSERT INTO p (pid, name, n) VALUES (?, ?, ?)", nullptr, none, nullText));
        CHECK(typeOf(*db, "pid") == "null");
        CHECK(typeOf(*db, "name") == "null");
        CHECK(typeOf(*db, "n") == "null");
    }
    SECTION("text with an embedded NUL keeps its full length") {
        const std::string text("a\0b\0c", 5);
        REQUIRE(db->executeUpdate("INSERT INTO p (name) VALUES (?)", text));
        auto rs = db->executeQuery("SELECT name, length(CAST(name AS BLOB)) FROM p");
        REQUIRE(rs->next());
        CHECK(rs->intForColumnIndex(1) == 5);
        CHECK(rs->stringForColumnIndex(0) == text);
        CHECK(rs->objectForColumnIndex(0) == foundation::Value(text));
    }
    SECTION("blobs round-trip byte for byte") {
        foundation::Data bytes{0, 1, 2, 0, 255, 'x'};
        REQUIRE(db->executeUpdate("INSERT INTO p (b) VALUES (?)", bytes));
        auto rs = db->executeQuery("SELECT b FROM p");
        REQUIRE(rs->next());
        CHECK(rs->dataForColumn("b") == bytes);
        auto view = rs->dataNoCopyForColumn("b");
        REQUIRE(view);
        CHECK(std::equal(view->begin(), view->end(), bytes.begin(), bytes.end()));
        CHECK(rs->objectForColumnName("b") == foundation::Value(bytes));
    }
    SECTION("bound text and blobs are copied: the caller's buffers may go before the rows are read") {
        std::shared_ptr<SQResultSet> rs;
        {
            std::string text(64, 'k');
            foundation::Data blob(64, 7);
            rs = db->executeQuery("SELECT ?, ?", text, blob);
            std::memset(text.data(), 'z', text.size());
            std::fill(blob.begin(), blob.end(), 9);
        }
        auto fromList = db->executeQueryWithArgumentsInArray("SELECT ?", {SQValue(std::string(80, 'q'))});
        REQUIRE(rs->next());
        CHECK(rs->stringForColumnIndex(0) == std::string(64, 'k'));
        CHECK(rs->dataForColumnIndex(1) == foundation::Data(64, 7));
        REQUIRE(fromList->next());
        CHECK(fromList->stringForColumnIndex(0) == std::string(80, 'q'));
    }
    SECTION("numbers keep their kind") {
        REQUIRE(db->executeUpdate("INSERT INTO p (pid, n, x) VALUES (?, ?, ?)", true, UINT64_MAX, 2.5f));
        auto rs = db->executeQuery("SELECT pid, n, x FROM p");
        REQUIRE(rs->next());
        CHECK(rs->boolForColumn("pid"));
        CHECK(rs->longForColumn("n") == -1);
        CHECK(rs->unsignedLongLongIntForColumn("n") == UINT64_MAX);
        CHECK(rs->doubleForColumn("x") == 2.5);
    }
    SECTION("foundation values bind by their type, containers as their description") {
        foundation::Value list(foundation::Array{foundation::Value("a"), foundation::Value(1)});
        REQUIRE(
            db->executeUpdateWithArgumentsInArray("INSERT INTO p (pid, name, n) VALUES (?, ?, ?)",
                                                  {foundation::Value("x'y"), list, foundation::Value(7)}));
        auto rs = db->executeQuery("SELECT * FROM p");
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("pid") == "x'y");
        CHECK(rs->stringForColumn("name") == "(a, 1)");
        CHECK(rs->intForColumn("n") == 7);
    }
    SECTION("dates bind as seconds, or as text with a date formatter") {
        foundation::Date date{1413158400.5}; // 2014-10-13 00:00:00.5 UTC
        REQUIRE(db->executeUpdate("INSERT INTO p (pid, x) VALUES ('seconds', ?)", date));
        db->setDateFormat(SQDatabase::storeableDateFormat("yyyy-MM-dd HH:mm:ss.SSS"));
        REQUIRE(db->executeUpdate("INSERT INTO p (pid, name) VALUES ('text', ?)", date));
        auto rs = db->executeQuery("SELECT x, name FROM p ORDER BY pid");
        REQUIRE(rs->next()); // "seconds"
        CHECK(rs->doubleForColumnIndex(0) == date.secondsSince1970);
        REQUIRE(rs->next()); // "text"
        CHECK(rs->stringForColumnIndex(1) == "2014-10-13 00:00:00.500");
        CHECK(rs->dateForColumnIndex(1) == date);
        rs->close();
        db->setDateFormat(nullptr);
        rs = db->executeQuery("SELECT x FROM p WHERE pid = 'seconds'");
        REQUIRE(rs->next());
        CHECK(rs->dateForColumn("x") == date);
    }
}

TEST_CASE("SQDatabase named parameters", "[SQDatabase]") {
    LogCapture log;
    auto db = openDB();
    SQParameterDictionary values{{"pid", "1"}, {"name", "O'Hara"}, {"n", 3}};
    REQUIRE(db->executeUpdateWithParameterDictionary("INSERT INTO p (pid, name, n) VALUES (:pid, :name, :n)",
                                                     values));

    SECTION("a parameter used twice takes one value") {
        auto rs = db->executeQueryWithParameterDictionary(
            "SELECT name FROM p WHERE pid = :pid OR name = :pid", SQParameterDictionary{{"pid", "1"}});
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("name") == "O'Hara");
    }
    SECTION("a key naming no parameter is logged and skipped") {
        auto rs = db->executeQueryWithParameterDictionary("SELECT n FROM p WHERE pid = :pid",
                                                          SQParameterDictionary{{"pid", "1"}, {"other", 2}});
        REQUIRE(rs);
        REQUIRE(rs->next());
        CHECK(rs->intForColumn("n") == 3);
        CHECK(log.contains("Could not find index for other"));
    }
    SECTION("a missing key refuses the call") {
        CHECK_FALSE(db->executeUpdateWithParameterDictionary("UPDATE p SET n = :n WHERE pid = :pid",
                                                             SQParameterDictionary{{"n", 4}}));
        CHECK(
            log.contains("Error: the bind count (1) is not correct for the # of variables in the query (2)"));
    }
    SECTION("a dictionary of foundation values") {
        foundation::Dictionary dict{{"pid", foundation::Value("2")}, {"name", foundation::Value()}};
        REQUIRE(
            db->executeUpdateWithParameterDictionary("INSERT INTO p (pid, name) VALUES (:pid, :name)", dict));
        auto rs = db->executeQuery("SELECT name FROM p WHERE pid = ?", "2");
        REQUIRE(rs->next());
        CHECK(rs->columnIsNull("name"));
    }
}

TEST_CASE("SQDatabase format forms bind placeholders", "[SQDatabase]") {
    LogCapture log;
    auto db = openDB();
    std::string sql;
    std::vector<SQValue> values;
    auto extract = [&](std::string_view format, std::vector<SQValue> args) {
        sql.clear();
        values.clear();
        db->extractSQL(format, args, sql, values);
    };

    SECTION("\"%@\" binds the object; an absent one writes NULL and binds nothing") {
        extract("INSERT INTO p VALUES (%@, %@, %d)", {"O'Brien", nullptr, 5});
        CHECK(sql == "INSERT INTO p VALUES (?, NULL, ?)");
        REQUIRE(values.size() == 2);
        CHECK(values[0] == SQValue("O'Brien"));
        CHECK(values[1] == SQValue(5));
    }
    SECTION("\"%%\" writes one \"%\" and consumes no argument") {
        extract("SELECT * FROM p WHERE name LIKE '%%d%%' AND n = %d", {7});
        CHECK(sql == "SELECT * FROM p WHERE name LIKE '%d%' AND n = ?");
        REQUIRE(values.size() == 1);
        CHECK(values[0] == SQValue(7));
    }
    SECTION("every conversion of the table") {
        extract("%c %s %i %u %hi %hu %qi %qu %f %g %ld %lu %lld %llu %D %U",
                {'A', "s", -1, 4000000000u, 70000, 70000, -5, 6, 1.5, 0.1, -7L, 8UL, -9LL, 10ULL, 11, 12});
        CHECK(sql == "? ? ? ? ? ? ? ? ? ? ? ? ? ? ? ?");
        REQUIRE(values.size() == 16);
        CHECK(values[0] == SQValue("A"));
        CHECK(values[1] == SQValue("s"));
        CHECK(values[2] == SQValue(-1));
        CHECK(values[3] == SQValue(4000000000u));
        CHECK(values[4] == SQValue(short(70000)));
        CHECK(values[5] == SQValue((unsigned short)70000));
        CHECK(values[6].kind() == SQValue::Kind::Int64);
        CHECK(values[9] == SQValue(double(0.1f))); // %g narrows to float
        CHECK(values[13] == SQValue(10ULL));
    }
    SECTION("unknown conversions and bare length letters are written as text") {
        extract("a %x %lx %llx %hz b", {1});
        CHECK(sql == "a x lx lx hz b");
        CHECK(values.empty());
    }
    SECTION("an update and a query through the format forms") {
        REQUIRE(db->executeUpdateWithFormat("INSERT INTO p (pid, name, n) VALUES (%@, %@, %d)", "1", "Ann's",
                                            100));
        auto rs = db->executeQueryWithFormat(
            "SELECT name FROM p WHERE name LIKE %@ AND n = %d AND '100%%' = '100%%'", "Ann%", 100);
        REQUIRE(rs);
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("name") == "Ann's");
        CHECK(db->executeUpdateWithFormat("UPDATE p SET name = %@ WHERE pid = %@", nullptr, "1"));
        rs = db->executeQuery("SELECT name FROM p");
        REQUIRE(rs->next());
        CHECK(rs->columnIsNull("name"));
    }
}

TEST_CASE("SQDatabase: a value that does not bind fails its statement", "[SQDatabase]") {
    LogCapture log;
    auto db = openDB();
    // A connection that allows short values only: a longer one is refused by the bind (SQLITE_TOOBIG).
    REQUIRE(sqlite3_limit(db->sqliteHandle(), SQLITE_LIMIT_LENGTH, 1000) > 1000);
    const std::string longText(4096, 'x');
    auto rowCount = [&] {
        auto rs = db->executeQuery("SELECT COUNT(*) FROM p");
        REQUIRE(rs);
        REQUIRE(rs->next());
        return rs->intForColumnIndex(0);
    };
    auto checkSQLiteError = [&] {
        CHECK(db->lastErrorCode() == SQLITE_TOOBIG);
        CHECK(db->lastErrorMessage() == "string or blob too big");
        CHECK(db->hadError());
        CHECK(db->lastError()->code() == SQLITE_TOOBIG);
    };

    SECTION("an update stores nothing and reports SQLite's error") {
        CHECK_FALSE(db->executeUpdate("INSERT INTO p (pid, name) VALUES (?, ?)", "1", longText));
        checkSQLiteError();
        CHECK(log.contains("string or blob too big"));
        CHECK(rowCount() == 0);
    }
    SECTION("the error out-parameter carries it too") {
        foundation::ErrorPtr error;
        CHECK_FALSE(db->executeUpdateWithErrorAndBindings("INSERT INTO p (pid, b) VALUES (?, ?)", &error, "1",
                                                          foundation::Data(4096, 1)));
        REQUIRE(error);
        CHECK(error->code() == SQLITE_TOOBIG);
        CHECK(error->localizedDescription() == "string or blob too big");
        CHECK(rowCount() == 0);
    }
    SECTION("the array and map forms") {
        CHECK_FALSE(db->executeUpdateWithArgumentsInArray(
            "INSERT INTO p (pid, b) VALUES (?, ?)", {SQValue("1"), SQValue(foundation::Data(4096, 1))}));
        checkSQLiteError();
        CHECK_FALSE(db->executeUpdateWithParameterDictionary(
            "INSERT INTO p (pid, name) VALUES (:pid, :name)",
            SQParameterDictionary{{"pid", "2"}, {"name", SQValue(longText)}}));
        checkSQLiteError();
        CHECK(rowCount() == 0);
    }
    SECTION("a query gives no result set") {
        REQUIRE(db->executeUpdate("INSERT INTO p (pid, name) VALUES (?, ?)", "1", "short"));
        CHECK_FALSE(db->executeQuery("SELECT pid FROM p WHERE name = ?", longText));
        checkSQLiteError();
        CHECK_FALSE(db->hasOpenResultSets());
        CHECK_FALSE(db->executeQueryWithParameterDictionary(
            "SELECT pid FROM p WHERE name = :name", SQParameterDictionary{{"name", SQValue(longText)}}));
        checkSQLiteError();
    }
    SECTION("a cached statement stays usable after a failed bind") {
        db->setShouldCacheStatements(true);
        const std::string insert = "INSERT INTO p (pid, name) VALUES (?, ?)";
        REQUIRE(db->executeUpdate(insert, "1", "first"));
        CHECK_FALSE(db->executeUpdate(insert, "2", longText));
        checkSQLiteError();
        CHECK(db->executeUpdate(insert, "3", "third"));
        CHECK(db->cachedStatements()[insert].size() == 1);
        auto rs = db->executeQuery("SELECT group_concat(pid) FROM p");
        REQUIRE(rs->next());
        CHECK(rs->stringForColumnIndex(0) == "1,3");
    }
}

TEST_CASE("SQDatabase: a cached update reads its text in place, and only while it runs", "[SQDatabase]") {
    auto db = openDB();
    db->setShouldCacheStatements(true);
    const std::string insert = "INSERT INTO p (pid, name, b) VALUES (?, ?, ?)";
    // Each run's values are gone (and their memory reused) before the next run binds new ones.
    for (int i = 0; i < 3; ++i) {
        std::string pid = std::to_string(i);
        std::string name(40, char('a' + i));
        foundation::Data blob(24, uint8_t(i));
        REQUIRE(db->executeUpdate(insert, pid, name, blob));
        std::fill(name.begin(), name.end(), 'x');
        std::fill(blob.begin(), blob.end(), 0xff);
    }
    // The same SQL as a query with a value too few must not run on what the last update left bound.
    LogCapture log;
    CHECK_FALSE(db->executeQuery(insert, "9", "only two"));
    CHECK(log.contains("Error: the bind count is not correct for the # of variables (executeQuery)"));
    auto rs = db->executeQuery("SELECT pid, name, b FROM p ORDER BY pid");
    for (int i = 0; i < 3; ++i) {
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("pid") == std::to_string(i));
        CHECK(rs->stringForColumn("name") == std::string(40, char('a' + i)));
        CHECK(rs->dataForColumn("b") == foundation::Data(24, uint8_t(i)));
    }
    CHECK_FALSE(rs->next());
}
