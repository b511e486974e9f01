// The database handle: opening and closing, errors, transactions and savepoints, busy waits, the
// statement cache, SQL functions.
#include <catch2/catch.hpp>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <thread>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/support/TestHome.h"

using foundation::LogCapture;

namespace {

std::shared_ptr<SQDatabase> openMemoryDB() {
    auto db = SQDatabase::databaseWithPath();
    REQUIRE(db->open());
    REQUIRE(db->executeUpdate("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT, n INTEGER)"));
    return db;
}

int64_t countRows(SQDatabase& db) {
    auto rs = db.executeQuery("SELECT COUNT(*) FROM t");
    REQUIRE(rs);
    REQUIRE(rs->next());
    int64_t n = rs->longForColumnIndex(0);
    rs->close();
    return n;
}

} // namespace

TEST_CASE("SQDatabase opens and closes", "[SQDatabase]") {
    LogCapture log;
    SECTION("no path is a private in-memory database, gone after close") {
        auto db = SQDatabase::databaseWithPath();
        CHECK(db->sqlitePath() == ":memory:");
        CHECK_FALSE(db->goodConnection());
        REQUIRE(db->open());
        sqlite3* handle = db->sqliteHandle();
        CHECK(db->open()); // already open: same connection
        CHECK(db->sqliteHandle() == handle);
        CHECK(db->goodConnection());
        REQUIRE(db->executeUpdate("CREATE TABLE t (a)"));
        CHECK(db->close());
        CHECK(db->sqliteHandle() == nullptr);
        REQUIRE(db->open());
        CHECK_FALSE(db->executeUpdate("INSERT INTO t VALUES (1)"));
    }
    SECTION("an empty path is SQLite's temporary database") {
        auto db = SQDatabase::databaseWithPath("");
        CHECK(db->sqlitePath().empty());
        REQUIRE(db->open());
        CHECK(db->executeUpdate("CREATE TABLE t (a)"));
    }
    SECTION("a closed handle refuses work with a log line") {
        auto db = SQDatabase::databaseWithPath();
        CHECK_FALSE(db->executeUpdate("CREATE TABLE t (a)"));
        CHECK_FALSE(db->executeQuery("SELECT 1"));
        CHECK_FALSE(db->databaseExists());
        CHECK(log.count("The SQDatabase <SQDatabase: 0x") == 3);
        CHECK(log.contains("> is not open."));
        CHECK(db->close());
    }
    SECTION("class facts") {
        CHECK(SQDatabase::SQDBUserVersion() == "2.5");
        CHECK(SQDatabase::SQDBVersion() == 0x250);
        CHECK(SQDatabase::sqliteLibVersion() == sqlite3_libversion());
        CHECK(SQDatabase::isSQLiteThreadSafe());
        auto db = SQDatabase::databaseWithPath();
        CHECK(db->busyRetryTimeout() == -1);
        CHECK(log.contains("busyRetryTimeout:"));
        CHECK(log.contains("SQDB: busyRetryTimeout no longer works, please use maxBusyRetryTimeInterval"));
        db->setBusyRetryTimeout(5);
        CHECK(
            log.contains("SQDB: setBusyRetryTimeout does nothing, please use setMaxBusyRetryTimeInterval:"));
        CHECK_FALSE(db->setKey("secret"));
        CHECK_FALSE(db->rekey("secret"));
    }
}

