#pragma once
// One SQLite connection as an object: open/close, statements with bound "?" or ":name" parameters,
// rows through SQResultSet, transactions and savepoints, an optional statement cache, a bounded busy
// wait, and SQL functions backed by callbacks. Failures come back as results (none, false, 0) and log
// lines; nothing throws. A handle is used from one thread at a time.
//
//   auto db = SQDatabase::databaseWithPath(path);
//   if (db->open()) {
//       db->executeUpdate("INSERT INTO t (name, n) VALUES (?, ?)", name, 3);
//       if (auto rs = db->executeQuery("SELECT name FROM t WHERE n = ?", 3))
//           while (rs->next()) use(rs->stringForColumn("name"));
//       db->close();
//   }
#include <sqlite3.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/sqlite/DateFormatter.h"
#include "platform/sqlite/SQResultSet.h"
#include "platform/sqlite/SQStatement.h"
#include "platform/sqlite/SQValue.h"

class SQDatabase;

// A row of a statement batch: column name to text (null value for NULL); a nonzero result stops the batch.
using SQExecuteStatementsCallbackBlock = std::function<int(const foundation::Dictionary& resultsDictionary)>;
// Sets the SQL function's result through SQLite itself (sqlite3_result_*).
using SQFunctionBlock = std::function<void(sqlite3_context* context, int argc, sqlite3_value** argv)>;
// Work handed to a queue or a pool: the handle is lent for the call only (null when none could be had).
using SQDatabaseBlock = std::function<void(SQDatabase* db)>;
// Transaction and savepoint work; setting the flag rolls the work back.
using SQTransactionBlock = std::function<void(SQDatabase* db, bool& rollback)>;

class SQDatabase : public std::enable_shared_from_this<SQDatabase> {
    struct Private {};

