// Compares the SQLite access layer (SQDatabase, SQResultSet) with the raw sqlite3 C API on the same
// work and prints the ratio layer/raw for each kind of work, with its target.
//
//   bench_sqlite [folder]     (default: a fresh folder under the system's temporary folder)
//
// Each measurement runs a warm-up round and then several rounds, alternating raw and layer, and keeps
// each side's median round, in processor time of the benchmark's thread (other work on the machine does
// not count).
// The clinic pattern alternates the two sides save by save, so both see the same disk; it shows 1000
// times each side's median save and the median ratio of neighbouring saves. The exit status is 1 when
// a ratio misses its target.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bench/sqlite/BenchItems.h"
#include "platform/sqlite/SQDatabase.h"

namespace {

using namespace benchitems;

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kRows = 100000;
constexpr int kLookups = 100000;
constexpr int kScans = 5;
constexpr int kClinicIterations = 1000;
constexpr int kRounds = 7;
constexpr int kClinicRounds = 3;

const char* const kSelectAll = "SELECT id, name, qty, price FROM items";

const char* const kCreateInquiry =
    "CREATE TABLE inquiryMst ( pid text, result text, graph1 integer, graph2 integer, "
    "graph3 integer, graph4 integer, graph5 integer, inputdate text)";
const char* const kCount = "SELECT COUNT(*) FROM inquiryMst WHERE pid = ?;";
const char* const kInsertInquiry = "INSERT INTO inquiryMst VALUES (?, ?, ?, ?, ?, ?, ?, ?)";
const char* const kUpdateInquiry = "UPDATE inquiryMst SET result = ?, graph1 = ?, graph2 = ?, graph3 = ?, "
                                   "graph4 = ?, graph5 = ?, inputdate = ? WHERE pid = ?;";

double timed(const std::function<void()>& work) {
    auto start = Clock::now();
    work();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of this thread: the work done, whatever else keeps the machine busy.
double cpuTimed(const std::function<void()>& work) {
    auto now = [] {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
    };
    double start = now();
    work();
    return now() - start;
}

sqlite3* rawOpen(const std::string& path) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr), db,
          "open");
    return db;
}

void rawExec(sqlite3* db, const char* sql) {
    check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db, sql);
}

std::shared_ptr<SQDatabase> layerOpen(const std::string& path) {
    auto db = SQDatabase::databaseWithPath(path);
    if (!db->open()) fail("layer open " + path);
    db->setShouldCacheStatements(true);
    return db;
}

// The work, once through each side.

double rawInsert(const std::string& path, const std::vector<Row>& rows) {
    fs::remove(path);
    sqlite3* db = rawOpen(path);
    rawExec(db, kCreate);
    double t = cpuTimed([&] {
        rawExec(db, "begin exclusive transaction");
        sqlite3_stmt* st = nullptr;
        check(sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr), db, "prepare");
        for (const auto& r : rows) {
            bindRow(st, r);
            check(sqlite3_step(st), db, "insert");
            sqlite3_reset(st);
        }
        sqlite3_finalize(st);
        rawExec(db, "commit transaction");
    });
    sqlite3_close(db);
    return t;
}

double layerInsert(const std::string& path, const std::vector<Row>& rows) {
    fs::remove(path);
    auto db = layerOpen(path);
    if (!db->executeUpdate(kCreate)) fail("create");
    double t = cpuTimed([&] {
        db->beginTransaction();
        for (const auto& r : rows)
            if (!db->executeUpdate(kInsert, r.id, r.name, r.qty, r.price)) fail("layer insert");
        db->commit();
    });
    db->close();
    return t;
}

// Reads the current row by column index, as raw code would.
void addRawRow(sqlite3_stmt* st, Sum& sum) {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
    std::string name(text, size_t(sqlite3_column_bytes(st, 1)));
    sum.add(sqlite3_column_int64(st, 0), name, sqlite3_column_int(st, 2), sqlite3_column_double(st, 3));
}

double rawPointSelect(const std::string& path, const std::vector<int64_t>& keys, Sum& sum) {
    sqlite3* db = rawOpen(path);
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, kSelectOne, -1, &st, nullptr), db, "prepare");
    double t = cpuTimed([&] {
        for (int64_t key : keys) {
            sqlite3_bind_int64(st, 1, key);
            if (sqlite3_step(st) == SQLITE_ROW) addRawRow(st, sum);
            sqlite3_reset(st);
        }
    });
    sqlite3_finalize(st);
    sqlite3_close(db);
    return t;
}