TEST_CASE("SQDatabase: a failed open releases the connection and leaves the handle closed", "[SQDatabase]") {
    LogCapture log;
    std::string dir = testsupport::makeTempDir("sqopen");
    auto before = sqlite3_memory_used();

    SECTION("a folder is no database file") {
        auto db = SQDatabase::databaseWithPath(dir);
        CHECK_FALSE(db->open());
        CHECK(log.contains("error opening!: 14"));
        CHECK(db->sqliteHandle() == nullptr);
        CHECK(sqlite3_memory_used() == before);
        CHECK(db->lastErrorCode() == SQLITE_CANTOPEN);
        CHECK(db->lastErrorMessage() == "unable to open database file");
        CHECK(db->hadError());
        CHECK_FALSE(db->goodConnection());
        CHECK_FALSE(db->executeUpdate("CREATE TABLE t (a)"));
        CHECK(log.contains("is not open."));
        CHECK(db->close());
    }
    SECTION("read-only flags on a missing file") {
        std::string path = dir + "/missing.db";
        auto db = SQDatabase::databaseWithPath(path);
        CHECK_FALSE(db->openWithFlags(SQLITE_OPEN_READONLY));
        CHECK(db->sqliteHandle() == nullptr);
        CHECK(sqlite3_memory_used() == before);
        CHECK_FALSE(std::filesystem::exists(path));
        CHECK(db->lastSystemErrorCode() == ENOENT); // why, kept while the handle is closed
        // The same handle opens once the flags allow creating the file.
        CHECK(db->openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
        CHECK(db->lastErrorCode() == SQLITE_OK);
        CHECK(db->lastSystemErrorCode() == 0);
        CHECK(db->executeUpdate("CREATE TABLE t (a)"));
    }
    SECTION("an unknown VFS") {
        auto db = SQDatabase::databaseWithPath(dir + "/x.db");
        CHECK_FALSE(db->openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "no-such-vfs"));
        CHECK(db->sqliteHandle() == nullptr);
        CHECK(db->openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, "unix"));
    }
    std::filesystem::remove_all(dir);
}

TEST_CASE("SQDatabase reports SQL errors", "[SQDatabase]") {
    LogCapture log;
    auto db = openMemoryDB();

    SECTION("invalid SQL is rejected with code, message and the three log lines") {
        CHECK_FALSE(db->executeUpdate("INSER INTO t VALUES (1)"));
        CHECK(db->lastErrorCode() == SQLITE_ERROR);
        CHECK(db->hadError());
        CHECK(db->lastErrorMessage() == "near \"INSER\": syntax error");
        CHECK(log.contains("DB Error: 1 \"near \"INSER\": syntax error\""));
        CHECK(log.contains("DB Query: INSER INTO t VALUES (1)"));
        CHECK(log.contains("DB Path: (null)"));
        CHECK_FALSE(db->executeQuery("SELECT x FROM nowhere"));
        auto error = db->lastError();
        CHECK(error->domain() == "SQDatabase");
        CHECK(error->code() == SQLITE_ERROR);
        CHECK(error->localizedDescription() == "no such table: nowhere");
    }
    SECTION("the error out-parameter is filled when the SQL does not prepare") {
        foundation::ErrorPtr error;
        CHECK_FALSE(db->executeUpdateWithErrorAndBindings("UPDATE nowhere SET a = ?", &error, 1));
        REQUIRE(error);
        CHECK(error->code() == SQLITE_ERROR);
        CHECK(error->localizedDescription() == "no such table: nowhere");
        error.reset();
        CHECK(db->update("INSERT INTO t (name) VALUES (?)", &error, "x"));
        CHECK_FALSE(error);
    }
    SECTION("a failing step is logged and leaves its code") {
        REQUIRE(db->executeUpdate("CREATE UNIQUE INDEX tn ON t (n)"));
        REQUIRE(db->executeUpdate("INSERT INTO t (n) VALUES (?)", 1));
        CHECK_FALSE(db->executeUpdate("INSERT INTO t (n) VALUES (?)", 1));
        CHECK(db->lastErrorCode() == SQLITE_CONSTRAINT);
        CHECK(log.contains("Unknown error calling sqlite3_step (19: UNIQUE constraint failed: t.n) eu"));
    }
    SECTION("a SELECT through executeUpdate yields a row and is no success") {
        CHECK_FALSE(db->executeUpdate("SELECT 1"));
        CHECK(log.contains("Unknown error calling sqlite3_step (100: "));
        CHECK_FALSE(db->hadError()); // 100 and 101 are no errors
    }
    SECTION("the bind count must match the parameters") {
        CHECK_FALSE(db->executeUpdate("INSERT INTO t (name, n) VALUES (?, ?)", "only one"));
        CHECK(log.contains("Error: the bind count (1) is not correct for the # of variables in the query (2) "
                           "(INSERT INTO t (name, n) VALUES (?, ?)) (executeUpdate)"));
        CHECK_FALSE(db->executeQuery("SELECT * FROM t WHERE n = ?"));
        CHECK(log.contains("Error: the bind count is not correct for the # of variables (executeQuery)"));
        // Extra values are ignored.
        CHECK(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "a", "b", 3));
        CHECK(countRows(*db) == 1);
    }
    SECTION("switching error logging off keeps the count message") {
        db->setLogsErrors(false);
        CHECK_FALSE(db->executeUpdate("INSER"));
        CHECK_FALSE(log.contains("DB Error"));
        CHECK_FALSE(db->executeUpdate("INSERT INTO t (name) VALUES (?)"));
        CHECK(log.contains("Error: the bind count (0)"));
    }
    SECTION("last insert row id and changes") {
        REQUIRE(db->executeUpdate("INSERT INTO t (id, name) VALUES (?, ?)", 41, "a"));
        CHECK(db->lastInsertRowId() == 41);
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES ('b'), ('c')"));
        CHECK(db->changes() == 2);
        CHECK(db->lastInsertRowId() == 43);
    }
    SECTION("tracing logs each statement and its values") {
        db->setTraceExecution(true);
        REQUIRE(db->executeUpdate("INSERT INTO t (name, n) VALUES (?, ?)", "x", 7));
        CHECK(log.contains("executeUpdate: INSERT INTO t (name, n) VALUES (?, ?)"));
        CHECK(log.contains("obj: x"));
        CHECK(log.contains("obj: 7"));
    }
}

