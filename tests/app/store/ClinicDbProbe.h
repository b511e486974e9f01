#pragma once
// Reads and prepares clinic database files with the raw SQLite API, so the store's tests check the
// file itself rather than what the access layer under test says about it.
#include <sqlite3.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace storetest {

class ClinicDbProbe {
  public:
    explicit ClinicDbProbe(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
    }
    ~ClinicDbProbe() { sqlite3_close_v2(db_); }
    ClinicDbProbe(const ClinicDbProbe&) = delete;
    ClinicDbProbe& operator=(const ClinicDbProbe&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error(sql + ": " + message);
        }
    }

    // Every row as texts (NULL as nullopt), columns in order.
    using Row = std::vector<std::optional<std::string>>;
    std::vector<Row> rows(const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(sql + ": " + sqlite3_errmsg(db_));
        std::vector<Row> out;
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            Row row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const auto* text = sqlite3_column_text(stmt, i);
                row.push_back(text ? std::optional<std::string>(reinterpret_cast<const char*>(text))
                                   : std::nullopt);
            }
            out.push_back(std::move(row));
        }
        sqlite3_finalize(stmt);
        return out;
    }

    std::string value(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() || r[0].empty() || !r[0][0] ? std::string("<none>") : *r[0][0];
    }

    int count(const std::string& table) { return std::stoi(value("SELECT COUNT(*) FROM " + table)); }

    // A dump of the whole file: schema and every row of every table, for "nothing changed" checks.
    std::vector<Row> dump() {
        std::vector<Row> out = rows("SELECT type, name, sql FROM sqlite_master ORDER BY rowid");
        for (const auto& table : rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid")) {
            out.push_back({table[0]});
            for (auto& row : rows("SELECT * FROM " + *table[0] + " ORDER BY rowid"))
                out.push_back(std::move(row));
        }
        return out;
    }

  private:
    sqlite3* db_ = nullptr;
};

} // namespace storetest
