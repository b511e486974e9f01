#pragma once
// Why the clinic database refused a read or a write, as SQLite and the system said it. It travels
// with the outcome, so that a screen can tell the staff the cause (in use, damaged, a full disk, no
// permission) and not only that something failed.
#include <string>

class SQDatabase;

namespace store {

struct DatabaseFailure {
    int code = 0;        // SQLite's primary result code: SQLITE_BUSY, SQLITE_NOTADB, ...
    int systemError = 0; // the errno behind a failed open or I/O, when SQLite kept one
    std::string message; // SQLite's own words, for the log

    // The handle's last failure: read it before anything else runs on the handle.
    static DatabaseFailure of(const SQDatabase& db);
    // The file is not there.
    static DatabaseFailure missingFile();
};

} // namespace store
