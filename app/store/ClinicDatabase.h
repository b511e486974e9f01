#pragma once
// Opening the clinic database: creating and seeding the file on a new installation (or again when
// that first launch left the file without its tables) and adding the tables that later builds brought,
// on every launch.
#include <optional>
#include <string>

#include "app/store/ClinicState.h"
#include "app/store/DatabaseFailure.h"

namespace store {

class ClinicDatabase {
  public:
    explicit ClinicDatabase(ClinicState& state) : state_(state) {}

    // Documents/zaruvedezManage.db under the app's home.
    static std::string databasePath();

    // Opens or creates the file and sets the state's `db`. Says why when the database cannot be used:
    // a file that cannot be read (locked, damaged, no permission) or whose quick check finds damage, a
    // table batch that failed (a full disk, say), or a file that opens for reading only. A file that
    // cannot be read or is damaged is left untouched.
    std::optional<DatabaseFailure> connectDB();
    // The first tables in one transaction, then the seed rows; false when the batch was rolled back.
    bool createDBTable();
    // The later tables (created only when missing) in one transaction.
    bool addDBTable();
    // The seed rows, one by one; a failing row is logged and skipped.
    void insertDemoData();

  private:
    // Whether the file holds none of the first batch's tables; none when it cannot be read.
    std::optional<bool> holdsNoFirstTable();
    bool runBatch(const char* const* statements, size_t count, const char* doneLine, bool seed);
    // Whether every page of the file reads as SQLite wrote it. Damage past the first page leaves the
    // table list whole and is met only where a read reaches it, so it is looked for once, at launch,
    // before anything is written.
    bool passesQuickCheck();
    // A file this process may only read opens all the same, and a batch of tables that exist writes
    // nothing: only the open connection tells that every save would fail.
    void checkWritable();
    // Keeps the first failure met, read from the handle before anything else runs on it.
    void noteFailure(const SQDatabase& db);

    ClinicState& state_;
    std::optional<DatabaseFailure> failure_;
};

} // namespace store
