#include "app/store/DatabaseFile.h"

#include <sqlite3.h>

#include <string>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

std::optional<DatabaseFailure> missingDatabase(const SQDatabase& db, const char* who) {
    const auto& path = db.databasePath();
    if (!path || path->empty() || foundation::fileExists(*path)) return std::nullopt;
    foundation::log("%@: no database at %@", std::string(who), *path);
    return DatabaseFailure::missingFile();
}

bool openExisting(SQDatabase& db) {
    return db.openWithFlags(SQLITE_OPEN_READWRITE);
}

} // namespace store
