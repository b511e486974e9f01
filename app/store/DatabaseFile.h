#pragma once
// The clinic database's file as a read or a save meets it. Only the launch makes the file: opening a
// path where it has gone would leave an empty database there, in which every table is missing, and
// every later read and save would take that for the clinic's.
#include <optional>

#include "app/store/DatabaseFailure.h"

class SQDatabase;

namespace store {

// Why nothing can be read or saved: the file is not there (logged, with who asked); none when it is.
std::optional<DatabaseFailure> missingDatabase(const SQDatabase& db, const char* who);

// Opens the file for one read or save, never making it: a file that goes between the look and the
// open is not made again either.
bool openExisting(SQDatabase& db);

} // namespace store
