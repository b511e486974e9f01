#pragma once
// The first-row reads the store's records share: a failed query is an error, never "no row".
#include <memory>
#include <optional>

#include "platform/sqlite/SQDatabase.h"

namespace store {

enum class Row { Found, None, Failed };

// Runs a query and reports whether a first row is ready in `rs`.
template <class... Args>
Row firstRow(SQDatabase& db, std::shared_ptr<SQResultSet>& rs, const char* sql, const Args&... args) {
    rs = db.executeQuery(sql, args...);
    if (!rs) return Row::Failed;
    foundation::ErrorPtr error;
    if (rs->nextWithError(&error)) return Row::Found;
    return error ? Row::Failed : Row::None;
}

// Whether the patient (or target) already has its row: "0" from COUNT(*) means insert. None when the
// count itself failed.
template <class... Args> std::optional<bool> hasRow(SQDatabase& db, const char* sql, const Args&... args) {
    std::shared_ptr<SQResultSet> rs;
    if (firstRow(db, rs, sql, args...) != Row::Found) return std::nullopt;
    const bool exists = rs->stringForColumn("COUNT(*)").value_or("0") != "0";
    rs->close();
    return exists;
}

} // namespace store
