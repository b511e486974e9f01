// SQDatabasePool: lending and taking back, the limit, the delegate, the counts, and the work forms.
#include <catch2/catch.hpp>

#include <filesystem>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabasePool.h"
#include "tests/support/TestHome.h"

using foundation::LogCapture;

namespace {

struct Counts {
    size_t in, out, open;
    bool operator==(const Counts&) const = default;
};

Counts countsOf(const SQDatabasePool& pool) {
    return {pool.countOfCheckedInDatabases(), pool.countOfCheckedOutDatabases(), pool.countOfOpenDatabases()};
}

// Says yes or no as told, and notes what the pool's counts were while it was asked.
struct RecordingDelegate : SQDatabasePoolDelegate {
    bool refuse = false;
    int asked = 0;
    std::vector<SQDatabase*> added;
    std::vector<Counts> countsWhenAsked;
    bool databasePoolShouldAddDatabaseToPool(SQDatabasePool& pool, SQDatabase& db) override {
        ++asked;
        countsWhenAsked.push_back(countsOf(pool));
        CHECK(db.sqliteHandle()); // asked about an open handle
        return !refuse;
    }
    void databasePoolDidAddDatabase(SQDatabasePool& pool, SQDatabase& db) override {
        added.push_back(&db);
        countsOf(pool); // no deadlock
    }
};

std::string freshFile(const char* name) {
    return testsupport::makeTempDir("sqpool") + "/" + name;
}

} // namespace

TEST_CASE("A pool with a maximum of 2 lends, refuses, takes back and releases", "[SQDatabasePool]") {
    auto pool = SQDatabasePool::databasePoolWithPath(freshFile("pool.db"));
    auto delegate = std::make_shared<RecordingDelegate>();
    pool->setDelegate(delegate);
    pool->setMaximumNumberOfDatabasesToCreate(2);
    CHECK(countsOf(*pool) == Counts{0, 0, 0});

    auto a = pool->db();
    auto b = pool->db();
    REQUIRE(a);
    REQUIRE(b);
    CHECK(a != b);
    CHECK(countsOf(*pool) == Counts{0, 2, 2});
    CHECK(delegate->added == std::vector<SQDatabase*>{a.get(), b.get()});
    // Asked while the new handle already counts as lent, so nobody else can pass the limit meanwhile.
    CHECK(delegate->countsWhenAsked == std::vector<Counts>{{0, 1, 1}, {0, 2, 2}});

    {
        LogCapture log;
        CHECK_FALSE(pool->db());
        CHECK(log.contains("Maximum number of databases (2) has already been reached!"));
    }
    CHECK(countsOf(*pool) == Counts{0, 2, 2});

    pool->pushDatabaseBackInPool(a);
    CHECK(countsOf(*pool) == Counts{1, 1, 2});
    try {
        pool->pushDatabaseBackInPool(a);
        FAIL("a second return must be refused");
    } catch (const foundation::NamedException& e) {
        CHECK(e.name() == "Database already in pool");
        CHECK(e.reason() == "The SQDatabase being put back into the pool is already present in the pool");
    }
    CHECK(countsOf(*pool) == Counts{1, 1, 2});
    pool->pushDatabaseBackInPool(nullptr); // nothing happens
    CHECK(countsOf(*pool) == Counts{1, 1, 2});

    // The idle handle is lent again, without being announced as new.
    auto again = pool->db();
    CHECK(again == a);
    CHECK(delegate->added.size() == 2);
    CHECK(countsOf(*pool) == Counts{0, 2, 2});

    // A refused handle leaves the pool closed, so the limit frees up for a new one.
    pool->pushDatabaseBackInPool(again);
    delegate->refuse = true;
    CHECK_FALSE(pool->db());
    CHECK_FALSE(a->sqliteHandle());
    CHECK(countsOf(*pool) == Counts{0, 1, 1});
    delegate->refuse = false;
    auto fresh = pool->db();
    REQUIRE(fresh);
    CHECK(fresh != a);
    CHECK(countsOf(*pool) == Counts{0, 2, 2});

    pool->releaseAllDatabases();
    CHECK(countsOf(*pool) == Counts{0, 0, 0});
    CHECK(fresh->sqliteHandle()); // a borrower's handle stays usable
    pool->pushDatabaseBackInPool(fresh);
    CHECK(countsOf(*pool) == Counts{1, 0, 1});
}