TEST_CASE("SQDatabase transactions and savepoints", "[SQDatabase]") {
    LogCapture log;
    auto db = openMemoryDB();

    SECTION("commit and rollback") {
        CHECK_FALSE(db->commit());
        CHECK_FALSE(db->inTransaction());
        REQUIRE(db->beginTransaction());
        CHECK(db->inTransaction());
        CHECK_FALSE(db->beginDeferredTransaction()); // no nesting: the flag stays
        CHECK(db->inTransaction());
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "gone"));
        REQUIRE(db->rollback());
        CHECK_FALSE(db->inTransaction());
        CHECK(countRows(*db) == 0);
        REQUIRE(db->beginDeferredTransaction());
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "kept"));
        REQUIRE(db->commit());
        CHECK(countRows(*db) == 1);
        CHECK_FALSE(db->rollback());
    }
    SECTION("a savepoint block rolls back its own work only") {
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "before"));
        auto error = db->inSavePoint([&](bool& rollback) {
            CHECK(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "inside"));
            CHECK(countRows(*db) == 2);
            rollback = true;
        });
        CHECK_FALSE(error);
        CHECK(countRows(*db) == 1);
        error =
            db->inSavePoint([&](bool&) { CHECK(db->executeUpdate("INSERT INTO t (name) VALUES ('x')")); });
        CHECK_FALSE(error);
        CHECK(countRows(*db) == 2);
    }
    SECTION("nested savepoints by name, with quotes in the name") {
        db->setTraceExecution(true);
        REQUIRE(db->startSavePointWithName("outer"));
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES ('a')"));
        REQUIRE(db->startSavePointWithName("a'b"));
        CHECK(log.contains("executeUpdate: savepoint 'a''b';"));
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES ('b')"));
        REQUIRE(db->rollbackToSavePointWithName("a'b"));
        REQUIRE(db->releaseSavePointWithName("a'b"));
        REQUIRE(db->releaseSavePointWithName("outer"));
        CHECK(countRows(*db) == 1);
    }
    SECTION("a failing savepoint step fills the error") {
        foundation::ErrorPtr error;
        CHECK_FALSE(db->releaseSavePointWithName("never", &error));
        REQUIRE(error);
        CHECK(error->code() == SQLITE_ERROR);
        CHECK(error->localizedDescription() == "no such savepoint: never");
    }
    SECTION("savepoint names stay unique across threads") {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([] {
                auto own = SQDatabase::databaseWithPath();
                own->open();
                own->setTraceExecution(true);
                for (int i = 0; i < 100; ++i)
                    own->inSavePoint([](bool&) {});
            });
        }
        for (auto& t : threads)
            t.join();
        std::set<std::string> names;
        size_t starts = 0;
        for (const auto& line : log.lines()) {
            auto at = line.find("executeUpdate: savepoint 'dbSavePoint");
            if (at == std::string::npos) continue;
            ++starts;
            names.insert(line.substr(at));
        }
        CHECK(starts == 400);
        CHECK(names.size() == 400);
    }
}

