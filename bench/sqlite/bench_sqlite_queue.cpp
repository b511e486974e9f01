// Several threads inserting through one SQDatabaseQueue against the same threads sharing one raw
// sqlite3 connection behind a std::mutex, each on a private in-memory database.
//
//   bench_sqlite_queue               both sides, median wall time of several rounds after a warm-up
//                                    round, with the ratio
//   bench_sqlite_queue <side> [n]    one side once, raw or queue, n inserts per thread (for callgrind:
//                                    only benchWorker, each thread's work, is measured work)
//
// The exit status is 1 when the ratio misses its target.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/sqlite/BenchItems.h"
#include "platform/sqlite/SQDatabaseQueue.h"

namespace {

using namespace benchitems;

constexpr int kThreads = 4;
constexpr int kDefaultInserts = 25000;
constexpr int kRounds = 7;
constexpr double kTarget = 1.3;

const char* const kCount = "SELECT COUNT(*) FROM items";

// Each thread's rows: ids apart, so no two threads insert the same key.
std::vector<std::vector<Row>> makeRows(int perThread) {
    std::vector<std::vector<Row>> rows(kThreads);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < perThread; ++i) {
            int64_t id = int64_t(t) * perThread + i + 1;
            rows[size_t(t)].push_back(
                {id, "item " + std::to_string(id * 7919 % 100003), int(id % 97), id * 0.25});
        }
    return rows;
}

// The measured work of one thread; out of line so callgrind can count in it alone.
[[gnu::noinline]] void benchWorker(const std::function<void()>& work) {
    work();
}

double runThreads(const std::vector<std::vector<Row>>& rows, const std::function<void(const Row&)>& insert) {
    auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (const auto& mine : rows)
        threads.emplace_back([&] {
            benchWorker([&] {
                for (const auto& r : mine)
                    insert(r);
            });
        });
    for (auto& t : threads)
        t.join();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double rawSide(const std::vector<std::vector<Row>>& rows, int64_t& count) {
    sqlite3* db = nullptr;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK) fail("raw open");
    if (sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr) != SQLITE_OK) fail("raw create");
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr) != SQLITE_OK) fail("raw prepare");
    std::mutex mutex;
    double t = runThreads(rows, [&](const Row& r) {
        std::lock_guard lock(mutex);
        bindRow(st, r);
        if (sqlite3_step(st) != SQLITE_DONE) fail(std::string("raw insert: ") + sqlite3_errmsg(db));
        sqlite3_reset(st);
    });
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, kCount, -1, &st, nullptr);
    count = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
    sqlite3_finalize(st);
    sqlite3_close(db);
    return t;
}

double queueSide(const std::vector<std::vector<Row>>& rows, int64_t& count) {
    auto queue = SQDatabaseQueue::databaseQueueWithPath();
    if (!queue) fail("queue open");
    // The raw side keeps its statement prepared; the layer's cache does the same.
    queue->inDatabase([](SQDatabase* db) {
        db->setShouldCacheStatements(true);
        if (!db->executeUpdate(kCreate)) fail("queue create");
    });
    double t = runThreads(rows, [&](const Row& r) {
        queue->inDatabase([&](SQDatabase* db) {
            if (!db->executeUpdate(kInsert, r.id, r.name, r.qty, r.price)) fail("queue insert");
        });
    });
    queue->inDatabase([&](SQDatabase* db) { count = db->longForQuery(kCount); });
    return t;
}

} // namespace

int main(int argc, char** argv) {
    const int perThread = argc > 2 ? std::atoi(argv[2]) : kDefaultInserts;
    if (perThread <= 0) fail("the insert count must be positive");
    const auto rows = makeRows(perThread);
    const int64_t expected = int64_t(kThreads) * perThread;
    int64_t count = 0;
    if (argc > 1) {
        const std::string side = argv[1];
        double t = side == "raw" ? rawSide(rows, count) : side == "queue" ? queueSide(rows, count) : -1;
        if (t < 0) fail("unknown side " + side);
        if (count != expected) fail("wrong row count");
        std::printf("%s %.4f s\n", side.c_str(), t);
        return 0;
    }

    // Round 0 warms up; the median of the others counts.
    std::vector<double> raws, queues;
    for (int r = 0; r <= kRounds; ++r) {
        double t = rawSide(rows, count);
        if (count != expected) fail("raw: wrong row count");
        if (r > 0) raws.push_back(t);
        t = queueSide(rows, count);
        if (count != expected) fail("queue: wrong row count");
        if (r > 0) queues.push_back(t);
    }
    const double raw = median(raws), queue = median(queues);
    const double ratio = queue / raw;
    std::printf("bench_sqlite_queue: %d threads x %d inserts, in-memory\n", kThreads, perThread);
    std::printf("%-36s %10.4f s\n%-36s %10.4f s\n", "raw connection behind a std::mutex", raw,
                "SQDatabaseQueue", queue);
    std::printf("queue/raw %.3f (target %.2f)%s\n", ratio, kTarget, ratio <= kTarget ? "" : "  MISSED");
    std::printf("(wall time, median of %d rounds after a warm-up round)\n", kRounds);
    return ratio <= kTarget ? 0 : 1;
}