TEST_CASE("Refused or unopenable handles never use up a bounded pool", "[SQDatabasePool]") {
    SECTION("5 refusals leave the counts at 0") {
        auto pool = SQDatabasePool::databasePoolWithPath(freshFile("refused.db"));
        auto delegate = std::make_shared<RecordingDelegate>();
        delegate->refuse = true;
        pool->setDelegate(delegate);
        pool->setMaximumNumberOfDatabasesToCreate(2);
        LogCapture log;
        for (int i = 0; i < 5; ++i)
            CHECK_FALSE(pool->db());
        CHECK(delegate->asked == 5);
        CHECK(delegate->added.empty());
        CHECK(countsOf(*pool) == Counts{0, 0, 0});
        CHECK_FALSE(log.contains("Maximum number of databases"));
        auto error = pool->inSavePoint([](SQDatabase*, bool&) { FAIL("no savepoint without a handle"); });
        REQUIRE(error);
        CHECK(error->code() == SQLITE_CANTOPEN);
        CHECK(error->localizedDescription() == "The pool's delegate refused the database.");
    }
    SECTION("a file that does not open") {
        const std::string missing = testsupport::makeTempDir("sqpool") + "/gone/pool.db";
        auto pool = SQDatabasePool::databasePoolWithPathFlags(missing, SQLITE_OPEN_READWRITE);
        pool->setMaximumNumberOfDatabasesToCreate(1);
        LogCapture log;
        CHECK_FALSE(pool->db());
        CHECK_FALSE(pool->db());
        CHECK(log.count("Could not open up the database at path " + missing) == 2);
        CHECK_FALSE(log.contains("Maximum number of databases"));
        CHECK(countsOf(*pool) == Counts{0, 0, 0});
        CHECK(pool->openFlags() == SQLITE_OPEN_READWRITE);
        auto error = pool->inSavePoint([](SQDatabase*, bool&) { FAIL("no savepoint without a handle"); });
        REQUIRE(error);
        CHECK(error->code() == SQLITE_CANTOPEN);
        CHECK(error->localizedDescription() == "unable to open database file");
    }
    SECTION("a delegate that is gone is not asked") {
        auto pool = SQDatabasePool::databasePoolWithPath(freshFile("gone.db"));
        auto delegate = std::make_shared<RecordingDelegate>();
        delegate->refuse = true;
        pool->setDelegate(delegate);
        delegate.reset();
        CHECK(pool->db());
        CHECK_FALSE(pool->delegate());
    }
}

TEST_CASE("executeLocked runs under the pool's lock and may read the counts", "[SQDatabasePool]") {
    auto pool = SQDatabasePool::databasePoolWithPath();
    auto db = pool->db();
    Counts seen{};
    bool ran = false;
    pool->executeLocked([&] {
        ran = true;
        seen = countsOf(*pool);
    });
    CHECK(ran);
    CHECK(seen == Counts{0, 1, 1});
}

TEST_CASE("The pool's work forms lend a handle for the call and take it back", "[SQDatabasePool]") {
    auto pool = SQDatabasePool::databasePoolWithPath(freshFile("work.db"));
    pool->inDatabase([](SQDatabase* db) {
        REQUIRE(db);
        REQUIRE(db->executeUpdate("CREATE TABLE t (name TEXT)"));
    });
    CHECK(countsOf(*pool) == Counts{1, 0, 1});
    auto rows = [&] {
        int64_t n = -1;
        pool->inDatabase([&](SQDatabase* db) { n = db->longForQuery("SELECT COUNT(*) FROM t"); });
        return n;
    };

    SECTION("transactions commit or roll back") {
        pool->inTransaction(
            [](SQDatabase* db, bool&) { CHECK(db->executeUpdate("INSERT INTO t VALUES ('a')")); });
        pool->inDeferredTransaction([](SQDatabase* db, bool& rollback) {
            CHECK(db->executeUpdate("INSERT INTO t VALUES ('b')"));
            rollback = true;
        });
        CHECK(rows() == 1);
        CHECK(countsOf(*pool) == Counts{1, 0, 1});
    }
    SECTION("savepoints") {
        CHECK_FALSE(pool->inSavePoint([](SQDatabase* db, bool& rollback) {
            CHECK(db->executeUpdate("INSERT INTO t VALUES ('undone')"));
            rollback = true;
        }));
        CHECK(rows() == 0);
    }
    SECTION("at the limit the work gets no handle") {
        pool->setMaximumNumberOfDatabasesToCreate(1);
        auto held = pool->db();
        REQUIRE(held);
        LogCapture log;
        bool ran = false;
        pool->inDatabase([&](SQDatabase* db) {
            ran = true;
            CHECK_FALSE(db);
        });
        CHECK(ran);
        pool->inTransaction([](SQDatabase* db, bool&) { CHECK_FALSE(db); });
        auto error = pool->inSavePoint([](SQDatabase*, bool&) { FAIL("no savepoint without a handle"); });
        REQUIRE(error);
        CHECK(error->domain() == "SQDatabase");
        CHECK(error->code() == SQLITE_CANTOPEN);
        CHECK(error->localizedDescription() ==
              "The pool has already lent its maximum number of databases (1).");
        CHECK(countsOf(*pool) == Counts{0, 1, 1});
        pool->pushDatabaseBackInPool(held);
    }
    SECTION("a handle comes back even when the work throws") {
        CHECK_THROWS(pool->inDatabase([](SQDatabase*) { throw std::runtime_error("stop"); }));
        CHECK(countsOf(*pool) == Counts{1, 0, 1});
    }
}
