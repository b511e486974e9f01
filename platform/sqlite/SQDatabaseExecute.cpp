// Running SQL on an SQDatabase: the query and update workers, binding, the format forms and batches.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace {

// Clears the in-use guard when a worker returns, whichever way it returns.
struct InUseGuard {
    std::atomic<bool>& flag;
    ~InUseGuard() { flag.store(false, std::memory_order_relaxed); }
};

} // namespace

// Values that bind as text made for the occasion: a date with a formatter, an array or dictionary.
[[gnu::cold]] [[gnu::noinline]] static int bindMadeText(const std::string& text, int idx,
                                                        sqlite3_stmt* statement) {
    return sqlite3_bind_text64(statement, idx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

[[gnu::always_inline]] inline int SQDatabase::bindArgument(const sqdetail::ArgRef& v, int idx,
                                                           sqlite3_stmt* statement, bool copyBytes) const {
    using Kind = SQValue::Kind;
    // An update steps and rewinds its statement before it returns, while the caller's values still live:
    // SQLite may read their bytes in place. A query's rows are read later, so SQLite keeps a copy.
    const auto lifetime = copyBytes ? SQLITE_TRANSIENT : SQLITE_STATIC;
    switch (v.kind) {
    case Kind::Null:
        return sqlite3_bind_null(statement, idx);
    case Kind::Blob:
        // A null pointer would bind NULL: an empty buffer must stay a zero-length blob.
        return sqlite3_bind_blob64(statement, idx, v.p ? v.p : "", v.n, lifetime);
    case Kind::Date:
        if (dateFormat_)
            return bindMadeText(dateFormat_->stringFromDate(foundation::Date{v.d}), idx, statement);
        return sqlite3_bind_double(statement, idx, v.d);
    case Kind::Int:
        return sqlite3_bind_int(statement, idx, int(v.i));
    case Kind::Int64:
        return sqlite3_bind_int64(statement, idx, v.i);
    case Kind::Double:
        return sqlite3_bind_double(statement, idx, v.d);
    case Kind::Text:
        if (v.object) return bindMadeText(v.object->description(), idx, statement);
        // Bound with its length, so text holding a NUL keeps every byte.
        return sqlite3_bind_text64(statement, idx, v.p ? v.p : "", v.n, lifetime, SQLITE_UTF8);
    }
    return SQLITE_MISUSE;
}

int SQDatabase::bindObject(const SQValue& value, int idx, sqlite3_stmt* statement) const {
    return bindArgument(sqdetail::ref(value), idx, statement, true);
}

[[gnu::always_inline]] inline bool SQDatabase::prepare(std::string_view sql, const char* operation,
                                                       foundation::ErrorPtr* outErr, sqlite3_stmt*& pStmt,
                                                       const std::shared_ptr<SQStatement>*& cached) {
    if (traceExecution_ && !sql.empty()) foundation::log("%@ %s: %@", description(), operation, sql);

    if (shouldCacheStatements_) {
        cached = findCachedStatement(sql);
        if (cached) {
            if (!(*cached)->rewound_) (*cached)->reset();
            pStmt = (*cached)->statement();
        }
    }
    if (!pStmt) {
        cached = nullptr;
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

[[gnu::always_inline]] inline int SQDatabase::bindArguments(sqlite3_stmt* pStmt, int n, const ArgSource& args,
                                                            const SQParameterDictionary* dictionary,
                                                            bool copyBytes, int& rc) {
    rc = SQLITE_OK;
    int count = 0;
    if (dictionary) {
        for (const auto& [key, value] : *dictionary) {
            std::string name = ":" + key;
            if (traceExecution_) foundation::log("%@ = %@", name, value.description());
            int idx = sqlite3_bind_parameter_index(pStmt, name.c_str());
            if (idx > 0) {
                if ((rc = bindArgument(sqdetail::ref(value), idx, pStmt, copyBytes)) != SQLITE_OK)
                    return count;
                ++count;
            } else {
                foundation::log("Could not find index for %@", key);
            }
        }
        return count;
    }
    const int limit = int(std::min(size_t(std::max(n, 0)), args.count));
    if (traceExecution_) {
        for (int idx = 0; idx < limit; ++idx) {
            sqdetail::ArgRef value = args.at(size_t(idx));
            if (value.kind == SQValue::Kind::Blob)
                foundation::log("data: %ld bytes", long(value.n));
            else
                foundation::log("obj: %@", value.description());
        }
    }
    // Every statement binds here: the two sources get a loop each, so neither pays for the other.
    if (args.refs) {
        for (; count < limit; ++count)
            if ((rc = bindArgument(args.refs[count], count + 1, pStmt, copyBytes)) != SQLITE_OK) return count;
    } else {
        for (; count < limit; ++count)
            if ((rc = bindArgument(sqdetail::ref(args.values[count]), count + 1, pStmt, copyBytes)) !=
                SQLITE_OK)
                return count;
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
void SQDatabase::releaseUnrun(sqlite3_stmt* pStmt, const std::shared_ptr<SQStatement>* statement) {
    if (statement)
        (*statement)->reset();
    else
        sqlite3_finalize(pStmt); // it never ran, so there is no error of a run to report
}

std::shared_ptr<SQResultSet>
SQDatabase::executeQueryWithArgumentsInArrayOrDictionaryOrVAList(std::string_view sql, const ArgSource& args,
                                                                 const SQParameterDictionary* dictionary) {
    if (!db_) {
        databaseExists(); // logs that the handle is closed
        return nullptr;
    }
    if (isExecutingStatement_.load(std::memory_order_relaxed)) {
        warnInUse();
        return nullptr;
    }
    isExecutingStatement_.store(true, std::memory_order_relaxed);
    InUseGuard guard{isExecutingStatement_};

    sqlite3_stmt* pStmt = nullptr;
    // Points into the cache, which nothing changes before this call returns: no reference is taken.
    const std::shared_ptr<SQStatement>* statement = nullptr;
    if (!prepare(sql, "executeQuery", nullptr, pStmt, statement)) return nullptr;

    int n = sqlite3_bind_parameter_count(pStmt);
    int bindRc;
    int count = bindArguments(pStmt, n, args, dictionary, true, bindRc);
    if (bindRc != SQLITE_OK && !didBind(bindRc, sql, nullptr)) {
        releaseUnrun(pStmt, statement);
        return nullptr;
    }
    if (count != n) {
        foundation::logMessage("Error: the bind count is not correct for the # of variables (executeQuery)");
        releaseUnrun(pStmt, statement);
        return nullptr;
    }
    std::shared_ptr<SQStatement> owned = statement ? *statement : adoptStatement(pStmt, sql);
    if (!statement && shouldCacheStatements_ && !sql.empty()) setCachedStatement(owned, sql);
    owned->incrementUseCount();
    auto rs = SQResultSet::resultSetWithStatement(std::move(owned), shared_from_this());
    openResultSets_.push_back(rs.get());
    return rs;
}

bool SQDatabase::executeUpdateErrorWithArgumentsInArrayOrDictionaryOrVAList(
    std::string_view sql, foundation::ErrorPtr* outErr, const ArgSource& args,
    const SQParameterDictionary* dictionary) {
    if (!db_) {
        databaseExists(); // logs that the handle is closed
        return false;
    }
    if (isExecutingStatement_.load(std::memory_order_relaxed)) {
        warnInUse();
        return false;
    }
    isExecutingStatement_.store(true, std::memory_order_relaxed);
    InUseGuard guard{isExecutingStatement_};

    sqlite3_stmt* pStmt = nullptr;
    const std::shared_ptr<SQStatement>* statement = nullptr; // into the cache, as in the query worker
    if (!prepare(sql, "executeUpdate", outErr, pStmt, statement)) return false;

    int n = sqlite3_bind_parameter_count(pStmt);
    int bindRc;
    // Every parameter is bound again before any later run, so the bytes left bound after the rewind below
    // are never read.
    int count = bindArguments(pStmt, n, args, dictionary, false, bindRc);
    if (bindRc != SQLITE_OK && !didBind(bindRc, sql, outErr)) {
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

    SQStatement* kept = statement ? statement->get() : nullptr;
    if (shouldCacheStatements_ && !kept && pStmt) {
        auto adopted = adoptStatement(pStmt, sql);
        setCachedStatement(adopted, sql);
        kept = adopted.get(); // the cache holds it now
    }
    int closeRc;
    if (kept) {
        kept->incrementUseCount();
        closeRc = sqlite3_reset(pStmt);
        kept->rewound_ = true;
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

namespace {

// The arguments of a format, taken in order by the conversions that use one.
class FormatArguments {
  public:
    explicit FormatArguments(std::span<const SQValue> args) : args_(args) {}
    // Uses up the next argument; null when it is nil or none is left.
    const SQValue* take() {
        const SQValue* arg = next_ < args_.size() ? &args_[next_++] : nullptr;
        return arg && !arg->isNull() ? arg : nullptr;
    }

  private:
    std::span<const SQValue> args_;
    size_t next_ = 0;
};

// What one conversion read: the letters it used past its first, and the value it binds, if any.
struct Conversion {
    size_t extraLetters = 0;
    std::optional<SQValue> value;
};

bool takesArgument(char letter) {
    return std::string_view("@csdDiuUfg").find(letter) != std::string_view::npos;
}

// The value of a one-letter conversion.
SQValue plainValue(char letter, const SQValue& arg) {
    switch (letter) {
    case 'c': {
        const char ch = arg.kind() == SQValue::Kind::Text ? (arg.bytes().empty() ? '\0' : arg.bytes()[0])
                                                          : char(arg.int64Value());
        return SQValue(std::string(1, ch));
    }
    case 's':
        return SQValue(arg.textValue());
    case 'd':
    case 'D':
    case 'i':
        return SQValue(int(arg.int64Value()));
    case 'u':
    case 'U':
        return SQValue(unsigned(arg.int64Value()));
    case 'f':
        return SQValue(arg.doubleValue());
    case 'g':
        return SQValue(float(arg.doubleValue()));
    default: // '@'
        return arg;
    }
}

// The integer a length modifier asks for: "h" short, "l" long, "q" and "ll" long long.
enum class Width { Short, Long, LongLong };

SQValue sizedValue(Width width, bool isSigned, const SQValue& arg) {
    switch (width) {
    case Width::Short:
        return isSigned ? SQValue(short(arg.int64Value())) : SQValue((unsigned short)arg.int64Value());
    case Width::Long:
        return isSigned ? SQValue(long(arg.int64Value())) : SQValue((unsigned long)arg.int64Value());
    case Width::LongLong:
        break;
    }
    return isSigned ? SQValue((long long)arg.int64Value()) : SQValue((unsigned long long)arg.int64Value());
}

// A length modifier at `at` ("h", "q", "l" or "ll") and the letter that ends it; without that letter it
// binds nothing, and the second "l" is dropped either way.
Conversion readSizedConversion(std::string_view format, size_t at, FormatArguments& arguments) {
    auto follows = [&](size_t i, std::string_view letters) {
        return i < format.size() && letters.find(format[i]) != std::string_view::npos;
    };
    size_t modifier = 1;
    Width width = Width::Long;
    std::string_view ends = "du"; // the signed letter first
    if (format[at] == 'h' || format[at] == 'q') {
        width = format[at] == 'h' ? Width::Short : Width::LongLong;
        ends = "iu";
    } else if (!follows(at + 1, ends) && follows(at + 1, "l")) {
        modifier = 2;
        width = Width::LongLong;
    }
    if (!follows(at + modifier, ends)) return {modifier - 1, std::nullopt};
    const bool isSigned = format[at + modifier] == ends[0];
    const SQValue* arg = arguments.take();
    if (!arg) return {modifier, std::nullopt};
    return {modifier, sizedValue(width, isSigned, *arg)};
}

// The conversion whose first letter is at `at`.
Conversion readConversion(std::string_view format, size_t at, FormatArguments& arguments) {
    const char letter = format[at];
    if (letter == 'h' || letter == 'q' || letter == 'l') return readSizedConversion(format, at, arguments);
    if (!takesArgument(letter)) return {};
    const SQValue* arg = arguments.take();
    if (!arg) return {};
    return {0, plainValue(letter, *arg)};
}

// A value is bound as "?"; a nil or missing "%@" is NULL; any other conversion without a value
// leaves its first letter.
void writeConversion(char letter, Conversion& conversion, std::string& sql, std::vector<SQValue>& values) {
    if (conversion.value) {
        sql += '?';
        values.push_back(std::move(*conversion.value));
    } else if (letter == '@') {
        sql += "NULL";
    } else {
        sql += letter;
    }
}

} // namespace

void SQDatabase::extractSQL(std::string_view format, std::span<const SQValue> args, std::string& sql,
                            std::vector<SQValue>& values) const {
    FormatArguments arguments(args);
    sql.reserve(sql.size() + format.size());
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            sql += format[i];
            continue;
        }
        // A "%" that ends the format writes nothing.
        if (++i == format.size()) break;
        // A conversion ends at its letters: whatever follows is plain text again, so "%%d" is "%" then "d".
        Conversion conversion = readConversion(format, i, arguments);
        writeConversion(format[i], conversion, sql, values);
        i += conversion.extraLetters;
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
