// The access layer's own cost: the same work through SQDatabase and through the raw sqlite3 C API, on
// private in-memory databases, so no page read or disk flush hides what the layer adds per call.
//
//   bench_sqlite_cost               every case, both sides, median wall time of several rounds after a
//                                   warm-up round, with ratios
//   bench_sqlite_cost <case> [n]    one side of one case, once (for callgrind, see callgrind.sh)
//
// Cases: insert-raw, insert-layer (n rows in one transaction), index-raw, index-layer, name-layer (n point
// selects by primary key, columns read by index or by name). Only the function benchMeasured does the
// measured work, so `valgrind --tool=callgrind --toggle-collect=benchMeasured` counts just that.
// The exit status is 1 when a ratio misses its target.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/sqlite/BenchItems.h"
#include "platform/sqlite/SQDatabase.h"

namespace {

using namespace benchitems;

constexpr int kDefaultRows = 100000;
constexpr int kRounds = 9;

// The one function callgrind counts in; kept out of line so it has a symbol of its own.
[[gnu::noinline]] void benchMeasured(const std::function<void()>& work) {
    work();
}

double wallTimed(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    benchMeasured(work);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Data {
    std::vector<Row> rows;
    std::vector<int64_t> keys;
    explicit Data(int n) {
        rows.reserve(size_t(n));
        for (int i = 1; i <= n; ++i)
            rows.push_back({i, "item " + std::to_string(int64_t(i) * 7919 % 100003) + " of the stock", i % 97,
                            i * 0.25});
        std::mt19937_64 random(42);
        keys.resize(size_t(n));
        for (auto& k : keys)
            k = int64_t(random() % uint64_t(n)) + 1;
    }
};

// Raw side.

struct RawDB {
    sqlite3* db = nullptr;
    RawDB() {
        check(sqlite3_open(":memory:", &db), db, "open");
        check(sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr), db, "create");
    }
    ~RawDB() { sqlite3_close(db); }
    void insert(const std::vector<Row>& rows) {
        check(sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr), db, "begin");
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr), db, "prepare");
        for (const auto& r : rows) {
            bindRow(st, r);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        check(sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr), db, "commit");
    }
};

double rawInsert(const Data& d) {
    RawDB raw;
    return wallTimed([&] { raw.insert(d.rows); });
}

double rawPointSelect(const Data& d, Sum& sum) {
    RawDB raw;
    raw.insert(d.rows);
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(raw.db, kSelectOne, -1, &st, nullptr), raw.db, "prepare");
    double t = wallTimed([&] {
        for (int64_t key : d.keys) {
            sqlite3_bind_int64(st, 1, key);
            if (sqlite3_step(st) == SQLITE_ROW) {
                auto text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                std::string name(text, size_t(sqlite3_column_bytes(st, 1)));
                sum.add(sqlite3_column_int64(st, 0), name, sqlite3_column_int(st, 2),
                        sqlite3_column_double(st, 3));
            }
            sqlite3_reset(st);
        }
    });
    sqlite3_finalize(st);
    return t;
}

// Layer side: the statement cache on, as any caller repeating its SQL would have it.

std::shared_ptr<SQDatabase> layerOpen() {
    auto db = SQDatabase::databaseWithPath();
    if (!db->open()) fail("layer open");
    db->setShouldCacheStatements(true);
    if (!db->executeUpdate(kCreate)) fail("layer create");
    return db;
}

void layerInsertRows(SQDatabase& db, const std::vector<Row>& rows) {
    db.beginTransaction();
    for (const auto& r : rows)
        if (!db.executeUpdate(kInsert, r.id, r.name, r.qty, r.price)) fail("layer insert");
    db.commit();
}

double layerInsert(const Data& d) {
    auto db = layerOpen();
    return wallTimed([&] { layerInsertRows(*db, d.rows); });
}

double layerPointSelect(const Data& d, bool byName, Sum& sum) {
    auto db = layerOpen();
    layerInsertRows(*db, d.rows);
    return wallTimed([&] {
        for (int64_t key : d.keys) {
            auto rs = db->executeQuery(kSelectOne, key);
            if (!rs || !rs->next()) continue;
            if (byName) {
                sum.add(rs->longForColumn("id"), rs->stringForColumn("name").value_or(""),
                        rs->intForColumn("qty"), rs->doubleForColumn("price"));
            } else {
                sum.add(rs->longForColumnIndex(0), rs->stringForColumnIndex(1).value_or(""),
                        rs->intForColumnIndex(2), rs->doubleForColumnIndex(3));
            }
        }
    });
}

int runOne(const std::string& which, const Data& d) {
    Sum sum;
    double t = 0;
    if (which == "insert-raw")
        t = rawInsert(d);
    else if (which == "insert-layer")
        t = layerInsert(d);
    else if (which == "index-raw")
        t = rawPointSelect(d, sum);
    else if (which == "index-layer")
        t = layerPointSelect(d, false, sum);
    else if (which == "name-layer")
        t = layerPointSelect(d, true, sum);
    else
        fail("unknown case " + which);
    std::printf("%s %.4f s\n", which.c_str(), t);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int n = argc > 2 ? std::atoi(argv[2]) : kDefaultRows;
    if (n <= 0) fail("the row count must be positive");
    Data d(n);
    if (argc > 1) return runOne(argv[1], d);

    std::printf("bench_sqlite_cost: SQLite %s, in-memory, %d rows / lookups\n", sqlite3_libversion(), n);
    // Round 0 warms up; the median of the others counts.
    std::vector<double> insertRaws, insertLayers, indexRaws, indexLayers, nameLayers;
    for (int r = 0; r <= kRounds; ++r) {
        const double iRaw = rawInsert(d), iLayer = layerInsert(d);
        Sum raw, index, name;
        const double pRaw = rawPointSelect(d, raw), pIndex = layerPointSelect(d, false, index),
                     pName = layerPointSelect(d, true, name);
        if (!(raw == index) || !(raw == name)) fail("the two sides read different rows");
        if (r == 0) continue;
        insertRaws.push_back(iRaw);
        insertLayers.push_back(iLayer);
        indexRaws.push_back(pRaw);
        indexLayers.push_back(pIndex);
        nameLayers.push_back(pName);
    }
    const double insertRaw = median(insertRaws), insertLayer = median(insertLayers),
                 indexRaw = median(indexRaws), indexLayer = median(indexLayers),
                 nameLayer = median(nameLayers);
    struct Line {
        const char* work;
        double raw, layer, target;
    } lines[] = {{"insert, one transaction", insertRaw, insertLayer, 1.15},
                 {"point select, columns by index", indexRaw, indexLayer, 1.15},
                 {"point select, columns by name", indexRaw, nameLayer, 1.3}};
    bool allMet = true;
    std::printf("%-34s %10s %10s %10s %8s\n", "work", "raw s", "layer s", "layer/raw", "target");
    for (const auto& l : lines) {
        double ratio = l.layer / l.raw;
        bool met = ratio <= l.target;
        allMet = allMet && met;
        std::printf("%-34s %10.4f %10.4f %10.3f %8.2f%s\n", l.work, l.raw, l.layer, ratio, l.target,
                    met ? "" : "  MISSED");
    }
    std::printf("(wall time, median of %d rounds after a warm-up round)\n", kRounds);
    return allMet ? 0 : 1;
}
