#include "platform/sqlite/SQDatabase.h"

#include <algorithm>
#include <cstdlib>
#include <random>

#include "platform/foundation/Log.h"

namespace {

// Savepoint names must differ across handles and threads: one process-wide counter.
std::atomic<long> gSavePointCounter{0};

std::string quotedName(const std::string& name) {
    // A savepoint name is an identifier, not a value, so it cannot be bound: double any "'" instead.
    std::string out;
    for (char c : name) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

} // namespace

std::shared_ptr<SQDatabase> SQDatabase::databaseWithPath(std::optional<std::string> path) {
    return std::make_shared<SQDatabase>(Private{}, std::move(path));
}

SQDatabase::SQDatabase(Private, std::optional<std::string> path) : databasePath_(std::move(path)) {
    if (!sqlite3_threadsafe()) {
        foundation::logMessage("Assertion failure: sqlite3_threadsafe()");
        std::abort();
    }
}

SQDatabase::~SQDatabase() {
    close();
}

std::string SQDatabase::SQDBUserVersion() {
    return "2.5";
}

int SQDatabase::SQDBVersion() {
    static const int version = [] {
        std::string v = SQDBUserVersion();
        if (std::count(v.begin(), v.end(), '.') < 2) v += ".0";
        std::erase(v, '.');
        return int(std::strtol(v.c_str(), nullptr, 16));
    }();
    return version;
}

std::string SQDatabase::sqliteLibVersion() {
    return foundation::format("%s", sqlite3_libversion());
}

bool SQDatabase::isSQLiteThreadSafe() {
    return sqlite3_threadsafe() != 0;
}

std::shared_ptr<sqlite::DateFormatter> SQDatabase::storeableDateFormat(const std::string& format) {
    return std::make_shared<sqlite::DateFormatter>(format, 0, "en_US");
}

std::string SQDatabase::sqlitePath() const {
    if (!databasePath_) return ":memory:";
    return *databasePath_;
}

std::string SQDatabase::description() const {
    return foundation::format("<SQDatabase: %p>", static_cast<const void*>(this));
}

// Opening and closing.

bool SQDatabase::didOpen(int rc, sqlite3* db) {
    if (rc != SQLITE_OK) {
        foundation::log("error opening!: %d", rc);
        openErrorCode_ = rc;
        openSystemErrorCode_ = db ? sqlite3_system_errno(db) : 0;
        openErrorMessage_ = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        // SQLite hands back a connection even when the open fails; it is released here, not kept.
        if (const int closeRc = sqlite3_close(db); closeRc != SQLITE_OK)
            foundation::log("error closing!: %d", closeRc);
        return false;
    }
    db_ = db;
    openErrorCode_ = 0;
    openSystemErrorCode_ = 0;
    openErrorMessage_.clear();
    if (maxBusyRetryTimeInterval_ > 0.0) setMaxBusyRetryTimeInterval(maxBusyRetryTimeInterval_);
    return true;
}

bool SQDatabase::open() {
    if (db_) return true;
    sqlite3* db = nullptr;
    int rc = sqlite3_open(sqlitePath().c_str(), &db);
    return didOpen(rc, db);
}

bool SQDatabase::openWithFlags(int flags, const std::optional<std::string>& vfsName) {
    if (db_) return true;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(sqlitePath().c_str(), &db, flags, vfsName ? vfsName->c_str() : nullptr);
    return didOpen(rc, db);
}

bool SQDatabase::close() {
    auto keepAlive = weak_from_this().lock(); // a closing result set may hold the last reference
    clearCachedStatements();
    closeOpenResultSets();
    if (!db_) return true;

    bool triedFinalizingOpenStatements = false;
    int rc;
    for (;;) {
        rc = sqlite3_close(db_);
        if ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && !triedFinalizingOpenStatements) {
            triedFinalizingOpenStatements = true;
            bool finalized = false;
            while (sqlite3_stmt* stmt = sqlite3_next_stmt(db_, nullptr)) {
                foundation::logMessage("Closing leaked statement");
                // A statement object that still wraps it must not finalize it again later.
                for (auto it = liveStatements_.begin(); it != liveStatements_.end(); ++it) {
                    if ((*it)->statement_ == stmt) {
                        (*it)->statement_ = nullptr;
                        (*it)->owner_ = nullptr;
                        liveStatements_.erase(it);
                        break;
                    }
                }
                // Its result is the error of the statement's last run, long reported: nothing to add.
                sqlite3_finalize(stmt);
                finalized = true;
            }
            if (finalized) continue;
        }
        break;
    }
    if (rc != SQLITE_OK) {
        foundation::log("error closing!: %d", rc);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            // Something other than a statement (a backup, say) still uses the connection: SQLite ends
            // it when that lets go.
            rc = sqlite3_close_v2(db_);
            if (rc != SQLITE_OK) foundation::log("error closing!: %d", rc);
        }
    }
    for (auto* s : liveStatements_)
        s->owner_ = nullptr;
    liveStatements_.clear();
    db_ = nullptr;
    return true;
}

