// Reading rows: by index and by case-insensitive name, NULLs, whole rows, the end of a set.
#include <catch2/catch.hpp>

#include <climits>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

using foundation::LogCapture;
using foundation::Value;

namespace {

std::shared_ptr<SQDatabase> seededDB() {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(db->executeStatements("CREATE TABLE a (cid TEXT, name TEXT, n INTEGER, x REAL, b BLOB);"
                                  "CREATE TABLE c (cid TEXT, note TEXT);"
                                  "INSERT INTO a VALUES ('1', 'first', 10, 1.5, x'0102');"
                                  "INSERT INTO a VALUES ('2', NULL, NULL, NULL, NULL);"
                                  "INSERT INTO c VALUES ('1', 'joined');"));
    return db;
}

} // namespace

TEST_CASE("SQResultSet reads columns by index and by name", "[SQResultSet]") {
    LogCapture log;
    auto db = seededDB();

    SECTION("typed reads") {
        auto rs = db->executeQuery("SELECT cid, name, n, x, b FROM a WHERE cid = ?", "1");
        REQUIRE(rs->next());
        CHECK(rs->columnCount() == 5);
        CHECK(rs->stringForColumnIndex(1) == "first");
        CHECK(rs->intForColumnIndex(2) == 10);
        CHECK(rs->longForColumn("n") == 10);
        CHECK(rs->longLongIntForColumn("N") == 10);
        CHECK(rs->doubleForColumnIndex(2) == 10.0); // SQLite converts integers
        CHECK(rs->doubleForColumn("x") == 1.5);
        CHECK(rs->boolForColumn("n"));
        CHECK(rs->dataForColumn("b") == foundation::Data{1, 2});
        CHECK(std::string(rs->UTF8StringForColumnName("NAME")) == "first");
        CHECK(rs->columnNameForIndex(3) == "x");
        CHECK((*rs)[2] == Value(10));
        CHECK((*rs)["x"] == Value(1.5));
        CHECK_FALSE(rs->columnIsNull("name"));
    }
    SECTION("any capitalisation finds a column, COUNT(*) included") {
        auto rs = db->executeQuery("SELECT COUNT(*) FROM a WHERE cid = ?", "nobody");
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("COUNT(*)") == "0");
        CHECK(rs->stringForColumn("count(*)") == "0");
        CHECK(rs->columnIndexForName("Count(*)") == 0);
    }
    SECTION("an unknown name warns and reads as nothing") {
        auto rs = db->executeQuery("SELECT name FROM a");
        REQUIRE(rs->next());
        CHECK(rs->columnIndexForName("Missing") == -1);
        CHECK(log.contains("Warning: I could not find the column named 'missing'."));
        CHECK_FALSE(rs->stringForColumn("missing"));
        CHECK(rs->intForColumn("missing") == 0);
        CHECK(rs->objectForColumnName("missing").isNull());
    }
    SECTION("NULL columns") {
        auto rs = db->executeQuery("SELECT * FROM a WHERE cid = '2'");
        REQUIRE(rs->next());
        CHECK_FALSE(rs->stringForColumn("name"));
        CHECK(rs->intForColumn("n") == 0);
        CHECK(rs->objectForColumnName("n").isNull());
        CHECK(rs->columnIsNull("x"));
        CHECK_FALSE(rs->dateForColumn("x"));
        CHECK_FALSE(rs->dataForColumn("b"));
        CHECK(rs->UTF8StringForColumnIndex(1) == nullptr);
        std::vector<std::string> set;
        rs->kvcMagic(
            [&](const std::string& value, const std::string& key) { set.push_back(key + "=" + value); });
        CHECK(set == std::vector<std::string>{"cid=2"});
    }
    SECTION("a name in two places of a join means the later column") {
        auto rs = db->executeQuery("SELECT a.cid, a.name, c.cid, c.note FROM a JOIN c ON c.cid = a.cid");
        REQUIRE(rs->next());
        CHECK(rs->columnIndexForName("cid") == 2);
        auto row = rs->resultDictionary();
        REQUIRE(row);
        CHECK(row->size() == 3);
        CHECK(row->at("note") == Value("joined"));
    }
}

