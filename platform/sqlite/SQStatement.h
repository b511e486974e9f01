#pragma once
// One prepared statement with the SQL it was made from and how often it ran. The database handle
// makes it, may keep it in its statement cache and reuses it while no result set reads from it.
#include <sqlite3.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class SQDatabase;

class SQStatement {
  public:
    SQStatement() = default;
    explicit SQStatement(sqlite3_stmt* statement) : statement_(statement) {}
    ~SQStatement() { close(); }
    SQStatement(const SQStatement&) = delete;
    SQStatement& operator=(const SQStatement&) = delete;

    sqlite3_stmt* statement() const { return statement_; }
    void setStatement(sqlite3_stmt* statement) {
        statement_ = statement;
        columnNamesPrepareCount_ = -1; // another statement: its names are read afresh
    }

    const std::string& query() const;
    void setQuery(std::string query);

    int64_t useCount() const { return useCount_.load(std::memory_order_relaxed); }
    void setUseCount(int64_t n) { useCount_.store(n, std::memory_order_relaxed); }
    // One handle uses a statement at a time: no read-modify-write needed, only a value others may read.
    int64_t incrementUseCount() {
        const int64_t n = useCount_.load(std::memory_order_relaxed) + 1;
        useCount_.store(n, std::memory_order_relaxed);
        return n;
    }

    bool inUse() const { return inUse_.load(std::memory_order_relaxed); }
    void setInUse(bool inUse) { inUse_.store(inUse, std::memory_order_relaxed); }

    // Finalizes the prepared statement (once: it is forgotten afterwards).
    void close();
    // Rewinds it for the next run; the bindings stay.
    void reset();

    std::string description() const;

    // The result columns' names, lower-cased, by index. Made on first use and kept while SQLite keeps the
    // statement as prepared: a schema change that makes it prepare the statement again may change them.
    const std::vector<std::string>& columnNames();

  private:
    friend class SQDatabase;
    friend class SQResultSet;
    const std::shared_ptr<const std::string>& sharedQuery() const { return query_; }

    sqlite3_stmt* statement_ = nullptr;
    // Shared with the result sets made from it, so a query costs no copy of its SQL.
    std::shared_ptr<const std::string> query_;
    std::atomic<int64_t> useCount_{0};
    std::atomic<bool> inUse_{false};
    // The handle whose connection the statement belongs to; it detaches the statement when it has
    // to finalize it itself on close, so the statement is never finalized twice.
    SQDatabase* owner_ = nullptr;
    // True while the statement is known to be rewound, so taking it from the cache needs no reset.
    bool rewound_ = false;
    std::vector<std::string> columnNames_;
    int columnNamesPrepareCount_ = -1; // SQLite's count of re-preparations when the names were read
};
