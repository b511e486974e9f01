#include "platform/sqlite/SQDatabasePool.h"

#include <algorithm>
#include <atomic>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"

namespace {

// Savepoint names must differ across pools and threads: one process-wide counter, apart from the queues'.
std::atomic<long> gPoolSavePointCounter{0};

bool contains(const std::vector<std::shared_ptr<SQDatabase>>& list, const std::shared_ptr<SQDatabase>& db) {
    return std::find(list.begin(), list.end(), db) != list.end();
}

} // namespace

std::shared_ptr<SQDatabasePool> SQDatabasePool::databasePoolWithPath(std::optional<std::string> path) {
    return databasePoolWithPathFlags(std::move(path), kDefaultOpenFlags);
}

std::shared_ptr<SQDatabasePool> SQDatabasePool::databasePoolWithPathFlags(std::optional<std::string> path,
                                                                          int openFlags) {
    return std::make_shared<SQDatabasePool>(Private{}, std::move(path), openFlags);
}

SQDatabasePool::SQDatabasePool(Private, std::optional<std::string> path, int openFlags)
    : path_(std::move(path)), openFlags_(openFlags) {}

std::optional<std::string> SQDatabasePool::path() const {
    std::lock_guard lock(lockQueue_);
    return path_;
}

void SQDatabasePool::setPath(std::optional<std::string> path) {
    std::lock_guard lock(lockQueue_);
    path_ = std::move(path);
}

std::shared_ptr<SQDatabasePoolDelegate> SQDatabasePool::delegate() const {
    std::lock_guard lock(lockQueue_);
    return delegate_.lock();
}

void SQDatabasePool::setDelegate(std::weak_ptr<SQDatabasePoolDelegate> delegate) {
    std::lock_guard lock(lockQueue_);
    delegate_ = std::move(delegate);
}

size_t SQDatabasePool::maximumNumberOfDatabasesToCreate() const {
    std::lock_guard lock(lockQueue_);
    return maximumNumberOfDatabasesToCreate_;
}

void SQDatabasePool::setMaximumNumberOfDatabasesToCreate(size_t maximum) {
    std::lock_guard lock(lockQueue_);
    maximumNumberOfDatabasesToCreate_ = maximum;
}

std::shared_ptr<SQDatabase> SQDatabasePool::db() {
    NoHandle why;
    return lend(why);
}

std::shared_ptr<SQDatabase> SQDatabasePool::lend(NoHandle& why) {
    why = NoHandle::None;
    std::shared_ptr<SQDatabase> db;
    std::optional<std::string> path;
    bool isNew = false;
    {
        std::lock_guard lock(lockQueue_);
        path = path_;
        if (!databaseInPool_.empty()) {
            db = std::move(databaseInPool_.back());
            databaseInPool_.pop_back();
        } else {
            const size_t count = databaseInPool_.size() + databaseOutPool_.size();
            if (maximumNumberOfDatabasesToCreate_ != 0 && count >= maximumNumberOfDatabasesToCreate_) {
                foundation::log("Maximum number of databases (%ld) has already been reached!", long(count));
                why = NoHandle::AtLimit;
                return nullptr;
            }
            db = SQDatabase::databaseWithPath(path);
            isNew = true;
        }
        // Counted as lent from here on, so other borrowers see the limit while this one opens it.
        databaseOutPool_.push_back(db);
    }

    // Opening and asking the delegate happen outside the lock: neither holds up the other borrowers.
    if (!db->openWithFlags(openFlags_)) {
        foundation::log("Could not open up the database at path %@", path ? *path : std::string("(null)"));
        forgetLent(db);
        why = NoHandle::NotOpened;
        return nullptr;
    }
    auto delegate = this->delegate();
    if (delegate && !delegate->databasePoolShouldAddDatabaseToPool(*this, *db)) {
        db->close();
        forgetLent(db);
        why = NoHandle::Refused;
        return nullptr;
    }
    if (isNew && delegate) delegate->databasePoolDidAddDatabase(*this, *db);
    return db;
}

void SQDatabasePool::forgetLent(const std::shared_ptr<SQDatabase>& db) {
    std::lock_guard lock(lockQueue_);
    std::erase(databaseOutPool_, db);
}

bool SQDatabasePool::takeBack(const std::shared_ptr<SQDatabase>& db) {
    std::lock_guard lock(lockQueue_);
    if (contains(databaseInPool_, db)) return false;
    databaseInPool_.push_back(db);
    std::erase(databaseOutPool_, db);
    return true;
}

void SQDatabasePool::pushDatabaseBackInPool(const std::shared_ptr<SQDatabase>& db) {
    if (!db) return;
    if (!takeBack(db)) {
        throw foundation::NamedException(
            kDatabaseAlreadyInPool, "The SQDatabase being put back into the pool is already present in the "
                                    "pool");
    }
}

void SQDatabasePool::executeLocked(const std::function<void()>& block) {
    std::lock_guard lock(lockQueue_);
    if (block) block();
}

size_t SQDatabasePool::countOfCheckedInDatabases() const {
    std::lock_guard lock(lockQueue_);
    return databaseInPool_.size();
}

size_t SQDatabasePool::countOfCheckedOutDatabases() const {
    std::lock_guard lock(lockQueue_);
    return databaseOutPool_.size();
}

size_t SQDatabasePool::countOfOpenDatabases() const {
    std::lock_guard lock(lockQueue_);
    return databaseInPool_.size() + databaseOutPool_.size();
}

void SQDatabasePool::releaseAllDatabases() {
    std::vector<std::shared_ptr<SQDatabase>> idle, lent;
    {
        std::lock_guard lock(lockQueue_);
        idle.swap(databaseInPool_);
        lent.swap(databaseOutPool_);
    }
    // Idle handles close here, as the lists let them go, outside the lock.
}

void SQDatabasePool::inDatabase(const SQDatabaseBlock& block) {
    Lent lent{*this, db()};
    if (block) block(lent.db.get());
}

void SQDatabasePool::inTransaction(const SQTransactionBlock& block) {
    beginTransaction(false, block);
}

void SQDatabasePool::inDeferredTransaction(const SQTransactionBlock& block) {
    beginTransaction(true, block);
}

void SQDatabasePool::beginTransaction(bool useDeferred, const SQTransactionBlock& block) {
    Lent lent{*this, db()};
    SQDatabase::runTransaction(lent.db.get(), useDeferred, block);
}

foundation::ErrorPtr SQDatabasePool::inSavePoint(const SQTransactionBlock& block) {
    const std::string name = foundation::format("savePoint%ld", gPoolSavePointCounter.fetch_add(1));
    NoHandle why;
    Lent lent{*this, lend(why)};
    // The caller hears why there is no savepoint, in the domain and with the code it already knows.
    std::string reason;
    if (why == NoHandle::AtLimit)
        reason = foundation::format("The pool has already lent its maximum number of databases (%ld).",
                                    long(maximumNumberOfDatabasesToCreate()));
    else if (why == NoHandle::Refused)
        reason = "The pool's delegate refused the database.";
    foundation::ErrorPtr noHandle;
    if (!reason.empty())
        noHandle =
            foundation::Error::make("SQDatabase", SQLITE_CANTOPEN,
                                    {{foundation::kLocalizedDescriptionKey, foundation::Value(reason)}});
    return SQDatabase::runSavePoint(lent.db.get(), name, block, noHandle);
}