TEST_CASE("SQResultSet whole rows", "[SQResultSet]") {
    LogCapture log;
    auto db = seededDB();
    auto rs = db->executeQuery("SELECT cid AS CID, n, x, b, name FROM a ORDER BY cid");

    SECTION("before the first row there is no row to give") {
        CHECK_FALSE(rs->resultDictionary());
        CHECK(log.contains("Warning: There seem to be no columns in this set."));
        CHECK_FALSE(rs->resultDict());
    }
    SECTION("by type, with names as SQLite gives them or lower-cased") {
        REQUIRE(rs->next());
        auto row = rs->resultDictionary();
        REQUIRE(row);
        CHECK(row->at("CID") == Value("1"));
        CHECK(row->at("n").type() == Value::Type::Integer);
        CHECK(row->at("x").type() == Value::Type::Real);
        CHECK(row->at("b") == Value(foundation::Data{1, 2}));
        auto old = rs->resultDict();
        REQUIRE(old);
        CHECK(old->count("cid") == 1);
        CHECK(old->count("CID") == 0);
        REQUIRE(rs->next());
        row = rs->resultDictionary();
        CHECK(row->at("name").isNull());
        CHECK(row->at("b").isNull());
    }
}

TEST_CASE("SQResultSet life cycle", "[SQResultSet]") {
    LogCapture log;
    auto db = seededDB();

    SECTION("a query without rows closes itself at the first next, silently") {
        auto rs = db->executeQuery("SELECT * FROM a WHERE cid = 'none'");
        REQUIRE(rs);
        CHECK(db->hasOpenResultSets());
        CHECK_FALSE(rs->next());
        CHECK(log.lines().empty());
        CHECK_FALSE(db->hasOpenResultSets());
        CHECK(rs->parentDB() == nullptr);
    }
    SECTION("stepping to the end, then misuse after the close") {
        auto rs = db->executeQuery("SELECT cid FROM a ORDER BY cid");
        REQUIRE(rs->next());
        CHECK(rs->hasAnotherRow());
        REQUIRE(rs->next());
        CHECK_FALSE(rs->next());
        CHECK(log.lines().empty());
        CHECK_FALSE(rs->next());
        CHECK(log.contains("Error calling sqlite3_step (21: "));
        CHECK(rs->stringForColumnIndex(0) == std::nullopt);
    }
    SECTION("the handle runs other statements while a set is open; closing twice does nothing") {
        auto rs = db->executeQuery("SELECT cid FROM a ORDER BY cid");
        REQUIRE(rs->next());
        CHECK(db->executeUpdate("INSERT INTO c VALUES (?, ?)", "3", "more"));
        auto other = db->executeQuery("SELECT note FROM c WHERE cid = ?", "3");
        REQUIRE(other->next());
        CHECK(other->stringForColumn("note") == "more");
        CHECK(rs->stringForColumn("cid") == "1");
        rs->close();
        rs->close();
        CHECK(db->hasOpenResultSets()); // `other` is still open
        other.reset();
        CHECK_FALSE(db->hasOpenResultSets());
    }
    SECTION("the set knows its query") {
        auto rs = db->executeQuery("SELECT 1");
        CHECK(rs->query() == "SELECT 1");
        CHECK(rs->statement()->inUse());
        auto statement = rs->statement();
        rs->close();
        CHECK_FALSE(statement->inUse());
        CHECK(rs->query() == "SELECT 1");
    }
}

TEST_CASE("SQResultSet: an unknown column name leaves the set and the connection as they were",
          "[SQResultSet]") {
    LogCapture log;
    auto db = seededDB();
    auto rs = db->executeQuery("SELECT cid, name FROM a ORDER BY cid");
    REQUIRE(rs->next());
    REQUIRE_FALSE(db->hadError());

    SECTION("numeric readers give 0") {
        CHECK(rs->intForColumn("nope") == 0);
        CHECK(rs->longForColumn("nope") == 0);
        CHECK(rs->longLongIntForColumn("nope") == 0);
        CHECK(rs->unsignedLongLongIntForColumn("nope") == 0);
        CHECK_FALSE(rs->boolForColumn("nope"));
        CHECK(rs->doubleForColumn("nope") == 0.0);
    }
    SECTION("text, date and data readers give none") {
        CHECK_FALSE(rs->stringForColumn("nope"));
        CHECK_FALSE(rs->dateForColumn("nope"));
        CHECK_FALSE(rs->dataForColumn("nope"));
        CHECK_FALSE(rs->dataNoCopyForColumn("nope"));
        CHECK(rs->UTF8StringForColumnName("nope") == nullptr);
    }
    SECTION("value readers give the null value") {
        CHECK(rs->columnIsNull("nope"));
        CHECK(rs->objectForColumnName("nope").isNull());
        CHECK((*rs)["nope"].isNull());
    }
    CHECK(log.contains("Warning: I could not find the column named 'nope'."));
    CHECK_FALSE(db->hadError());
    CHECK(db->lastErrorCode() == SQLITE_ROW);
    CHECK(rs->hasAnotherRow());
    CHECK(rs->stringForColumn("cid") == "1");
    REQUIRE(rs->next());
    CHECK(rs->stringForColumn("cid") == "2");
    CHECK_FALSE(rs->next());
    CHECK_FALSE(log.contains("Error calling sqlite3_step"));
}

