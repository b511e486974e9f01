#pragma once
// Opening the clinic database: creating and seeding the file on a new installation (or again when
// that first launch left the file without its tables) and adding the tables that later builds brought,
// on every launch.
#include <string>

#include "app/store/ClinicState.h"

namespace store {

class ClinicDatabase {
  public:
    explicit ClinicDatabase(ClinicState& state) : state_(state) {}

    // Documents/zaruvedezManage.db under the app's home.
    static std::string databasePath();

    // Opens or creates the file and sets the state's `db`.
    void connectDB();
    // The first tables in one transaction, then the seed rows; false when the batch was rolled back.
    bool createDBTable();
    // The later tables (created only when missing) in one transaction.
    bool addDBTable();
    // The seed rows, one by one; a failing row is logged and skipped.
    void insertDemoData();

  private:
    // True when the file opens and holds none of the first batch's tables.
    bool holdsNoFirstTable();
    bool runBatch(const char* const* statements, size_t count, const char* doneLine, bool seed);

    ClinicState& state_;
};

} // namespace store