    struct QueryHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };

  public:
    // Busy waits are measured on a clock that wall-clock changes cannot move.
    using BusyClock = std::chrono::steady_clock;
    using CachedStatements = std::unordered_map<std::string, std::vector<std::shared_ptr<SQStatement>>,
                                                QueryHash, std::equal_to<>>;

    // No path: a private in-memory database; an empty path: SQLite's private temporary file.
    static std::shared_ptr<SQDatabase> databaseWithPath(std::optional<std::string> path = std::nullopt);
    SQDatabase(Private, std::optional<std::string> path);
    ~SQDatabase();
    SQDatabase(const SQDatabase&) = delete;
    SQDatabase& operator=(const SQDatabase&) = delete;

    static std::string SQDBUserVersion();
    static int SQDBVersion();
    static std::string sqliteLibVersion();
    static bool isSQLiteThreadSafe();
    static std::shared_ptr<sqlite::DateFormatter> storeableDateFormat(const std::string& format);

    sqlite3* sqliteHandle() const { return db_; }
    const std::optional<std::string>& databasePath() const { return databasePath_; }
    std::string sqlitePath() const;
    std::string description() const;

    // Opening and closing. A failed open releases the connection and leaves the handle closed.
    bool open();
    bool openWithFlags(int flags, const std::optional<std::string>& vfsName = std::nullopt);
    bool close();
    bool goodConnection();
    bool databaseExists() const;

    // Busy handling: retries for up to the interval (seconds) while another connection holds the file.
    void setMaxBusyRetryTimeInterval(double timeout);
    double maxBusyRetryTimeInterval() const { return maxBusyRetryTimeInterval_; }
    int busyRetryTimeout();
    void setBusyRetryTimeout(int timeout);

    // Errors and counts.
    std::string lastErrorMessage() const;
    int lastErrorCode() const;
    // The system's errno behind the last failed open or I/O (SQLITE_CANTOPEN, SQLITE_IOERR); stale
    // after other errors.
    int lastSystemErrorCode() const;
    bool hadError() const;
    foundation::ErrorPtr errorWithMessage(const std::string& message) const;
    foundation::ErrorPtr lastError() const;
    int64_t lastInsertRowId();
    int changes();
    void warnInUse() const;

    // Result sets made by this handle and not yet closed (not owned).
    bool hasOpenResultSets() const { return !openResultSets_.empty(); }
    void closeOpenResultSets();
    void resultSetDidClose(SQResultSet* resultSet);

    // Statement cache (off by default).
    bool shouldCacheStatements() const { return shouldCacheStatements_; }
    void setShouldCacheStatements(bool value);
    CachedStatements cachedStatements() const;
    void setCachedStatements(CachedStatements statements);
    std::shared_ptr<SQStatement> cachedStatementForQuery(std::string_view query);
    void setCachedStatement(const std::shared_ptr<SQStatement>& statement, std::string_view query);
    void clearCachedStatements();

    // The SQLite build offers no encryption: these all fail.
    bool setKey(const std::string& key);
    bool rekey(const std::string& key);
    bool setKeyWithData(const foundation::Data& keyData);
    bool rekeyWithData(const foundation::Data& keyData);

    // With a date formatter, dates are stored and read as its text; otherwise as seconds since 1970.
    void setDateFormat(std::shared_ptr<sqlite::DateFormatter> format) { dateFormat_ = std::move(format); }
    bool hasDateFormatter() const { return dateFormat_ != nullptr; }
    std::optional<foundation::Date> dateFromString(const std::string& s) const;
    std::optional<std::string> stringFromDate(foundation::Date date) const;

    // Queries. One value per parameter, in order; extra values are ignored, missing ones refuse the call.
    template <class... Args>
    std::shared_ptr<SQResultSet> executeQuery(std::string_view sql, const Args&... args) {
        std::array<sqdetail::ArgRef, sizeof...(Args)> refs{sqdetail::ref(args)...};
        return executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, {refs.data(), nullptr, refs.size()},
                                                                    nullptr);
    }
    std::shared_ptr<SQResultSet> executeQueryWithArgumentsInArray(std::string_view sql,
                                                                  const std::vector<SQValue>& arguments);
    std::shared_ptr<SQResultSet> executeQueryWithParameterDictionary(std::string_view sql,
                                                                     const SQParameterDictionary& arguments);
    std::shared_ptr<SQResultSet> executeQueryWithParameterDictionary(std::string_view sql,
                                                                     const foundation::Dictionary& arguments);
    // printf-style: each placeholder becomes a bound "?", never pasted text (see extractSQL).
    template <class... Args>
    std::shared_ptr<SQResultSet> executeQueryWithFormat(std::string_view format, const Args&... args) {
        std::vector<SQValue> list{SQValue(args)...};
        std::string sql;
        std::vector<SQValue> values;
        extractSQL(format, list, sql, values);
        return executeQueryWithArgumentsInArray(sql, values);
    }

    // Updates: true when the statement ran to completion.
    template <class... Args> bool executeUpdate(std::string_view sql, const Args&... args) {
        std::array<sqdetail::ArgRef, sizeof...(Args)> refs{sqdetail::ref(args)...};
        return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(
            sql, nullptr, {refs.data(), nullptr, refs.size()}, nullptr);
    }
    bool executeUpdateWithArgumentsInArray(std::string_view sql, const std::vector<SQValue>& arguments);
    bool executeUpdateWithParameterDictionary(std::string_view sql, const SQParameterDictionary& arguments);
    bool executeUpdateWithParameterDictionary(std::string_view sql, const foundation::Dictionary& arguments);
    template <class... Args> bool executeUpdateWithFormat(std::string_view format, const Args&... args) {
        std::vector<SQValue> list{SQValue(args)...};
        std::string sql;
        std::vector<SQValue> values;
        extractSQL(format, list, sql, values);
        return executeUpdateWithArgumentsInArray(sql, values);
    }
    // The error is set when the SQL does not prepare or a value does not bind; after a failed step read
    // lastError().
    template <class... Args>
    bool executeUpdateWithErrorAndBindings(std::string_view sql, foundation::ErrorPtr* outErr,
                                           const Args&... args) {
        std::array<sqdetail::ArgRef, sizeof...(Args)> refs{sqdetail::ref(args)...};
        return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(
            sql, outErr, {refs.data(), nullptr, refs.size()}, nullptr);
    }
    template <class... Args>
    bool update(std::string_view sql, foundation::ErrorPtr* outErr, const Args&... args) {
        return executeUpdateWithErrorAndBindings(sql, outErr, args...);
    }

    // Several statements in one text, run by sqlite3_exec.
    bool executeStatements(const std::string& sql);
    bool executeStatementsWithResultBlock(const std::string& sql,
                                          const SQExecuteStatementsCallbackBlock& block);

    // Rewrites a format into SQL with "?" for each value-producing placeholder plus those values.
    void extractSQL(std::string_view format, std::span<const SQValue> args, std::string& sql,
                    std::vector<SQValue>& values) const;
    // Binds one value at a 1-based parameter index; text and blobs are copied by SQLite.
    int bindObject(const SQValue& value, int idx, sqlite3_stmt* statement) const;

    // Transactions and savepoints.
    bool beginTransaction();
    bool beginDeferredTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return inTransaction_; }
    bool startSavePointWithName(const std::string& name, foundation::ErrorPtr* outErr = nullptr);
    bool releaseSavePointWithName(const std::string& name, foundation::ErrorPtr* outErr = nullptr);
    bool rollbackToSavePointWithName(const std::string& name, foundation::ErrorPtr* outErr = nullptr);
    // Runs the block inside a fresh savepoint; setting the flag rolls its work back.
    foundation::ErrorPtr inSavePoint(const std::function<void(bool& rollback)>& block);

    // SQL functions: the callback lives as long as the handle.
    void makeFunctionNamed(const std::string& name, int maximumArguments, SQFunctionBlock block);

    // One-value queries: column 0 of the first row; no row gives none (or 0). The result set is closed
    // before they return. (SQDatabaseAdditions.cpp)
    template <class... Args>
    std::optional<std::string> stringForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::stringForColumnIndex, std::optional<std::string>(), args...);
    }
    template <class... Args> int intForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::intForColumnIndex, 0, args...);
    }
    template <class... Args> int64_t longForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::longForColumnIndex, int64_t(0), args...);
    }
    template <class... Args> bool boolForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::boolForColumnIndex, false, args...);
    }
    template <class... Args> double doubleForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::doubleForColumnIndex, 0.0, args...);
    }
    template <class... Args>
    std::optional<foundation::Data> dataForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::dataForColumnIndex, std::optional<foundation::Data>(), args...);
    }
    template <class... Args>
    std::optional<foundation::Date> dateForQuery(std::string_view sql, const Args&... args) {
        return firstValue(sql, &SQResultSet::dateForColumnIndex, std::optional<foundation::Date>(), args...);
    }

    // Schema. Table and column names compare without regard to ASCII case.
    bool tableExists(std::string_view tableName);
    std::shared_ptr<SQResultSet> getSchema();
    // The rows of "pragma table_info" for the table (cid, name, type, notnull, dflt_value, pk).
    std::shared_ptr<SQResultSet> getTableSchema(std::string_view tableName);
    bool columnExistsInTableWithName(std::string_view columnName, std::string_view tableName);
    // The same test, table first.
    bool columnExistsColumnName(std::string_view tableName, std::string_view columnName);

    // The file's "user_version" and "application_id" header fields.
    uint32_t userVersion();
    void setUserVersion(uint32_t version);
    uint32_t applicationID();
    void setApplicationID(uint32_t appID);

    // Whether the SQL prepares; nothing runs. The error is in the Cocoa domain with SQLite's code.
    bool validateSQL(std::string_view sql, foundation::ErrorPtr* error = nullptr);

    // Switches.
    bool logsErrors() const { return logsErrors_; }
    void setLogsErrors(bool v) { logsErrors_ = v; }
    bool crashOnErrors() const { return crashOnErrors_; }
    void setCrashOnErrors(bool v) { crashOnErrors_ = v; }
    bool traceExecution() const { return traceExecution_; }
    void setTraceExecution(bool v) { traceExecution_ = v; }
    bool checkedOut() const { return checkedOut_; }
    void setCheckedOut(bool v) { checkedOut_ = v; }

  private:
    friend class SQStatement;
    friend class SQDatabaseQueue;
    friend class SQDatabasePool;

    // The first row of a query, or null (no row, or the query failed).
    std::shared_ptr<SQResultSet> firstRow(std::string_view sql, const sqdetail::ArgSource& args);
    template <class T, class... Args>
    T firstValue(std::string_view sql, T (SQResultSet::*read)(int) const, T none, const Args&... args) {
        std::array<sqdetail::ArgRef, sizeof...(Args)> refs{sqdetail::ref(args)...};
        auto rs = firstRow(sql, {refs.data(), nullptr, refs.size()});
        if (!rs) return none;
        T value = ((*rs).*read)(0);
        rs->close();
        return value;
    }
    // Runs a pragma that sets a value: a query stepped once.
    void runPragma(const std::string& sql);
    // The savepoint steps under a name the caller chose (queues and pools name their own).
    foundation::ErrorPtr inSavePointNamed(const std::string& name,
                                          const std::function<void(bool& rollback)>& block);
    // The transaction and savepoint forms of queues and pools, on the handle they lent (or none).
    // Without a handle the savepoint form gives `noHandle`, or SQLite's "cannot open" error.
    static void runTransaction(SQDatabase* db, bool deferred, const SQTransactionBlock& block);
    static foundation::ErrorPtr runSavePoint(SQDatabase* db, const std::string& name,
                                             const SQTransactionBlock& block,
                                             foundation::ErrorPtr noHandle = nullptr);
    using ArgSource = sqdetail::ArgSource;

    std::shared_ptr<SQResultSet>
    executeQueryWithArgumentsInArrayOrDictionaryOrVAList(std::string_view sql, const ArgSource& args,
                                                         const SQParameterDictionary* dictionary);
    bool executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(std::string_view sql,
                                                                    foundation::ErrorPtr* outErr,
                                                                    const ArgSource& args,
                                                                    const SQParameterDictionary* dictionary);
    // Shared by both workers: take the statement from the cache or prepare it; false after a failure.
    bool prepare(std::string_view sql, const char* operation, foundation::ErrorPtr* outErr,
                 sqlite3_stmt*& pStmt, const std::shared_ptr<SQStatement>*& cached);
    // The cache's own entry for a free statement of that SQL, or null. (Here, as every statement asks.)
    const std::shared_ptr<SQStatement>* findCachedStatement(std::string_view query) {
        if (!cachedStatements_) return nullptr;
        // Loops run one SQL text again and again: compare with the last one found before hashing.
        if (!lastCacheEntry_ || lastCacheEntry_->first != query) {
            auto it = cachedStatements_->find(query);
            if (it == cachedStatements_->end()) return nullptr;
            lastCacheEntry_ = &*it;
        }
        for (const auto& statement : lastCacheEntry_->second)
            if (!statement->inUse()) return &statement;
        return nullptr;
    }
    // Binds the values of the one source given; returns how many were bound. Stops at the first value
    // SQLite refuses, with its code in `rc`.
    int bindArguments(sqlite3_stmt* pStmt, int n, const ArgSource& args,
                      const SQParameterDictionary* dictionary, bool copyBytes, int& rc);
    // False (logged, and stored in outErr when given) after a refused bind.
    bool didBind(int rc, std::string_view sql, foundation::ErrorPtr* outErr);
    static void releaseUnrun(sqlite3_stmt* pStmt, const std::shared_ptr<SQStatement>* statement);
    // copyBytes false: SQLite reads text and blobs in place, so they must live until the statement is
    // rewound or finalized.
    int bindArgument(const sqdetail::ArgRef& value, int idx, sqlite3_stmt* statement, bool copyBytes) const;
    std::shared_ptr<SQStatement> adoptStatement(sqlite3_stmt* pStmt, std::string_view sql);
    void statementDidClose(SQStatement* statement);
    bool didOpen(int rc, sqlite3* db);
    static int busyHandler(void* context, int count);

    sqlite3* db_ = nullptr;
    std::optional<std::string> databasePath_;
    bool logsErrors_ = true;
    bool crashOnErrors_ = false;
    bool traceExecution_ = false;
    bool checkedOut_ = false;
    bool shouldCacheStatements_ = false;
    std::atomic<bool> isExecutingStatement_{false};
    bool inTransaction_ = false;
    double maxBusyRetryTimeInterval_ = 2.0;
    BusyClock::time_point startBusyRetryTime_{};
    std::unique_ptr<CachedStatements> cachedStatements_;
    CachedStatements::value_type* lastCacheEntry_ = nullptr; // stays valid until an entry is erased
    std::vector<SQResultSet*> openResultSets_;
    std::vector<std::unique_ptr<SQFunctionBlock>> openFunctions_;
    std::shared_ptr<sqlite::DateFormatter> dateFormat_;
    // Prepared statements of this connection still owned by statement objects (see SQStatement::owner_).
    std::vector<SQStatement*> liveStatements_;
    // Why the last open failed, reported while the handle is closed.
    int openErrorCode_ = 0;
    int openSystemErrorCode_ = 0;
    std::string openErrorMessage_;
};