bool SQDatabase::goodConnection() {
    if (!db_) return false;
    auto rs = executeQuery("select name from sqlite_master where type='table'");
    if (rs) {
        rs->close();
        return true;
    }
    return false;
}

bool SQDatabase::databaseExists() const {
    if (!db_) {
        foundation::log("The SQDatabase %@ is not open.", description());
        return false;
    }
    return true;
}

void SQDatabase::statementDidClose(SQStatement* statement) {
    std::erase(liveStatements_, statement);
}

std::shared_ptr<SQStatement> SQDatabase::adoptStatement(sqlite3_stmt* pStmt, std::string_view sql) {
    auto statement = std::make_shared<SQStatement>(pStmt);
    statement->setQuery(std::string(sql));
    statement->owner_ = this;
    liveStatements_.push_back(statement.get());
    return statement;
}

// Busy handling.

int SQDatabase::busyHandler(void* context, int count) {
    auto* self = static_cast<SQDatabase*>(context);
    auto now = BusyClock::now();
    if (count == 0) {
        self->startBusyRetryTime_ = now;
        return 1;
    }
    std::chrono::duration<double> elapsed = now - self->startBusyRetryTime_;
    if (elapsed.count() >= self->maxBusyRetryTimeInterval_) return 0;
    thread_local std::minstd_rand random{std::random_device{}()};
    int requested = 50 + int(random() % 50);
    int actual = sqlite3_sleep(requested);
    if (actual != requested) {
        foundation::log(
            "WARNING: Requested sleep of %i milliseconds, but SQLite returned %i. Maybe SQLite wasn't "
            "built with HAVE_USLEEP=1?",
            requested, actual);
    }
    return 1;
}

void SQDatabase::setMaxBusyRetryTimeInterval(double timeout) {
    maxBusyRetryTimeInterval_ = timeout;
    if (!db_) return;
    const int rc = timeout > 0 ? sqlite3_busy_handler(db_, &SQDatabase::busyHandler, this)
                               : sqlite3_busy_handler(db_, nullptr, nullptr);
    if (rc != SQLITE_OK && logsErrors_)
        foundation::log("Error setting the busy handler (%d: %s)", rc, sqlite3_errstr(rc));
}

int SQDatabase::busyRetryTimeout() {
    foundation::log("%s:%d", __func__, __LINE__);
    foundation::logMessage("SQDB: busyRetryTimeout no longer works, please use maxBusyRetryTimeInterval");
    return -1;
}

void SQDatabase::setBusyRetryTimeout(int) {
    foundation::log("%s:%d", __func__, __LINE__);
    foundation::logMessage("SQDB: setBusyRetryTimeout does nothing, please use setMaxBusyRetryTimeInterval:");
}

// Errors and counts.

std::string SQDatabase::lastErrorMessage() const {
    if (!db_) return openErrorCode_ ? openErrorMessage_ : std::string(sqlite3_errstr(SQLITE_MISUSE));
    return sqlite3_errmsg(db_);
}

int SQDatabase::lastErrorCode() const {
    if (!db_) return openErrorCode_ ? openErrorCode_ : SQLITE_MISUSE;
    return sqlite3_errcode(db_);
}

int SQDatabase::lastSystemErrorCode() const {
    if (!db_) return openErrorCode_ ? openSystemErrorCode_ : 0;
    return sqlite3_system_errno(db_);
}