TEST_CASE("SQResultSet: a column index out of range leaves the set and the connection as they were",
          "[SQResultSet]") {
    auto db = seededDB();
    auto rs = db->executeQuery("SELECT cid, name FROM a ORDER BY cid");
    REQUIRE(rs->next());
    REQUIRE(rs->columnCount() == 2);
    for (int index : {2, 99, INT_MAX, -1, INT_MIN}) {
        INFO("index " << index);
        CHECK(rs->intForColumnIndex(index) == 0);
        CHECK(rs->longForColumnIndex(index) == 0);
        CHECK(rs->longLongIntForColumnIndex(index) == 0);
        CHECK(rs->unsignedLongLongIntForColumnIndex(index) == 0);
        CHECK_FALSE(rs->boolForColumnIndex(index));
        CHECK(rs->doubleForColumnIndex(index) == 0.0);
        CHECK_FALSE(rs->stringForColumnIndex(index));
        CHECK_FALSE(rs->dateForColumnIndex(index));
        CHECK_FALSE(rs->dataForColumnIndex(index));
        CHECK_FALSE(rs->dataNoCopyForColumnIndex(index));
        CHECK(rs->UTF8StringForColumnIndex(index) == nullptr);
        CHECK(rs->columnIndexIsNull(index));
        CHECK(rs->objectForColumnIndex(index).isNull());
        CHECK((*rs)[index].isNull());
        CHECK(rs->columnNameForIndex(index).empty());
        // Nothing of it reached the connection: the row is still there to read.
        CHECK_FALSE(db->hadError());
        CHECK(db->lastErrorCode() == SQLITE_ROW);
        CHECK(rs->hasAnotherRow());
    }
    CHECK(rs->intForColumnIndex(0) == 1);
    REQUIRE(rs->next());
    CHECK(rs->intForColumnIndex(0) == 2);
}

TEST_CASE("SQResultSet: names follow a cached statement through schema changes", "[SQResultSet]") {
    auto db = seededDB();
    db->setShouldCacheStatements(true);
    const std::string query = "SELECT * FROM c";
    auto readNote = [&](const char* column) {
        auto rs = db->executeQuery(query);
        REQUIRE(rs);
        REQUIRE(rs->next());
        auto value = rs->stringForColumn(column);
        rs->close();
        return value;
    };
    CHECK(readNote("NOTE") == "joined");
    REQUIRE(db->executeUpdate("ALTER TABLE c RENAME COLUMN note TO remark"));
    REQUIRE(db->executeUpdate("ALTER TABLE c ADD COLUMN extra TEXT DEFAULT 'more'"));
    // SQLite prepares the cached statement again: the set sees the new names, not the old ones.
    CHECK(readNote("Remark") == "joined");
    CHECK(readNote("extra") == "more");
    LogCapture log;
    CHECK_FALSE(readNote("note"));
    CHECK(log.contains("Warning: I could not find the column named 'note'."));
    CHECK(db->cachedStatements()[query].size() == 1);
}

TEST_CASE("SQResultSet: many sets open at once, closed in any order", "[SQResultSet]") {
    auto db = seededDB();
    std::vector<std::shared_ptr<SQResultSet>> sets;
    for (int i = 0; i < 5; ++i)
        sets.push_back(db->executeQuery("SELECT cid, ? AS k FROM a ORDER BY cid", i));
    for (int i : {3, 0, 4, 1, 2}) {
        REQUIRE(sets[size_t(i)]->next());
        CHECK(sets[size_t(i)]->intForColumn("k") == i);
        CHECK(sets[size_t(i)]->stringForColumn("cid") == "1");
        sets[size_t(i)].reset();
    }
    CHECK_FALSE(db->hasOpenResultSets());
}
