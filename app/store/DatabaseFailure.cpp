#include "app/store/DatabaseFailure.h"

#include <cerrno>

#include "platform/sqlite/SQDatabase.h"

namespace store {

DatabaseFailure DatabaseFailure::of(const SQDatabase& db) {
    DatabaseFailure failure;
    failure.code = db.lastErrorCode() & 0xff;
    failure.message = db.lastErrorMessage();
    // Only these two leave the system's errno behind; after the others it is stale.
    if (failure.code == SQLITE_CANTOPEN || failure.code == SQLITE_IOERR)
        failure.systemError = db.lastSystemErrorCode();
    return failure;
}

DatabaseFailure DatabaseFailure::missingFile() {
    return {SQLITE_CANTOPEN, ENOENT, "the database file does not exist"};
}

} // namespace store
