#pragma once
// What the SQLite benchmarks share: the items table they fill and read, a row of it, the checksum
// that shows both sides of a comparison did the same reads, the median they report, and how a
// benchmark gives up.
#include <errno.h>
#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace benchitems {

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A benchmark that cannot run its comparison says why, under its own name, and exits with 2. Worker
// threads fail too: the process ends without running static destructors under the other threads.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, what.c_str());
    std::fflush(nullptr);
    std::_Exit(2);
}

// A raw SQLite call's result: anything but success ends the benchmark.
inline void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
}

inline constexpr const char* kCreate =
    "CREATE TABLE items (id INTEGER PRIMARY KEY, name TEXT, qty INTEGER, price REAL)";
inline constexpr const char* kInsert = "INSERT INTO items (id, name, qty, price) VALUES (?, ?, ?, ?)";
inline constexpr const char* kSelectOne = "SELECT id, name, qty, price FROM items WHERE id = ?";

struct Row {
    int64_t id;
    std::string name;
    int qty;
    double price;
};

struct Sum {
    int64_t ids = 0, qty = 0;
    size_t nameBytes = 0;
    double price = 0;
    void add(int64_t id, const std::string& name, int q, double p) {
        ids += id;
        nameBytes += name.size();
        qty += q;
        price += p;
    }
    bool operator==(const Sum&) const = default;
};

// Binds the row to kInsert's four parameters, as the raw side of every comparison does.
inline void bindRow(sqlite3_stmt* st, const Row& r) {
    sqlite3_bind_int64(st, 1, r.id);
    sqlite3_bind_text(st, 2, r.name.data(), int(r.name.size()), SQLITE_STATIC);
    sqlite3_bind_int(st, 3, r.qty);
    sqlite3_bind_double(st, 4, r.price);
}

} // namespace benchitems
