// Running SQL on an SQDatabase: the query and update workers, binding, the format forms and batches.
#include <climits>
#include <cstdlib>

#include "app/store/SQDatabase.h"
#include "platform/foundation/Log.h"

namespace {

// Clears the in-use guard when a worker returns, whichever way it returns.
struct InUseGuard {
    std::atomic<bool>& flag;
    ~InUseGuard() { flag.store(false, std::memory_order_release); }
};

} // namespace

int SQDatabase::bindArgument(const sqdetail::ArgRef& v, int idx, sqlite3_stmt* statement) const {
    using Kind = SQValue::Kind;
    switch (v.kind) {
    case Kind::Null:
        return sqlite3_bind_null(statement, idx);
    case Kind::Blob:
        // A null pointer would bind NULL: an empty buffer must stay a zero-length blob.
        return sqlite3_bind_blob64(statement, idx, v.p ? v.p : "", v.n, SQLITE_TRANSIENT);
    case Kind::Date:
        if (dateFormat_) {
            std::string text = dateFormat_->stringFromDate(foundation::Date{v.d});
            return sqlite3_bind_text64(statement, idx, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8);
        }
        return sqlite3_bind_double(statement, idx, v.d);
    case Kind::Int:
        return sqlite3_bind_int(statement, idx, int(v.i));
    case Kind::Int64:
        return sqlite3_bind_int64(statement, idx, v.i);
    case Kind::Double:
        return sqlite3_bind_double(statement, idx, v.d);
    case Kind::Text:
        if (v.object) {
            std::string text = v.object->description();
            return sqlite3_bind_text64(statement, idx, text.data(), text.size(), SQLITE_TRANSIENT,
                                       SQLITE_UTF8);
        }
        // Bound with its length, so text holding a NUL keeps every byte; SQLite takes its own copy.
        return sqlite3_bind_text64(statement, idx, v.p ? v.p : "", v.n, SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    return SQLITE_MISUSE;
}

int SQDatabase::bindObject(const SQValue& value, int idx, sqlite3_stmt* statement) const {
    return bindArgument(sqdetail::ref(value), idx, statement);
}

bool SQDatabase::prepare(std::string_view sql, const char* operation, foundation::ErrorPtr* outErr,
                         sqlite3_stmt*& pStmt, std::shared_ptr<SQStatement>& cached) {
    if (traceExecution_ && !sql.empty()) foundation::log("%@ %s: %@", description(), operation, sql);

    if (shouldCacheStatements_) {
        cached = cachedStatementForQuery(sql);
        if (cached) {
            if (!cached->rewound_) cached->reset();
            pStmt = cached->statement();
        }
    }
    if (!pStmt) {
        cached.reset();
        int rc = sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &pStmt, nullptr);
        if (rc != SQLITE_OK) {
            if (logsErrors_) {
                foundation::log("DB Error: %d \"%@\"", lastErrorCode(), lastErrorMessage());
                foundation::log("DB Query: %@", sql);
                foundation::log("DB Path: %@", databasePath_.value_or("(null)"));
            }
            if (crashOnErrors_) std::abort();
            if (outErr) *outErr = errorWithMessage(sqlite3_errmsg(db_));
            sqlite3_finalize(pStmt);
            pStmt = nullptr;
            return false;
        }
    }
    return true;
}

int SQDatabase::bindArguments(sqlite3_stmt* pStmt, int n, const ArgSource& args,
                              const SQParameterDictionary* dictionary, int& rc) {
    rc = SQLITE_OK;
    int count = 0;
    if (dictionary) {
        for (const auto& [key, value] : *dictionary) {
            std::string name = ":" + key;
            if (traceExecution_) foundation::log("%@ = %@", name, value.description());
            int idx = sqlite3_bind_parameter_index(pStmt, name.c_str());
            if (idx > 0) {
                if ((rc = bindObject(value, idx, pStmt)) != SQLITE_OK) return count;
                ++count;
            } else {
                foundation::log("Could not find index for %@", key);
            }
        }
        return count;
    }
    for (int idx = 0; idx < n && size_t(idx) < args.count; ++idx) {
        sqdetail::ArgRef value = args.at(size_t(idx));
        if (traceExecution_) {
            if (value.kind == SQValue::Kind::Blob)
                foundation::log("data: %ld bytes", long(value.n));
            else
                foundation::log("obj: %@", value.description());
        }
        if ((rc = bindArgument(value, idx + 1, pStmt)) != SQLITE_OK) return count;
        ++count;
    }
    return count;
}

bool SQDatabase::didBind(int rc, std::string_view sql, foundation::ErrorPtr* outErr) {
    if (rc == SQLITE_OK) return true;
    // The bind left its error on the connection, where lastError() and friends read it.
    if (logsErrors_) {
        foundation::log("DB Error: %d \"%@\"", lastErrorCode(), lastErrorMessage());
        foundation::log("DB Query: %@", sql);
    }
    if (outErr) *outErr = lastError();
    return false;
}

// Gives back a statement that will not run: a cached one stays cached, rewound; any other is finalized.
void SQDatabase::releaseUnrun(sqlite3_stmt* pStmt, const std::shared_ptr<SQStatement>& statement) {
    if (statement)
        statement->reset();
    else
        sqlite3_finalize(pStmt); // it never ran, so there is no error of a run to report
}

std::shared_ptr<SQResultSet>
SQDatabase::executeQueryWithArgumentsInArrayOrDictionaryOrVAList(std::string_view sql, const ArgSource& args,
                                                                 const SQParameterDictionary* dictionary) {
    if (!databaseExists()) return nullptr;
    if (isExecutingStatement_.exchange(true, std::memory_order_acquire)) {
        warnInUse();
        return nullptr;
    }
    InUseGuard guard{isExecutingStatement_};

    sqlite3_stmt* pStmt = nullptr;
    std::shared_ptr<SQStatement> statement;
    if (!prepare(sql, "executeQuery", nullptr, pStmt, statement)) return nullptr;

    int n = sqlite3_bind_parameter_count(pStmt);
    int bindRc;
    int count = bindArguments(pStmt, n, args, dictionary, bindRc);
    if (!didBind(bindRc, sql, nullptr)) {
        releaseUnrun(pStmt, statement);
        return nullptr;
    }
    if (count != n) {
        foundation::logMessage("Error: the bind count is not correct for the # of variables (executeQuery)");
        releaseUnrun(pStmt, statement);
        return nullptr;
    }
    if (!statement) {
        statement = adoptStatement(pStmt, sql);
        if (shouldCacheStatements_ && !sql.empty()) setCachedStatement(statement, sql);
    }
    auto rs = SQResultSet::resultSetWithStatement(statement, shared_from_this());
    openResultSets_.push_back(rs.get());
    statement->incrementUseCount();
    return rs;
}

bool SQDatabase::executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(
    std::string_view sql, foundation::ErrorPtr* outErr, const ArgSource& args,
    const SQParameterDictionary* dictionary) {
    if (!databaseExists()) return false;
    if (isExecutingStatement_.exchange(true, std::memory_order_acquire)) {
        warnInUse();
        return false;
    }
    InUseGuard guard{isExecutingStatement_};

    sqlite3_stmt* pStmt = nullptr;
    std::shared_ptr<SQStatement> statement;
    if (!prepare(sql, "executeUpdate", outErr, pStmt, statement)) return false;

    int n = sqlite3_bind_parameter_count(pStmt);
    int bindRc;
    int count = bindArguments(pStmt, n, args, dictionary, bindRc);
    if (!didBind(bindRc, sql, outErr)) {
        releaseUnrun(pStmt, statement);
        return false;
    }
    if (count != n) {
        foundation::log(
            "Error: the bind count (%d) is not correct for the # of variables in the query (%d) (%@) "
            "(executeUpdate)",
            count, n, sql);
        releaseUnrun(pStmt, statement);
        return false;
    }

    int rc = sqlite3_step(pStmt);
    if (rc != SQLITE_DONE && logsErrors_) {
        const char* message = sqlite3_errmsg(db_);
        if (rc == SQLITE_MISUSE)
            foundation::log("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", rc, message);
        else if (rc == SQLITE_ERROR)
            foundation::log("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", rc, message);
        else
            foundation::log("Unknown error calling sqlite3_step (%d: %s) eu", rc, message);
        foundation::log("DB Query: %@", sql);
    }

    if (shouldCacheStatements_ && !statement && pStmt) {
        statement = adoptStatement(pStmt, sql);
        setCachedStatement(statement, sql);
    }
    int closeRc;
    if (statement) {
        statement->incrementUseCount();
        closeRc = sqlite3_reset(pStmt);
        statement->rewound_ = true;
    } else {
        closeRc = sqlite3_finalize(pStmt);
    }
    if (closeRc != SQLITE_OK && logsErrors_) {
        foundation::log("Unknown error finalizing or resetting statement (%d: %s)", closeRc,
                        sqlite3_errmsg(db_));
        foundation::log("DB Query: %@", sql);
    }
    return rc == SQLITE_DONE || rc == SQLITE_OK;
}

// The array and map forms.

std::shared_ptr<SQResultSet>
SQDatabase::executeQueryWithArgumentsInArray(std::string_view sql, const std::vector<SQValue>& arguments) {
    return executeQueryWithArgumentsInArrayOrDictionaryOrVAList(
        sql, {nullptr, arguments.data(), arguments.size()}, nullptr);
}

std::shared_ptr<SQResultSet>
SQDatabase::executeQueryWithParameterDictionary(std::string_view sql,
                                                const SQParameterDictionary& arguments) {
    return executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, {}, &arguments);
}

