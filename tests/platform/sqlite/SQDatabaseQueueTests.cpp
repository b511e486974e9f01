// SQDatabaseQueue: serial work from many threads, transactions and savepoints, close and reopen, and the
// stop on a call from inside the queue's own work.
#include <catch2/catch.hpp>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabaseQueue.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestHome.h"

using foundation::LogCapture;

namespace {

const char* const kReentrancyAssertion =
    "currentSyncQueue != self && \"inDatabase: was called reentrantly on the "
    "same queue, which would lead to a deadlock\"";

std::shared_ptr<SQDatabaseQueue> queueWithTable(std::optional<std::string> path = std::nullopt) {
    auto queue = SQDatabaseQueue::databaseQueueWithPath(std::move(path));
    REQUIRE(queue);
    queue->inDatabase([](SQDatabase* db) {
        REQUIRE(db);
        REQUIRE(db->executeUpdate("CREATE TABLE IF NOT EXISTS t (id INTEGER PRIMARY KEY, name TEXT)"));
    });
    return queue;
}

int64_t rowCount(SQDatabaseQueue& queue) {
    int64_t n = -1;
    queue.inDatabase([&](SQDatabase* db) { n = db ? db->longForQuery("SELECT COUNT(*) FROM t") : -1; });
    return n;
}

constexpr const char* kWorkVariable = "ZARUVEDEZ_SQQUEUE_CHILD_WORK";

// Runs the named work (see the hidden case below) in a process of its own, this program again: a stop
// there ends only that process.
testsupport::ChildRun runInChild(const std::string& work) {
    return testsupport::runThisProgram("[sqqueue-child]", {{kWorkVariable, work}});
}

void checkStopsWithAssertion(const std::string& work) {
    const auto child = runInChild(work);
    INFO(work << "\n" << child.out << child.err);
    CHECK(child.signal == SIGABRT);
    CHECK(child.err.find(std::string("Assertion failure: ") + kReentrancyAssertion) != std::string::npos);
}

} // namespace

TEST_CASE("SQDatabaseQueue serialises work from many threads", "[SQDatabaseQueue]") {
    auto queue = queueWithTable(testsupport::makeTempDir("sqqueue") + "/threads.db");
    LogCapture log;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                queue->inDatabase([&](SQDatabase* db) {
                    CHECK(
                        db->executeUpdate("INSERT INTO t (name) VALUES (?)", "thread " + std::to_string(t)));
                });
        });
    for (auto& thread : threads)
        thread.join();
    CHECK(rowCount(*queue) == 4000);
    CHECK(log.count("currently in use") == 0);
    CHECK(log.lines().empty());
}

