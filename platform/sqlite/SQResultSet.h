#pragma once
// The rows of one query: steps its statement and reads the current row's columns by index (0-based)
// or by case-insensitive name. A set keeps its handle and statement alive until it is closed; the
// last `next` (no further row) closes it.
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

class SQDatabase;
class SQStatement;

class SQResultSet {
    struct Private {};

  public:
    static std::shared_ptr<SQResultSet> resultSetWithStatement(std::shared_ptr<SQStatement> statement,
                                                               std::shared_ptr<SQDatabase> parentDB);
    SQResultSet(Private, std::shared_ptr<SQStatement> statement, std::shared_ptr<SQDatabase> parentDB);
    ~SQResultSet();
    SQResultSet(const SQResultSet&) = delete;
    SQResultSet& operator=(const SQResultSet&) = delete;

    // Life of the set.
    bool next();
    bool nextWithError(foundation::ErrorPtr* error);
    bool hasAnotherRow() const;
    void close();
    int columnCount() const;

    const std::shared_ptr<SQDatabase>& parentDB() const { return parentDB_; }
    void setParentDB(std::shared_ptr<SQDatabase> db) { parentDB_ = std::move(db); }
    const std::shared_ptr<SQStatement>& statement() const { return statement_; }
    void setStatement(std::shared_ptr<SQStatement> statement) { statement_ = std::move(statement); }
    const std::string& query() const;
    void setQuery(std::string query);

    // Columns by name: lower-cased, the later of two equal names wins; -1 (with a warning) when absent.
    int columnIndexForName(std::string_view columnName);
    std::string columnNameForIndex(int columnIdx) const;
    std::map<std::string, int> columnNameToIndexMap();

    int intForColumnIndex(int columnIdx) const;
    int intForColumn(std::string_view columnName);
    int64_t longForColumnIndex(int columnIdx) const;
    int64_t longForColumn(std::string_view columnName);
    long long longLongIntForColumnIndex(int columnIdx) const;
    long long longLongIntForColumn(std::string_view columnName);
    unsigned long long unsignedLongLongIntForColumnIndex(int columnIdx) const;
    unsigned long long unsignedLongLongIntForColumn(std::string_view columnName);
    bool boolForColumnIndex(int columnIdx) const;
    bool boolForColumn(std::string_view columnName);
    double doubleForColumnIndex(int columnIdx) const;
    double doubleForColumn(std::string_view columnName);

    // Every index form reads a column the row does not have (or a closed set) as 0, none or the null
    // value, without touching the connection's error state.
    // None for NULL, a negative index or a closed set. Text keeps its full length, embedded NULs too.
    std::optional<std::string> stringForColumnIndex(int columnIdx) const;
    std::optional<std::string> stringForColumn(std::string_view columnName);
    std::optional<foundation::Date> dateForColumnIndex(int columnIdx) const;
    std::optional<foundation::Date> dateForColumn(std::string_view columnName);
    // None also for a zero-length blob.
    std::optional<foundation::Data> dataForColumnIndex(int columnIdx) const;
    std::optional<foundation::Data> dataForColumn(std::string_view columnName);
    // SQLite's own bytes, valid until the next step, reset or close of the set.
    std::optional<std::span<const uint8_t>> dataNoCopyForColumnIndex(int columnIdx) const;
    std::optional<std::span<const uint8_t>> dataNoCopyForColumn(std::string_view columnName);
    const char* UTF8StringForColumnIndex(int columnIdx) const;
    const char* UTF8StringForColumnName(std::string_view columnName);

    bool columnIndexIsNull(int columnIdx) const;
    bool columnIsNull(std::string_view columnName);

    // Never none: NULL (or a closed set) gives a null value.
    foundation::Value objectForColumnIndex(int columnIdx) const;
    foundation::Value objectForColumnName(std::string_view columnName);
    foundation::Value operator[](int columnIdx) const { return objectForColumnIndex(columnIdx); }
    foundation::Value operator[](std::string_view columnName) { return objectForColumnName(columnName); }

    // The whole row keyed by column names as SQLite gives them; none (with a warning) without a row.
    std::optional<foundation::Dictionary> resultDictionary() const;
    // The older form, keyed by lower-cased names.
    std::optional<foundation::Dictionary> resultDict();
    // Hands each non-NULL column's text to `setValueForKey(value, key)`, key = the column's name.
    void kvcMagic(
        const std::function<void(const std::string& value, const std::string& key)>& setValueForKey) const;

  private:
    sqlite3_stmt* stmt() const;
    // The statement when the row has the column, else null.
    sqlite3_stmt* stmtFor(int columnIdx) const;
    void closeKeepingQuery(bool keepQuery);
    // Lower-cased, by index; none once the set is closed.
    const std::vector<std::string>& columnNames();

    std::shared_ptr<SQDatabase> parentDB_;
    std::shared_ptr<SQStatement> statement_;
    // Set by setQuery, or kept from the statement when the set closes.
    std::shared_ptr<const std::string> query_;
};
