#include "app/store/PrintNumber.h"

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"

namespace store {

bool storePrintNumber(SQDatabase& db, const std::string& pid, int next) {
    const bool stored = db.open() && db.executeUpdate("UPDATE certifMst SET printno = ? WHERE pid = ?;",
                                                      std::to_string(next), pid);
    if (!stored)
        foundation::log("advancePrintNumber: the print number %d of %@ was not stored: %d %@", next, pid,
                        db.lastErrorCode(), db.lastErrorMessage());
    db.close();
    return stored;
}

} // namespace store