TEST_CASE("SQDatabase: an exception from a savepoint block rolls the savepoint back", "[SQDatabase]") {
    LogCapture log;
    auto db = openMemoryDB();
    REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "before"));
    auto failingBlock = [&](bool&) {
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "inside"));
        throw std::runtime_error("the block failed");
    };

    SECTION("outside a transaction: the handle is left in autocommit and the next transaction works") {
        CHECK_THROWS_WITH(db->inSavePoint(failingBlock), "the block failed");
        CHECK(sqlite3_get_autocommit(db->sqliteHandle()) != 0);
        CHECK_FALSE(db->inTransaction());
        CHECK(countRows(*db) == 1);
        REQUIRE(db->beginTransaction());
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "after"));
        REQUIRE(db->commit());
        CHECK(countRows(*db) == 2);
        CHECK_FALSE(db->inSavePoint([](bool&) {}));
    }
    SECTION("inside a transaction: only the savepoint's work goes, the transaction stays open") {
        REQUIRE(db->beginTransaction());
        REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "outer"));
        CHECK_THROWS_AS(db->inSavePoint(failingBlock), std::runtime_error);
        CHECK(sqlite3_get_autocommit(db->sqliteHandle()) == 0);
        CHECK(countRows(*db) == 2);
        REQUIRE(db->rollback()); // no savepoint left inside: the whole transaction goes
        CHECK(sqlite3_get_autocommit(db->sqliteHandle()) != 0);
        CHECK(countRows(*db) == 1);
    }
    SECTION("a nested savepoint block unwinds level by level") {
        CHECK_THROWS_AS(db->inSavePoint([&](bool&) {
            REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES (?)", "outer"));
            db->inSavePoint(failingBlock);
        }),
                        std::runtime_error);
        CHECK(sqlite3_get_autocommit(db->sqliteHandle()) != 0);
        CHECK(countRows(*db) == 1);
    }
}

TEST_CASE("SQDatabase waits for a busy database for a bounded time", "[SQDatabase]") {
    STATIC_REQUIRE(SQDatabase::BusyClock::is_steady);
    LogCapture log;
    std::string dir = testsupport::makeTempDir("sqbusy");
    std::string path = dir + "/busy.db";
    auto holder = SQDatabase::databaseWithPath(path);
    REQUIRE(holder->open());
    REQUIRE(holder->executeUpdate("CREATE TABLE t (a)"));
    auto waiter = SQDatabase::databaseWithPath(path);
    REQUIRE(waiter->open());
    CHECK(waiter->maxBusyRetryTimeInterval() == 2.0);
    REQUIRE(waiter->goodConnection());   // the schema is read before the file is locked
    REQUIRE(holder->beginTransaction()); // exclusive: the waiter can neither read nor write
    using Clock = std::chrono::steady_clock;

    SECTION("gives up after the interval with SQLITE_BUSY") {
        waiter->setMaxBusyRetryTimeInterval(0.2);
        auto start = Clock::now();
        CHECK_FALSE(waiter->executeUpdate("INSERT INTO t VALUES (?)", 1));
        double waited = std::chrono::duration<double>(Clock::now() - start).count();
        CHECK(waiter->lastErrorCode() == SQLITE_BUSY);
        CHECK(log.contains("Unknown error calling sqlite3_step (5: database is locked) eu"));
        CHECK(waited >= 0.2);
        CHECK(waited < 1.5);
        // Reading fails the same way, through the result set.
        auto rs = waiter->executeQuery("SELECT * FROM t");
        REQUIRE(rs);
        foundation::ErrorPtr error;
        CHECK_FALSE(rs->nextWithError(&error));
        REQUIRE(error);
        CHECK(error->code() == SQLITE_BUSY);
        CHECK(log.contains("nextWithError:"));
        CHECK(log.contains("Database busy (" + path + ")"));
    }
    SECTION("no interval: no waiting at all") {
        waiter->setMaxBusyRetryTimeInterval(0);
        auto start = Clock::now();
        CHECK_FALSE(waiter->executeUpdate("INSERT INTO t VALUES (1)"));
        CHECK(std::chrono::duration<double>(Clock::now() - start).count() < 0.1);
    }
    SECTION("succeeds once the other connection lets go within the interval") {
        waiter->setMaxBusyRetryTimeInterval(10);
        std::thread other([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(150)); // the other process's work
            holder->commit();
        });
        CHECK(waiter->executeUpdate("INSERT INTO t VALUES (?)", 2));
        other.join();
    }
    holder->close();
    waiter->close();
    std::filesystem::remove_all(dir);
}

