#include "platform/sqlite/SQDatabaseQueue.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

#include "platform/foundation/Log.h"

namespace {

// Savepoint names must differ across queues and threads: one process-wide counter.
std::atomic<long> gQueueSavePointCounter{0};

// The queues whose work this thread is running, innermost last. Work that calls into a queue runs on
// the calling thread, so a chain A -> B -> A shows up here whole.
thread_local std::vector<const SQDatabaseQueue*> tQueuesInWork;

struct InsideWork {
    explicit InsideWork(const SQDatabaseQueue* queue) { tQueuesInWork.push_back(queue); }
    ~InsideWork() { tQueuesInWork.pop_back(); }
    InsideWork(const InsideWork&) = delete;
    InsideWork& operator=(const InsideWork&) = delete;
};

[[noreturn]] void reentrantCall() {
    foundation::logMessage(
        "Assertion failure: currentSyncQueue != self && \"inDatabase: was called reentrantly "
        "on the same queue, which would lead to a deadlock\"");
    std::abort();
}

std::string describePath(const std::optional<std::string>& path) {
    return path ? *path : std::string("(null)");
}

} // namespace

std::shared_ptr<SQDatabaseQueue> SQDatabaseQueue::databaseQueueWithPath(std::optional<std::string> path) {
    return databaseQueueWithPathFlags(std::move(path), kDefaultOpenFlags);
}

std::shared_ptr<SQDatabaseQueue> SQDatabaseQueue::databaseQueueWithPathFlags(std::optional<std::string> path,
                                                                             int openFlags) {
    auto db = SQDatabase::databaseWithPath(path);
    if (!db->openWithFlags(openFlags)) {
        foundation::log("Could not create database queue for path %@", describePath(path));
        return nullptr;
    }
    return std::make_shared<SQDatabaseQueue>(Private{}, std::move(path), openFlags, std::move(db));
}

SQDatabaseQueue::SQDatabaseQueue(Private, std::optional<std::string> path, int openFlags,
                                 std::shared_ptr<SQDatabase> db)
    : path_(std::move(path)), db_(std::move(db)), openFlags_(openFlags) {}

std::optional<std::string> SQDatabaseQueue::path() const {
    std::lock_guard lock(pathMutex_);
    return path_;
}

void SQDatabaseQueue::setPath(std::optional<std::string> path) {
    std::lock_guard lock(pathMutex_);
    path_ = std::move(path);
}

std::string SQDatabaseQueue::description() const {
    return foundation::format("<SQDatabaseQueue: %p>", static_cast<const void*>(this));
}

bool SQDatabaseQueue::isInsideWork() const {
    return std::find(tQueuesInWork.begin(), tQueuesInWork.end(), this) != tQueuesInWork.end();
}

template <class Work> void SQDatabaseQueue::sync(Work&& work) {
    if (isInsideWork()) reentrantCall();
    std::lock_guard lock(queue_);
    InsideWork inside(this);
    work();
}

SQDatabase* SQDatabaseQueue::openedDatabase() {
    if (!db_) {
        const auto where = path();
        auto db = SQDatabase::databaseWithPath(where);
        if (!db->openWithFlags(openFlags_)) {
            foundation::log("SQDatabaseQueue could not reopen database for path %@", describePath(where));
            return nullptr;
        }
        db_ = std::move(db);
    }
    return db_.get();
}

std::shared_ptr<SQDatabase> SQDatabaseQueue::database() {
    // Asked from inside this queue's work, the queue is already held by this very call chain.
    if (isInsideWork()) return openedDatabase() ? db_ : nullptr;
    std::lock_guard lock(queue_);
    return openedDatabase() ? db_ : nullptr;
}

void SQDatabaseQueue::inDatabase(const SQDatabaseBlock& block) {
    sync([&] {
        SQDatabase* db = openedDatabase();
        if (block) block(db);
        if (db && db->hasOpenResultSets())
            foundation::logMessage(
                "Warning: there is at least one open result set around after performing [SQDatabaseQueue "
                "inDatabase:]");
    });
}

void SQDatabaseQueue::inTransaction(const SQTransactionBlock& block) {
    beginTransaction(false, block);
}

void SQDatabaseQueue::inDeferredTransaction(const SQTransactionBlock& block) {
    beginTransaction(true, block);
}

void SQDatabaseQueue::beginTransaction(bool useDeferred, const SQTransactionBlock& block) {
    sync([&] { SQDatabase::runTransaction(openedDatabase(), useDeferred, block); });
}

foundation::ErrorPtr SQDatabaseQueue::inSavePoint(const SQTransactionBlock& block) {
    foundation::ErrorPtr error;
    sync([&] {
        const std::string name = foundation::format("savePoint%ld", gQueueSavePointCounter.fetch_add(1));
        error = SQDatabase::runSavePoint(openedDatabase(), name, block);
    });
    return error;
}

void SQDatabaseQueue::close() {
    sync([&] {
        if (db_) db_->close();
        db_.reset();
    });
}
