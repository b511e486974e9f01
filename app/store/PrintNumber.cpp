#include "app/store/PrintNumber.h"

#include <optional>

#include "app/store/DatabaseFile.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

bool storePrintNumber(SQDatabase& db, const std::string& pid, int next) {
    std::optional<DatabaseFailure> failure = missingDatabase(db, "advancePrintNumber");
    if (!failure && !(openExisting(db) && db.executeUpdate("UPDATE certifMst SET printno = ? WHERE pid = ?;",
                                                           std::to_string(next), pid)))
        failure = DatabaseFailure::of(db);
    if (failure)
        foundation::log("advancePrintNumber: the print number %d of %@ was not stored: %d %@", next, pid,
                        failure->code, failure->message);
    db.close();
    return !failure;
}

} // namespace store