TEST_CASE("SQDatabaseQueue opens at creation and again after close", "[SQDatabaseQueue]") {
    const std::string dir = testsupport::makeTempDir("sqqueue");
    SECTION("work after close reopens the file with its rows") {
        auto queue = queueWithTable(dir + "/clinic.db");
        queue->inDatabase(
            [](SQDatabase* db) { CHECK(db->executeUpdate("INSERT INTO t (name) VALUES ('kept')")); });
        auto first = queue->database();
        queue->close();
        CHECK_FALSE(first->sqliteHandle()); // the old handle really closed
        queue->inDatabase([&](SQDatabase* db) {
            REQUIRE(db);
            CHECK(db != first.get());
            CHECK(db->stringForQuery("SELECT name FROM t") == "kept");
        });
        CHECK(queue->path() == dir + "/clinic.db");
        CHECK(queue->openFlags() == (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
    }
    SECTION("creation fails when the first open fails") {
        LogCapture log;
        const std::string missing = dir + "/no-such-folder/clinic.db";
        CHECK_FALSE(SQDatabaseQueue::databaseQueueWithPathFlags(missing, SQLITE_OPEN_READWRITE));
        CHECK(log.contains("Could not create database queue for path " + missing));
        CHECK_FALSE(std::filesystem::exists(missing));
    }
    SECTION("work after a failed reopen gets no handle") {
        auto queue = queueWithTable(dir + "/moved.db");
        queue->close();
        queue->setPath(dir + "/gone/moved.db");
        LogCapture log;
        bool ran = false;
        queue->inDatabase([&](SQDatabase* db) {
            ran = true;
            CHECK_FALSE(db);
        });
        CHECK(ran);
        CHECK(log.contains("SQDatabaseQueue could not reopen database for path " + dir + "/gone/moved.db"));
        CHECK_FALSE(queue->database());
        auto error = queue->inSavePoint([](SQDatabase*, bool&) { FAIL("no savepoint without a handle"); });
        REQUIRE(error);
        CHECK(error->code() == SQLITE_CANTOPEN);
        queue->setPath(dir + "/moved.db");
        CHECK(rowCount(*queue) == 0);
    }
    SECTION("no path is a private in-memory database") {
        auto queue = queueWithTable();
        CHECK(rowCount(*queue) == 0);
        CHECK(queue->database()->sqlitePath() == ":memory:");
    }
    SECTION("the handle can be asked for from inside the work") {
        auto queue = queueWithTable();
        queue->inDatabase([&](SQDatabase* db) { CHECK(queue->database().get() == db); });
    }
    SECTION("a result set left open is reported") {
        auto queue = queueWithTable();
        std::shared_ptr<SQResultSet> kept;
        LogCapture log;
        queue->inDatabase([&](SQDatabase* db) { kept = db->executeQuery("SELECT * FROM t"); });
        CHECK(log.contains("Warning: there is at least one open result set around after performing "
                           "[SQDatabaseQueue inDatabase:]"));
    }
}

TEST_CASE("SQDatabaseQueue transactions and savepoints", "[SQDatabaseQueue]") {
    auto queue = queueWithTable();
    auto insert = [](SQDatabase* db, const char* name) {
        REQUIRE(db);
        CHECK(db->executeUpdate("INSERT INTO t (name) VALUES (?)", name));
    };
    SECTION("commit, or roll back when asked") {
        queue->inTransaction([&](SQDatabase* db, bool&) {
            CHECK(db->inTransaction());
            insert(db, "a");
        });
        queue->inDeferredTransaction([&](SQDatabase* db, bool& rollback) {
            insert(db, "b");
            rollback = true;
        });
        queue->beginTransaction(true, [&](SQDatabase* db, bool&) { insert(db, "c"); });
        CHECK(rowCount(*queue) == 2);
        CHECK_FALSE(queue->database()->inTransaction());
    }
    SECTION("savepoints roll back their own work only") {
        auto kept = queue->inSavePoint([&](SQDatabase* db, bool&) { insert(db, "kept"); });
        CHECK_FALSE(kept);
        auto undone = queue->inSavePoint([&](SQDatabase* db, bool& rollback) {
            insert(db, "undone");
            rollback = true;
        });
        CHECK_FALSE(undone);
        CHECK(rowCount(*queue) == 1);
    }
    SECTION("a transaction that cannot begin gets no handle") {
        queue->inDatabase([](SQDatabase* db) { REQUIRE(db->beginTransaction()); });
        LogCapture log;
        bool ran = false;
        queue->inTransaction([&](SQDatabase* db, bool&) {
            ran = true;
            CHECK_FALSE(db);
        });
        CHECK(ran);
        CHECK(log.contains("cannot start a transaction within a transaction"));
        queue->inDatabase([](SQDatabase* db) { CHECK(db->rollback()); }); // the earlier one, still open
    }
    SECTION("a commit that fails is rolled back, so the handle leaves no transaction open") {
        queue->inDatabase([](SQDatabase* db) {
            REQUIRE(db->executeStatements(
                "PRAGMA foreign_keys = ON; CREATE TABLE parent (id INTEGER PRIMARY KEY);"
                "CREATE TABLE child (pid INTEGER REFERENCES parent (id) DEFERRABLE INITIALLY DEFERRED);"));
        });
        LogCapture log;
        queue->inTransaction([](SQDatabase* db, bool&) {
            CHECK(db->executeUpdate("INSERT INTO t (name) VALUES ('lost with the commit')"));
            CHECK(db->executeUpdate("INSERT INTO child VALUES (42)")); // checked only at commit
        });
        CHECK(log.contains("Could not commit the transaction (19: FOREIGN KEY constraint failed)"));
        CHECK(log.contains("Rolling the transaction back"));
        queue->inDatabase([](SQDatabase* db) {
            CHECK_FALSE(db->inTransaction());
            CHECK(sqlite3_get_autocommit(db->sqliteHandle()) != 0);
        });
        CHECK(rowCount(*queue) == 0);
        queue->inTransaction([&](SQDatabase* db, bool&) { insert(db, "next"); });
        CHECK(rowCount(*queue) == 1);
    }
    SECTION("a block that throws leaves nothing behind") {
        CHECK_THROWS_AS(queue->inTransaction([&](SQDatabase* db, bool&) {
            insert(db, "half");
            throw std::runtime_error("stop");
        }),
                        std::runtime_error);
        CHECK(rowCount(*queue) == 0); // and the queue is free again
    }
}

TEST_CASE("SQDatabaseQueue stops a call from inside its own work", "[SQDatabaseQueue][death]") {
    SECTION("inDatabase inside inDatabase") {
        checkStopsWithAssertion("inDatabase in inDatabase");
    }
    SECTION("the transaction forms inside work") {
        checkStopsWithAssertion("inTransaction in inDatabase");
        checkStopsWithAssertion("inDeferredTransaction in inTransaction");
    }
    SECTION("a savepoint inside a transaction") {
        checkStopsWithAssertion("inSavePoint in inTransaction");
    }
    SECTION("through another queue: A -> B -> A") {
        checkStopsWithAssertion("A, B, A");
    }
    SECTION("work on another queue from inside work is fine") {
        const auto child = runInChild("A, B");
        INFO(child.out << child.err);
        CHECK(child.exitedWith(0));
        CHECK(child.err.empty());
    }
}

// The work of the case above, one piece in each process.
TEST_CASE("SQDatabaseQueue work in a process of its own", "[.][sqqueue-child]") {
    const char* work = std::getenv(kWorkVariable);
    if (!work) return;             // only ever run by the case above
    std::signal(SIGABRT, SIG_DFL); // the test runner's own handler would report the stop as a failure
    auto queue = queueWithTable();
    auto other = queueWithTable();
    const std::map<std::string, std::function<void()>> works{
        {"inDatabase in inDatabase",
         [&] { queue->inDatabase([&](SQDatabase*) { queue->inDatabase([](SQDatabase*) {}); }); }},
        {"inTransaction in inDatabase",
         [&] { queue->inDatabase([&](SQDatabase*) { queue->inTransaction([](SQDatabase*, bool&) {}); }); }},
        {"inDeferredTransaction in inTransaction",
         [&] {
             queue->inTransaction(
                 [&](SQDatabase*, bool&) { queue->inDeferredTransaction([](SQDatabase*, bool&) {}); });
         }},
        {"inSavePoint in inTransaction",
         [&] {
             queue->inTransaction([&](SQDatabase*, bool&) { queue->inSavePoint([](SQDatabase*, bool&) {}); });
         }},
        {"A, B, A",
         [&] {
             queue->inDatabase([&](SQDatabase*) {
                 other->inSavePoint([&](SQDatabase*, bool&) { queue->inDatabase([](SQDatabase*) {}); });
             });
         }},
        {"A, B",
         [&] { queue->inDatabase([&](SQDatabase*) { other->inTransaction([](SQDatabase*, bool&) {}); }); }},
    };
    REQUIRE(works.count(work) == 1);
    works.at(work)();
}
