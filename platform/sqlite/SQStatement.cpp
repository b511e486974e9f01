#include "platform/sqlite/SQStatement.h"

#include "platform/foundation/Format.h"
#include "platform/sqlite/SQDatabase.h"

const std::string& SQStatement::query() const {
    static const std::string empty;
    return query_ ? *query_ : empty;
}

void SQStatement::setQuery(std::string query) {
    query_ = std::make_shared<const std::string>(std::move(query));
}

void SQStatement::close() {
    if (statement_) {
        // The result repeats the error of the last run, which its caller was given already.
        sqlite3_finalize(statement_);
        statement_ = nullptr;
    }
    if (owner_) {
        owner_->statementDidClose(this);
        owner_ = nullptr;
    }
    setInUse(false);
}

void SQStatement::reset() {
    if (statement_) sqlite3_reset(statement_); // as with close: the last run's error, reported already
    rewound_ = true;
    setInUse(false);
}

std::string SQStatement::description() const {
    return foundation::format("%@ %ld hit(s) for query %@",
                              foundation::format("<SQStatement: %p>", static_cast<const void*>(this)),
                              useCount(), query());
}

const std::vector<std::string>& SQStatement::columnNames() {
    if (!statement_) {
        columnNames_.clear();
        columnNamesPrepareCount_ = -1;
        return columnNames_;
    }
    const int prepareCount = sqlite3_stmt_status(statement_, SQLITE_STMTSTATUS_REPREPARE, 0);
    if (prepareCount == columnNamesPrepareCount_) return columnNames_;
    columnNamesPrepareCount_ = prepareCount;
    const int n = sqlite3_column_count(statement_);
    columnNames_.assign(size_t(n), std::string());
    for (int i = 0; i < n; ++i) {
        const char* name = sqlite3_column_name(statement_, i);
        for (const char* c = name; c && *c; ++c)
            columnNames_[size_t(i)] += (*c >= 'A' && *c <= 'Z') ? char(*c + ('a' - 'A')) : *c;
    }
    return columnNames_;
}
