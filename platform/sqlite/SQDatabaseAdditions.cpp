// Further operations of SQDatabase: one-value queries, schema questions, the header's version fields
// and SQL validation.
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace {

// SQLite's lower() folds ASCII only; names are folded the same way on this side.
std::string lowercased(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c + ('a' - 'A'));
    return out;
}

// A name inside a quoted SQL literal: every "'" doubled, so the name cannot end the literal early.
std::string quotedLiteral(std::string_view s) {
    std::string out;
    out.reserve(s.size() + 2);
    for (char c : s) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

} // namespace

std::shared_ptr<SQResultSet> SQDatabase::firstRow(std::string_view sql, const sqdetail::ArgSource& args) {
    auto rs = executeQueryWithArgumentsInArrayOrDictionaryOrVAList(sql, args, nullptr);
    // Without a row the set has closed itself.
    if (!rs || !rs->next()) return nullptr;
    return rs;
}

void SQDatabase::runPragma(const std::string& sql) {
    if (auto rs = executeQuery(sql)) {
        rs->next();
        rs->close();
    }
}

bool SQDatabase::tableExists(std::string_view tableName) {
    auto rs = executeQuery("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                           lowercased(tableName));
    if (!rs) return false;
    const bool found = rs->next();
    rs->close();
    return found;
}

std::shared_ptr<SQResultSet> SQDatabase::getSchema() {
    return executeQuery(
        "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL "
        "SELECT * FROM sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' "
        "ORDER BY tbl_name, type DESC, name");
}

std::shared_ptr<SQResultSet> SQDatabase::getTableSchema(std::string_view tableName) {
    // A pragma's argument cannot be bound: the name goes into the text as a quoted literal.
    return executeQuery(foundation::format("pragma table_info('%@')", quotedLiteral(tableName)));
}

bool SQDatabase::columnExistsInTableWithName(std::string_view columnName, std::string_view tableName) {
    const std::string column = lowercased(columnName);
    auto rs = getTableSchema(lowercased(tableName));
    if (!rs) return false;
    bool found = false;
    while (!found && rs->next())
        found = lowercased(rs->stringForColumn("name").value_or("")) == column;
    rs->close();
    return found;
}

bool SQDatabase::columnExistsColumnName(std::string_view tableName, std::string_view columnName) {
    return columnExistsInTableWithName(columnName, tableName);
}

// The header fields are signed 32-bit in SQLite; written through int and read back as the unsigned value.
uint32_t SQDatabase::userVersion() {
    return uint32_t(longForQuery("pragma user_version"));
}

void SQDatabase::setUserVersion(uint32_t version) {
    runPragma(foundation::format("pragma user_version = %d", int32_t(version)));
}

uint32_t SQDatabase::applicationID() {
    return uint32_t(longForQuery("pragma application_id"));
}

void SQDatabase::setApplicationID(uint32_t appID) {
    runPragma(foundation::format("pragma application_id=%d", int32_t(appID)));
}

bool SQDatabase::validateSQL(std::string_view sql, foundation::ErrorPtr* error) {
    if (!db_) return false;
    sqlite3_stmt* pStmt = nullptr;
    const int rc = sqlite3_prepare_v2(db_, sql.data(), int(sql.size()), &pStmt, nullptr);
    if (rc != SQLITE_OK && error) {
        *error = foundation::Error::make(
            "NSCocoaErrorDomain", lastErrorCode(),
            {{foundation::kLocalizedDescriptionKey, foundation::Value(lastErrorMessage())}});
    }
    sqlite3_finalize(pStmt); // never stepped: nothing to report
    return rc == SQLITE_OK;
}
