#pragma once
// Several SQDatabase handles on one file, lent to callers and taken back. A lent handle belongs to its
// borrower alone until it comes back; only the pool's two lists (idle, lent) are guarded.
//
//   pool->inDatabase([&](SQDatabase* db) { if (db) db->executeUpdate(sql, value); });
//
// or by hand: auto db = pool->db(); ... pool->pushDatabaseBackInPool(db);
#include <sqlite3.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/sqlite/SQDatabase.h"

class SQDatabasePool;

// Optional say in the pool's handles. Called on the borrowing thread, outside the pool's lock, so a
// delegate may ask the pool for its counts.
class SQDatabasePoolDelegate {
  public:
    virtual ~SQDatabasePoolDelegate() = default;
    // False: the handle is closed, leaves the pool, and the borrower gets none.
    virtual bool databasePoolShouldAddDatabaseToPool(SQDatabasePool& /*pool*/, SQDatabase& /*database*/) {
        return true;
    }
    // A handle the pool has just made and is about to lend for the first time.
    virtual void databasePoolDidAddDatabase(SQDatabasePool& /*pool*/, SQDatabase& /*database*/) {}
};

class SQDatabasePool {
    struct Private {};

  public:
    static constexpr int kDefaultOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    static constexpr const char* kDatabaseAlreadyInPool = "Database already in pool";

    // No path: every handle is its own private in-memory database.
    static std::shared_ptr<SQDatabasePool>
    databasePoolWithPath(std::optional<std::string> path = std::nullopt);
    static std::shared_ptr<SQDatabasePool> databasePoolWithPathFlags(std::optional<std::string> path,
                                                                     int openFlags);
    SQDatabasePool(Private, std::optional<std::string> path, int openFlags);
    SQDatabasePool(const SQDatabasePool&) = delete;
    SQDatabasePool& operator=(const SQDatabasePool&) = delete;

    std::optional<std::string> path() const;
    void setPath(std::optional<std::string> path);
    int openFlags() const { return openFlags_; }
    // Not owned: a delegate that is gone is not asked.
    std::shared_ptr<SQDatabasePoolDelegate> delegate() const;
    void setDelegate(std::weak_ptr<SQDatabasePoolDelegate> delegate);
    // 0: no limit. Otherwise idle and lent handles together never exceed it.
    size_t maximumNumberOfDatabasesToCreate() const;
    void setMaximumNumberOfDatabasesToCreate(size_t maximum);

    // Lends an open handle: an idle one, else a new one. Null (logged) at the limit, when the handle
    // does not open, or when the delegate refuses it.
    std::shared_ptr<SQDatabase> db();
    // Takes a lent handle back. Giving back a handle that is already idle throws a
    // foundation::NamedException named kDatabaseAlreadyInPool and changes nothing.
    void pushDatabaseBackInPool(const std::shared_ptr<SQDatabase>& db);
    // Runs the block under the pool's lock; it may ask the pool for its counts.
    void executeLocked(const std::function<void()>& block);
    size_t countOfCheckedInDatabases() const;
    size_t countOfCheckedOutDatabases() const;
    size_t countOfOpenDatabases() const;
    // Forgets every handle; each closes when its last borrower lets it go.
    void releaseAllDatabases();

    // The queue's work forms, each on a handle lent for the call and taken back after it (the block gets
    // null when no handle could be lent).
    void inDatabase(const SQDatabaseBlock& block);
    void inTransaction(const SQTransactionBlock& block);
    void inDeferredTransaction(const SQTransactionBlock& block);
    void beginTransaction(bool useDeferred, const SQTransactionBlock& block);
    foundation::ErrorPtr inSavePoint(const SQTransactionBlock& block);

  private:
    // Why no handle was lent.
    enum class NoHandle { None, AtLimit, NotOpened, Refused };
    std::shared_ptr<SQDatabase> lend(NoHandle& why);
    // False when the handle is already idle.
    bool takeBack(const std::shared_ptr<SQDatabase>& db);
    void forgetLent(const std::shared_ptr<SQDatabase>& db);
    // Gives a lent handle back when the work is done, however it ends.
    struct Lent {
        SQDatabasePool& pool;
        std::shared_ptr<SQDatabase> db;
        ~Lent() {
            if (db) pool.takeBack(db);
        }
    };

    // The lock queue. Recursive, so a block run under it can still ask for the counts.
    mutable std::recursive_mutex lockQueue_;
    std::optional<std::string> path_;
    std::vector<std::shared_ptr<SQDatabase>> databaseInPool_;
    std::vector<std::shared_ptr<SQDatabase>> databaseOutPool_;
    std::weak_ptr<SQDatabasePoolDelegate> delegate_;
    size_t maximumNumberOfDatabasesToCreate_ = 0;
    const int openFlags_;
};