TEST_CASE("SQDatabase statement cache", "[SQDatabase]") {
    LogCapture log;
    auto db = openMemoryDB();
    db->setShouldCacheStatements(true);
    const std::string select = "SELECT name FROM t WHERE n = ?";
    const std::string insert = "INSERT INTO t (name, n) VALUES (?, ?)";

    SECTION("one prepared statement serves repeated updates and queries") {
        for (int i = 0; i < 3; ++i)
            REQUIRE(db->executeUpdate(insert, "row" + std::to_string(i), i));
        for (int i = 0; i < 3; ++i) {
            auto rs = db->executeQuery(select, i);
            REQUIRE(rs);
            REQUIRE(rs->next());
            CHECK(rs->stringForColumn("name") == "row" + std::to_string(i));
        }
        auto cache = db->cachedStatements();
        REQUIRE(cache[insert].size() == 1);
        REQUIRE(cache[select].size() == 1);
        CHECK(cache[insert][0]->useCount() == 3);
        CHECK(cache[select][0]->useCount() == 3);
        CHECK(cache[select][0]->query() == select);
        CHECK(cache[select][0]->description().ends_with(" 3 hit(s) for query " + select));
    }
    SECTION("a statement a result set still reads from is not handed out again") {
        REQUIRE(db->executeUpdate(insert, "a", 1));
        auto first = db->executeQuery(select, 1);
        auto second = db->executeQuery(select, 1);
        REQUIRE(first);
        REQUIRE(second);
        CHECK(first->statement() != second->statement());
        CHECK(db->cachedStatements()[select].size() == 2);
        REQUIRE(first->next());
        REQUIRE(second->next());
        CHECK(first->stringForColumnIndex(0) == "a");
        first->close();
        auto third = db->executeQuery(select, 1);
        CHECK(db->cachedStatements()[select].size() == 2);
        CHECK(db->cachedStatementForQuery(select) == nullptr); // both in use now
    }
    SECTION("turning the cache off drops it; a set still reading keeps its statement") {
        REQUIRE(db->executeUpdate(insert, "a", 1));
        REQUIRE(db->executeUpdate(insert, "b", 1));
        auto rs = db->executeQuery(select, 1);
        REQUIRE(rs->next());
        db->setShouldCacheStatements(false);
        CHECK(db->cachedStatements().empty());
        // The insert went with the cache; the select stays while the set reads from it.
        sqlite3_stmt* left = sqlite3_next_stmt(db->sqliteHandle(), nullptr);
        CHECK(left == rs->statement()->statement());
        CHECK(sqlite3_next_stmt(db->sqliteHandle(), left) == nullptr);
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("name") == "b");
        CHECK_FALSE(rs->next());
        CHECK(sqlite3_next_stmt(db->sqliteHandle(), nullptr) == nullptr); // finalized with its last owner
        CHECK(db->executeUpdate(insert, "c", 2));
        CHECK_FALSE(log.contains("Error calling sqlite3_step"));
    }
    SECTION("a cached statement with a bind-count mismatch stays cached and usable") {
        REQUIRE(db->executeUpdate(insert, "a", 1));
        CHECK_FALSE(db->executeUpdate(insert, "b"));
        CHECK(db->executeUpdate(insert, "c", 3));
        CHECK(db->cachedStatements()[insert].size() == 1);
        CHECK(countRows(*db) == 2);
    }
}