std::shared_ptr<SQResultSet>
SQDatabase::executeQueryWithParameterDictionary(std::string_view sql,
                                                const foundation::Dictionary& arguments) {
    return executeQueryWithParameterDictionary(sql,
                                               SQParameterDictionary(arguments.begin(), arguments.end()));
}

bool SQDatabase::executeUpdateWithArgumentsInArray(std::string_view sql,
                                                   const std::vector<SQValue>& arguments) {
    return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(
        sql, nullptr, {nullptr, arguments.data(), arguments.size()}, nullptr);
}

bool SQDatabase::executeUpdateWithParameterDictionary(std::string_view sql,
                                                      const SQParameterDictionary& arguments) {
    return executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(sql, nullptr, {}, &arguments);
}

bool SQDatabase::executeUpdateWithParameterDictionary(std::string_view sql,
                                                      const foundation::Dictionary& arguments) {
    return executeUpdateWithParameterDictionary(sql,
                                                SQParameterDictionary(arguments.begin(), arguments.end()));
}

// The format forms: printf placeholders become bound parameters, never pasted text.

void SQDatabase::extractSQL(std::string_view format, std::span<const SQValue> args, std::string& sql,
                            std::vector<SQValue>& values) const {
    size_t next = 0;
    auto take = [&]() -> const SQValue* { return next < args.size() ? &args[next++] : nullptr; };
    auto follows = [&](size_t i, std::string_view letters) {
        return i < format.size() && letters.find(format[i]) != std::string_view::npos;
    };
    bool afterPercent = false;
    sql.reserve(sql.size() + format.size());
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (!afterPercent) {
            if (c == '%')
                afterPercent = true;
            else
                sql += c;
            continue;
        }
        // A conversion ends here: whatever follows is plain text again, so "%%d" is "%" then "d".
        afterPercent = false;
        std::optional<SQValue> value;
        const SQValue* arg = nullptr;
        switch (c) {
        case '@':
            if ((arg = take()) && !arg->isNull()) value = *arg;
            break;
        case 'c':
            if ((arg = take()) && !arg->isNull()) {
                char ch = arg->kind() == SQValue::Kind::Text ? (arg->bytes().empty() ? '\0' : arg->bytes()[0])
                                                             : char(arg->int64Value());
                value = SQValue(std::string(1, ch));
            }
            break;
        case 's':
            if ((arg = take()) && !arg->isNull()) value = SQValue(arg->textValue());
            break;
        case 'd':
        case 'D':
        case 'i':
            if ((arg = take()) && !arg->isNull()) value = SQValue(int(arg->int64Value()));
            break;
        case 'u':
        case 'U':
            if ((arg = take()) && !arg->isNull()) value = SQValue(unsigned(arg->int64Value()));
            break;
        case 'f':
            if ((arg = take()) && !arg->isNull()) value = SQValue(arg->doubleValue());
            break;
        case 'g':
            if ((arg = take()) && !arg->isNull()) value = SQValue(float(arg->doubleValue()));
            break;
        case 'h':
            if (follows(i + 1, "iu")) {
                bool isSigned = format[++i] == 'i';
                if ((arg = take()) && !arg->isNull())
                    value = isSigned ? SQValue(short(arg->int64Value()))
                                     : SQValue((unsigned short)arg->int64Value());
            }
            break;
        case 'q':
            if (follows(i + 1, "iu")) {
                bool isSigned = format[++i] == 'i';
                if ((arg = take()) && !arg->isNull())
                    value = isSigned ? SQValue((long long)arg->int64Value())
                                     : SQValue((unsigned long long)arg->int64Value());
            }
            break;
        case 'l':
            if (follows(i + 1, "du")) {
                bool isSigned = format[++i] == 'd';
                if ((arg = take()) && !arg->isNull())
                    value = isSigned ? SQValue(long(arg->int64Value()))
                                     : SQValue((unsigned long)arg->int64Value());
            } else if (follows(i + 1, "l")) {
                ++i; // the second "l" is dropped either way
                if (follows(i + 1, "du")) {
                    bool isSigned = format[++i] == 'd';
                    if ((arg = take()) && !arg->isNull())
                        value = isSigned ? SQValue((long long)arg->int64Value())
                                         : SQValue((unsigned long long)arg->int64Value());
                }
            }
            break;
        default:
            break;
        }
        if (value) {
            sql += '?';
            values.push_back(std::move(*value));
        } else if (c == '@') {
            sql += "NULL";
        } else {
            sql += c;
        }
    }
}

// Batches.

namespace {

int batchRowTrampoline(void* context, int columns, char** values, char** names) {
    auto* block = static_cast<const SQExecuteStatementsCallbackBlock*>(context);
    foundation::Dictionary row;
    for (int i = 0; i < columns; ++i)
        row[names[i] ? names[i] : ""] = values[i] ? foundation::Value(values[i]) : foundation::Value();
    return (*block)(row);
}

} // namespace

bool SQDatabase::executeStatements(const std::string& sql) {
    return executeStatementsWithResultBlock(sql, nullptr);
}

bool SQDatabase::executeStatementsWithResultBlock(const std::string& sql,
                                                  const SQExecuteStatementsCallbackBlock& block) {
    if (!db_) return false;
    char* errorMessage = nullptr;
    int rc =
        sqlite3_exec(db_, sql.c_str(), block ? &batchRowTrampoline : nullptr,
                     block ? const_cast<SQExecuteStatementsCallbackBlock*>(&block) : nullptr, &errorMessage);
    if (errorMessage && logsErrors_) foundation::log("Error inserting batch: %s", errorMessage);
    sqlite3_free(errorMessage);
    return rc == SQLITE_OK;
}
