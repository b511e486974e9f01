#pragma once
// One SQDatabase that any thread can use: each piece of work runs on the handle alone, one after the
// other, and the caller waits for it. The handle opens when the queue is made, closes on `close` and
// opens again for the next piece of work.
//
//   auto queue = SQDatabaseQueue::databaseQueueWithPath(path);   // null when the file does not open
//   queue->inTransaction([&](SQDatabase* db, bool& rollback) {
//       if (!db || !db->executeUpdate("INSERT INTO t (name) VALUES (?)", name)) rollback = true;
//   });
//
// Work must not ask its own queue for more work (directly, or through another queue's work): that
// would wait for itself forever, so it stops the process with an assertion instead.
#include <sqlite3.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sqlite/SQDatabase.h"

class SQDatabaseQueue {
    struct Private {};

  public:
    static constexpr int kDefaultOpenFlags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;

    // No path: a private in-memory database. Null (and a log line) when the handle does not open.
    static std::shared_ptr<SQDatabaseQueue>
    databaseQueueWithPath(std::optional<std::string> path = std::nullopt);
    static std::shared_ptr<SQDatabaseQueue> databaseQueueWithPathFlags(std::optional<std::string> path,
                                                                       int openFlags);
    SQDatabaseQueue(Private, std::optional<std::string> path, int openFlags, std::shared_ptr<SQDatabase> db);
    SQDatabaseQueue(const SQDatabaseQueue&) = delete;
    SQDatabaseQueue& operator=(const SQDatabaseQueue&) = delete;

    // The path a reopened handle uses.
    std::optional<std::string> path() const;
    void setPath(std::optional<std::string> path);
    int openFlags() const { return openFlags_; }
    std::string description() const;

    // The block gets the handle, or null when it could not be opened again.
    void inDatabase(const SQDatabaseBlock& block);
    // The block runs inside an exclusive (deferred) transaction, committed afterwards unless it asked
    // for a roll-back. When the transaction cannot begin, the block gets no handle.
    void inTransaction(const SQTransactionBlock& block);
    void inDeferredTransaction(const SQTransactionBlock& block);
    void beginTransaction(bool useDeferred, const SQTransactionBlock& block);
    // The block runs inside a savepoint; the error of a failing savepoint step, or none.
    foundation::ErrorPtr inSavePoint(const SQTransactionBlock& block);
    // Closes the handle; the next piece of work opens it again.
    void close();
    // The handle, opened again when needed; null when it does not open.
    std::shared_ptr<SQDatabase> database();

  private:
    // Runs the work alone on the handle, after checking the caller is not inside this queue's work.
    template <class Work> void sync(Work&& work);
    bool isInsideWork() const;
    // The handle, opened again when needed; the queue keeps it while its work runs.
    SQDatabase* openedDatabase();

    mutable std::mutex pathMutex_;
    std::optional<std::string> path_;
    // The serial queue: work runs on the caller's thread while holding it, so a caller that waits for
    // its work pays no switch to another thread.
    std::mutex queue_;
    std::shared_ptr<SQDatabase> db_;
    const int openFlags_;
};