TEST_CASE("SQDatabase closes with open result sets and leaked statements", "[SQDatabase]") {
    LogCapture log;
    auto db = openMemoryDB();
    REQUIRE(db->executeUpdate("INSERT INTO t (name) VALUES ('a'), ('b')"));

    SECTION("open result sets are closed first") {
        auto rs = db->executeQuery("SELECT name FROM t");
        REQUIRE(rs->next());
        CHECK(db->hasOpenResultSets());
        CHECK(db->close());
        CHECK_FALSE(db->hasOpenResultSets());
        CHECK(rs->parentDB() == nullptr);
        CHECK(rs->statement() == nullptr);
        CHECK_FALSE(log.contains("Closing leaked statement"));
        foundation::ErrorPtr error;
        CHECK_FALSE(rs->nextWithError(&error));
        REQUIRE(error);
        CHECK(error->code() == SQLITE_MISUSE);
        CHECK(error->localizedDescription() == "parentDB does not exist");
        CHECK(log.contains("Error calling sqlite3_step (21: "));
        CHECK(rs->objectForColumnIndex(0).isNull());
        CHECK(rs->intForColumnIndex(0) == 0);
    }
    SECTION("a statement object still held elsewhere is finalized once, by the close") {
        db->setShouldCacheStatements(false);
        auto rs = db->executeQuery("SELECT name FROM t");
        REQUIRE(rs->next());
        auto statement = rs->statement(); // keeps the prepared statement alive past the set
        CHECK(db->close());
        CHECK(log.count("Closing leaked statement") == 1);
        CHECK(db->sqliteHandle() == nullptr);
        CHECK(statement->statement() == nullptr);
        statement->close(); // must not finalize again
        statement.reset();
    }
    SECTION("statements prepared on the raw connection are finalized and the close retried") {
        sqlite3_stmt* raw1 = nullptr;
        sqlite3_stmt* raw2 = nullptr;
        REQUIRE(sqlite3_prepare_v2(db->sqliteHandle(), "SELECT 1", -1, &raw1, nullptr) == SQLITE_OK);
        REQUIRE(sqlite3_prepare_v2(db->sqliteHandle(), "SELECT 2", -1, &raw2, nullptr) == SQLITE_OK);
        auto before = sqlite3_memory_used();
        CHECK(db->close());
        CHECK(log.count("Closing leaked statement") == 2);
        CHECK_FALSE(log.contains("error closing!"));
        CHECK(sqlite3_memory_used() < before);
        CHECK(db->sqliteHandle() == nullptr);
    }
    SECTION("a connection still used by a backup is logged, and the handle lets it go all the same") {
        sqlite3* copy = nullptr;
        REQUIRE(sqlite3_open(":memory:", &copy) == SQLITE_OK);
        sqlite3_backup* backup = sqlite3_backup_init(copy, "main", db->sqliteHandle(), "main");
        REQUIRE(backup);
        CHECK(db->close());
        CHECK(log.count("error closing!: 5") == 1);
        CHECK_FALSE(log.contains("Closing leaked statement"));
        CHECK(db->sqliteHandle() == nullptr);
        CHECK(db->open()); // a fresh connection; finishing the backup ends the old one
        CHECK(sqlite3_backup_finish(backup) == SQLITE_OK);
        CHECK(sqlite3_close(copy) == SQLITE_OK);
    }
    SECTION("a result set may outlive every other owner of its handle") {
        std::shared_ptr<SQResultSet> rs = db->executeQuery("SELECT name FROM t ORDER BY name");
        std::weak_ptr<SQDatabase> weak = db;
        db.reset();
        REQUIRE_FALSE(weak.expired());
        REQUIRE(rs->next());
        CHECK(rs->stringForColumn("name") == "a");
        REQUIRE(rs->next());
        CHECK_FALSE(rs->next()); // closes the set, which lets the handle go
        CHECK(weak.expired());
    }
}