bool SQDatabase::hadError() const {
    int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

foundation::ErrorPtr SQDatabase::errorWithMessage(const std::string& message) const {
    return foundation::Error::make("SQDatabase", lastErrorCode(),
                                   {{foundation::kLocalizedDescriptionKey, foundation::Value(message)}});
}

foundation::ErrorPtr SQDatabase::lastError() const {
    return errorWithMessage(lastErrorMessage());
}

int64_t SQDatabase::lastInsertRowId() {
    if (isExecutingStatement_.load(std::memory_order_relaxed)) {
        warnInUse();
        return 0;
    }
    isExecutingStatement_.store(true, std::memory_order_relaxed);
    int64_t id = db_ ? sqlite3_last_insert_rowid(db_) : 0;
    isExecutingStatement_ = false;
    return id;
}

int SQDatabase::changes() {
    if (isExecutingStatement_.load(std::memory_order_relaxed)) {
        warnInUse();
        return 0;
    }
    isExecutingStatement_.store(true, std::memory_order_relaxed);
    int n = db_ ? sqlite3_changes(db_) : 0;
    isExecutingStatement_ = false;
    return n;
}

void SQDatabase::warnInUse() const {
    foundation::log("The SQDatabase %@ is currently in use.", description());
}

// Result sets.

void SQDatabase::closeOpenResultSets() {
    auto keepAlive = weak_from_this().lock(); // detaching a set may drop the last other reference
    auto sets = openResultSets_;
    for (auto* rs : sets) {
        rs->setParentDB(nullptr);
        rs->close();
        std::erase(openResultSets_, rs);
    }
}

void SQDatabase::resultSetDidClose(SQResultSet* resultSet) {
    // Usually the most recent set: search from the back.
    auto it = std::find(openResultSets_.rbegin(), openResultSets_.rend(), resultSet);
    if (it != openResultSets_.rend()) openResultSets_.erase(std::next(it).base());
}

// Statement cache.

void SQDatabase::setShouldCacheStatements(bool value) {
    shouldCacheStatements_ = value;
    if (value && !cachedStatements_) cachedStatements_ = std::make_unique<CachedStatements>();
    // Dropped, not closed: a result set still reading from a cached statement keeps it until it closes.
    if (!value) cachedStatements_.reset();
    lastCacheEntry_ = nullptr;
}

SQDatabase::CachedStatements SQDatabase::cachedStatements() const {
    return cachedStatements_ ? *cachedStatements_ : CachedStatements{};
}

void SQDatabase::setCachedStatements(CachedStatements statements) {
    cachedStatements_ = std::make_unique<CachedStatements>(std::move(statements));
    lastCacheEntry_ = nullptr;
}

std::shared_ptr<SQStatement> SQDatabase::cachedStatementForQuery(std::string_view query) {
    const auto* found = findCachedStatement(query);
    return found ? *found : nullptr;
}

void SQDatabase::setCachedStatement(const std::shared_ptr<SQStatement>& statement, std::string_view query) {
    if (!statement) return;
    if (!cachedStatements_) cachedStatements_ = std::make_unique<CachedStatements>();
    if (statement->query() != query) statement->setQuery(std::string(query));
    auto it = cachedStatements_->find(query);
    if (it == cachedStatements_->end())
        it = cachedStatements_->emplace(std::string(query), decltype(it->second){}).first;
    if (std::find(it->second.begin(), it->second.end(), statement) == it->second.end())
        it->second.push_back(statement);
}

void SQDatabase::clearCachedStatements() {
    if (!cachedStatements_) return;
    for (auto& [query, statements] : *cachedStatements_)
        for (auto& statement : statements)
            statement->close();
    cachedStatements_->clear();
    lastCacheEntry_ = nullptr;
}

// Keys and dates.

bool SQDatabase::setKey(const std::string& key) {
    return setKeyWithData(foundation::Data(key.begin(), key.end()));
}
bool SQDatabase::rekey(const std::string& key) {
    return rekeyWithData(foundation::Data(key.begin(), key.end()));
}
bool SQDatabase::setKeyWithData(const foundation::Data&) {
    return false;
}
bool SQDatabase::rekeyWithData(const foundation::Data&) {
    return false;
}

std::optional<foundation::Date> SQDatabase::dateFromString(const std::string& s) const {
    return dateFormat_ ? dateFormat_->dateFromString(s) : std::nullopt;
}

std::optional<std::string> SQDatabase::stringFromDate(foundation::Date date) const {
    if (!dateFormat_) return std::nullopt;
    return dateFormat_->stringFromDate(date);
}

// Transactions and savepoints.

bool SQDatabase::beginTransaction() {
    bool ok = executeUpdate("begin exclusive transaction");
    if (ok) inTransaction_ = true;
    return ok;
}

bool SQDatabase::beginDeferredTransaction() {
    bool ok = executeUpdate("begin deferred transaction");
    if (ok) inTransaction_ = true;
    return ok;
}

bool SQDatabase::commit() {
    bool ok = executeUpdate("commit transaction");
    if (ok) inTransaction_ = false;
    return ok;
}

bool SQDatabase::rollback() {
    bool ok = executeUpdate("rollback transaction");
    if (ok) inTransaction_ = false;
    return ok;
}

bool SQDatabase::startSavePointWithName(const std::string& name, foundation::ErrorPtr* outErr) {
    bool ok = executeUpdate(foundation::format("savepoint '%@';", quotedName(name)));
    if (!ok && outErr) *outErr = lastError();
    return ok;
}

bool SQDatabase::releaseSavePointWithName(const std::string& name, foundation::ErrorPtr* outErr) {
    bool ok = executeUpdate(foundation::format("release savepoint '%@';", quotedName(name)));
    if (!ok && outErr) *outErr = lastError();
    return ok;
}

bool SQDatabase::rollbackToSavePointWithName(const std::string& name, foundation::ErrorPtr* outErr) {
    bool ok = executeUpdate(foundation::format("rollback transaction to savepoint '%@';", quotedName(name)));
    if (!ok && outErr) *outErr = lastError();
    return ok;
}

foundation::ErrorPtr SQDatabase::inSavePoint(const std::function<void(bool& rollback)>& block) {
    return inSavePointNamed(foundation::format("dbSavePoint%ld", gSavePointCounter.fetch_add(1)), block);
}

foundation::ErrorPtr SQDatabase::inSavePointNamed(const std::string& name,
                                                  const std::function<void(bool& rollback)>& block) {
    foundation::ErrorPtr error;
    if (!startSavePointWithName(name, &error)) return error;
    bool shouldRollback = false;
    try {
        if (block) block(shouldRollback);
    } catch (...) {
        // The block's work is unfinished: undo it and leave the savepoint before the exception goes on,
        // so the handle is not left inside it.
        rollbackToSavePointWithName(name);
        releaseSavePointWithName(name);
        throw;
    }
    if (shouldRollback) rollbackToSavePointWithName(name, &error);
    releaseSavePointWithName(name, &error);
    return error;
}

void SQDatabase::runTransaction(SQDatabase* db, bool deferred, const SQTransactionBlock& block) {
    bool shouldRollback = false;
    // A transaction that did not begin must not take writes: they would each commit at once, and a
    // roll-back asked for later could not undo them. The block learns of it by getting no handle.
    if (!db || !(deferred ? db->beginDeferredTransaction() : db->beginTransaction())) {
        if (block) block(nullptr, shouldRollback);
        return;
    }
    try {
        if (block) block(db, shouldRollback);
    } catch (...) {
        db->rollback(); // the block's work is unfinished: none of it stays
        throw;
    }
    if (shouldRollback) {
        db->rollback();
        return;
    }
    if (!db->commit()) {
        foundation::log("Could not commit the transaction (%d: %@)", db->lastErrorCode(),
                        db->lastErrorMessage());
        // SQLite keeps a transaction open after some failed commits (a busy database, say); the handle
        // goes back to its owner only once that is ended.
        if (db->sqliteHandle() && !sqlite3_get_autocommit(db->sqliteHandle())) {
            foundation::logMessage("Rolling the transaction back");
            db->rollback();
        }
    }
}

foundation::ErrorPtr SQDatabase::runSavePoint(SQDatabase* db, const std::string& name,
                                              const SQTransactionBlock& block,
                                              foundation::ErrorPtr noHandle) {
    if (!db) {
        // No savepoint could be started: the block does not run, and the caller is told why.
        if (noHandle) return noHandle;
        return foundation::Error::make(
            "SQDatabase", SQLITE_CANTOPEN,
            {{foundation::kLocalizedDescriptionKey, foundation::Value(sqlite3_errstr(SQLITE_CANTOPEN))}});
    }
    return db->inSavePointNamed(name, [&](bool& rollback) {
        if (block) block(db, rollback);
    });
}

// SQL functions.

namespace {
void functionTrampoline(sqlite3_context* context, int argc, sqlite3_value** argv) {
    auto* block = static_cast<SQFunctionBlock*>(sqlite3_user_data(context));
    (*block)(context, argc, argv);
}
} // namespace

void SQDatabase::makeFunctionNamed(const std::string& name, int maximumArguments, SQFunctionBlock block) {
    openFunctions_.push_back(std::make_unique<SQFunctionBlock>(std::move(block)));
    if (!db_) return;
    const int rc =
        sqlite3_create_function(db_, name.c_str(), maximumArguments, SQLITE_UTF8, openFunctions_.back().get(),
                                &functionTrampoline, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        // SQLite does not always leave a message on the connection for this: the code's own text.
        foundation::log("Error creating function %@ (%d: %s)", name, rc, sqlite3_errstr(rc));
        openFunctions_.pop_back(); // SQLite holds no pointer to a callback it refused
    }
}