double layerPointSelect(const std::string& path, const std::vector<int64_t>& keys, bool byName, Sum& sum) {
    auto db = layerOpen(path);
    double t = cpuTimed([&] {
        for (int64_t key : keys) {
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
    db->close();
    return t;
}

double rawScan(const std::string& path, Sum& sum) {
    sqlite3* db = rawOpen(path);
    double t = cpuTimed([&] {
        for (int i = 0; i < kScans; ++i) {
            sqlite3_stmt* st = nullptr;
            check(sqlite3_prepare_v2(db, kSelectAll, -1, &st, nullptr), db, "prepare");
            while (sqlite3_step(st) == SQLITE_ROW)
                addRawRow(st, sum);
            sqlite3_finalize(st);
        }
    });
    sqlite3_close(db);
    return t;
}

double layerScan(const std::string& path, Sum& sum) {
    auto db = layerOpen(path);
    double t = cpuTimed([&] {
        for (int i = 0; i < kScans; ++i) {
            auto rs = db->executeQuery(kSelectAll);
            while (rs->next())
                sum.add(rs->longForColumnIndex(0), rs->stringForColumnIndex(1).value_or(""),
                        rs->intForColumnIndex(2), rs->doubleForColumnIndex(3));
        }
    });
    db->close();
    return t;
}

// The clinic's save: open, count the patient's rows, insert or update, close.
struct Inquiry {
    std::string pid, result, inputdate;
    int graph[5];
};

void rawClinicSave(const std::string& path, const Inquiry& q) {
    sqlite3* db = rawOpen(path);
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, kCount, -1, &st, nullptr), db, "prepare count");
    sqlite3_bind_text(st, 1, q.pid.data(), int(q.pid.size()), SQLITE_STATIC);
    bool none = false;
    if (sqlite3_step(st) == SQLITE_ROW)
        none = std::string_view(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "0";
    sqlite3_finalize(st);
    check(sqlite3_prepare_v2(db, none ? kInsertInquiry : kUpdateInquiry, -1, &st, nullptr), db,
          "prepare save");
    int i = 1;
    if (none) sqlite3_bind_text(st, i++, q.pid.data(), int(q.pid.size()), SQLITE_STATIC);
    sqlite3_bind_text(st, i++, q.result.data(), int(q.result.size()), SQLITE_STATIC);
    for (int g : q.graph)
        sqlite3_bind_int(st, i++, g);
    sqlite3_bind_text(st, i++, q.inputdate.data(), int(q.inputdate.size()), SQLITE_STATIC);
    if (!none) sqlite3_bind_text(st, i++, q.pid.data(), int(q.pid.size()), SQLITE_STATIC);
    check(sqlite3_step(st), db, "save");
    sqlite3_finalize(st);
    sqlite3_close(db);
}

void layerClinicSave(SQDatabase& db, const Inquiry& q) {
    if (!db.open()) fail("layer open");
    bool none = false;
    if (auto rs = db.executeQuery(kCount, q.pid)) {
        if (rs->next()) none = rs->stringForColumn("COUNT(*)") == "0";
        rs->close();
    }
    const int* g = q.graph;
    bool ok =
        none ? db.executeUpdate(kInsertInquiry, q.pid, q.result, g[0], g[1], g[2], g[3], g[4], q.inputdate)
             : db.executeUpdate(kUpdateInquiry, q.result, g[0], g[1], g[2], g[3], g[4], q.inputdate, q.pid);
    if (!ok) fail("layer save: " + db.lastErrorMessage());
    db.close();
}

void freshInquiryFile(const std::string& path) {
    fs::remove(path);
    sqlite3* db = rawOpen(path);
    rawExec(db, kCreateInquiry);
    sqlite3_close(db);
}

struct Result {
    const char* work;
    double raw, layer, target;
    double ratio = 0; // when not simply layer / raw
};

} // namespace

int main(int argc, char** argv) {
    fs::path folder;
    bool madeFolder = false;
    if (argc > 1) {
        folder = argv[1];
        fs::create_directories(folder);
    } else {
        std::string tmpl = (fs::temp_directory_path() / "bench_sqlite-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) fail("cannot make a temporary folder");
        folder = tmpl;
        madeFolder = true;
    }
    std::printf("bench_sqlite: SQLite %s, folder %s\n", sqlite3_libversion(), folder.c_str());

    std::vector<Row> rows;
    rows.reserve(kRows);
    for (int i = 1; i <= kRows; ++i)
        rows.push_back({i, "item " + std::to_string(i * 7919 % 100003) + " of the stock", i % 97, i * 0.25});
    std::mt19937_64 random(42);
    std::vector<int64_t> keys(kLookups);
    for (auto& k : keys)
        k = int64_t(random() % kRows) + 1;

    const std::string rawFile = (folder / "raw.db").string();
    const std::string layerFile = (folder / "layer.db").string();
    std::vector<Result> results;
    // Round 0 warms up; each side's median of the others counts.
    struct Samples {
        std::vector<double> raw, layer;
        void add(int round, double r, double l) {
            if (round == 0) return;
            raw.push_back(r);
            layer.push_back(l);
        }
        void into(Result& result) const {
            result.raw = median(raw);
            result.layer = median(layer);
        }
    };

    Result insert{"insert 100000 rows, one transaction", 0, 0, 1.3};
    Samples inserts;
    for (int r = 0; r <= kRounds; ++r) {
        const double raw = rawInsert(rawFile, rows);
        inserts.add(r, raw, layerInsert(layerFile, rows));
    }
    inserts.into(insert);
    results.push_back(insert);

    Result byIndex{"point select, columns by index", 0, 0, 1.3};
    Result byName{"point select, columns by name", 0, 0, 2.0};
    Result scan{"full scan, 5 x 100000 rows", 0, 0, 0};
    Samples indexSamples, nameSamples, scanSamples;
    for (int r = 0; r <= kRounds; ++r) {
        Sum raw, index, name, rawAll, layerAll;
        const double rawSelect = rawPointSelect(rawFile, keys, raw);
        indexSamples.add(r, rawSelect, layerPointSelect(rawFile, keys, false, index));
        nameSamples.add(r, rawSelect, layerPointSelect(rawFile, keys, true, name));
        const double rawScanned = rawScan(rawFile, rawAll);
        scanSamples.add(r, rawScanned, layerScan(rawFile, layerAll));
        if (!(raw == index) || !(raw == name) || !(rawAll == layerAll))
            fail("the two sides read different rows");
    }
    indexSamples.into(byIndex);
    nameSamples.into(byName);
    scanSamples.into(scan);
    byName.raw = byIndex.raw; // raw SQLite has no names: the same reads by index
    results.push_back(byIndex);
    results.push_back(byName);
    results.push_back(scan);

    // Disk time per save varies a lot (other work on the machine, the device's own flushing): each side's
    // saves are timed one by one, the two sides alternating, and compared by their medians.
    Result clinic{"clinic pattern on a file, 1000 saves", 0, 0, 1.05};
    {
        const std::string rawClinic = (folder / "clinic-raw.db").string();
        const std::string layerClinic = (folder / "clinic-layer.db").string();
        freshInquiryFile(rawClinic);
        freshInquiryFile(layerClinic);
        auto db = SQDatabase::databaseWithPath(layerClinic);
        std::vector<double> rawTimes, layerTimes;
        for (int i = 0; i < kClinicIterations * kClinicRounds; ++i) {
            Inquiry q{std::to_string(100000 + i % 50),
                      R"({"12":"2","21":"1","81":["10"],"text_32":"x"})",
                      "2014-10-13",
                      {4, 3, 5, 1, i % 5 + 1}};
            // Alternate which side goes first, so neither always meets a warmer disk.
            if (i % 2 == 0) {
                rawTimes.push_back(timed([&] { rawClinicSave(rawClinic, q); }));
                layerTimes.push_back(timed([&] { layerClinicSave(*db, q); }));
            } else {
                layerTimes.push_back(timed([&] { layerClinicSave(*db, q); }));
                rawTimes.push_back(timed([&] { rawClinicSave(rawClinic, q); }));
            }
        }
        // Two saves timed side by side met the same disk: their ratio is what the layer adds.
        std::vector<double> ratios;
        for (size_t i = 0; i < rawTimes.size(); ++i)
            ratios.push_back(layerTimes[i] / rawTimes[i]);
        clinic.raw = median(rawTimes) * kClinicIterations;
        clinic.layer = median(layerTimes) * kClinicIterations;
        clinic.ratio = median(ratios);
    }
    results.push_back(clinic);

    bool allMet = true;
    std::printf("%-40s %10s %10s %10s %8s\n", "work", "raw s", "layer s", "layer/raw", "target");
    for (const auto& r : results) {
        double ratio = r.ratio > 0 ? r.ratio : r.layer / r.raw;
        bool met = r.target == 0 || ratio <= r.target;
        allMet = allMet && met;
        if (r.target > 0)
            std::printf("%-40s %10.4f %10.4f %10.2f %8.2f%s\n", r.work, r.raw, r.layer, ratio, r.target,
                        met ? "" : "  MISSED");
        else
            std::printf("%-40s %10.4f %10.4f %10.2f %8s\n", r.work, r.raw, r.layer, ratio, "-");
    }
    std::printf(
        "(seconds of processor time, median of %d rounds after a warm-up; the clinic pattern in wall-clock "
        "time, 1000 x the "
        "median save, its ratio the median of neighbouring saves)\n",
        kRounds);
    if (madeFolder) fs::remove_all(folder);
    return allMet ? 0 : 1;
}