TEST_CASE("SQDatabase SQL functions and the in-use guard", "[SQDatabase]") {
    LogCapture log;
    auto db = openMemoryDB();

    SECTION("a registered function answers through SQLite") {
        db->makeFunctionNamed("twice", 1, [](sqlite3_context* context, int argc, sqlite3_value** argv) {
            REQUIRE(argc == 1);
            sqlite3_result_int64(context, 2 * sqlite3_value_int64(argv[0]));
        });
        db->makeFunctionNamed("shout", 1, [](sqlite3_context* context, int, sqlite3_value** argv) {
            std::string s(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
            sqlite3_result_text(context, (s + "!").c_str(), -1, SQLITE_TRANSIENT);
        });
        auto rs = db->executeQuery("SELECT twice(?) AS a, shout(?) AS b", 21, "O'Hara");
        REQUIRE(rs->next());
        CHECK(rs->intForColumn("a") == 42);
        CHECK(rs->stringForColumn("b") == "O'Hara!");
    }
    SECTION("a function registered on a closed handle is not known to SQLite") {
        auto closed = SQDatabase::databaseWithPath();
        closed->makeFunctionNamed("f", 0,
                                  [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int(c, 1); });
        REQUIRE(closed->open());
        CHECK_FALSE(closed->executeQuery("SELECT f()"));
    }
    SECTION("a registration SQLite refuses is logged with SQLite's error") {
        auto one = [](sqlite3_context* c, int, sqlite3_value**) { sqlite3_result_int(c, 1); };
        const std::string longName(256, 'f'); // SQLite takes names of at most 255 bytes
        db->makeFunctionNamed(longName, 0, one);
        CHECK(log.count("(21: bad parameter or other API misuse)") == 1);
        CHECK(log.contains(longName));
        db->makeFunctionNamed("many", 128, one); // at most 127 arguments
        CHECK(log.count("(21: bad parameter or other API misuse)") == 2);
        CHECK(log.contains("many"));
        CHECK_FALSE(db->executeQuery("SELECT many()"));
        log.clear();
        db->makeFunctionNamed("fine", 0, one);
        CHECK(log.lines().empty());
    }
    SECTION("re-entering the handle during a statement is refused") {
        bool innerResult = true;
        db->makeFunctionNamed("reenter", 0, [&](sqlite3_context* context, int, sqlite3_value**) {
            innerResult = db->executeUpdate("INSERT INTO t (name) VALUES ('inner')");
            CHECK(db->lastInsertRowId() == 0);
            sqlite3_result_int(context, 1);
        });
        CHECK(db->executeUpdate("INSERT INTO t (n) VALUES (reenter())"));
        CHECK_FALSE(innerResult);
        CHECK(log.count("> is currently in use.") == 2);
        CHECK(countRows(*db) == 1);
    }
    SECTION("statement batches") {
        CHECK(db->executeStatements(
            "INSERT INTO t (name) VALUES ('a'); INSERT INTO t (name, n) VALUES ('b', 2);"));
        std::vector<foundation::Dictionary> rows;
        CHECK(
            db->executeStatementsWithResultBlock("SELECT name, n FROM t ORDER BY name", [&](const auto& row) {
                rows.push_back(row);
                return 0;
            }));
        REQUIRE(rows.size() == 2);
        CHECK(rows[0].at("name") == foundation::Value("a"));
        CHECK(rows[0].at("n").isNull());
        CHECK(rows[1].at("n") == foundation::Value("2"));
        CHECK_FALSE(db->executeStatements("INSERT INTO nowhere VALUES (1);"));
        CHECK(log.contains("Error inserting batch: no such table: nowhere"));
        CHECK_FALSE(SQDatabase::databaseWithPath()->executeStatements("SELECT 1"));
    }
}
