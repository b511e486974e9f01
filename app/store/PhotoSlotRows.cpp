#include "app/store/PhotoSlotRows.h"

#include <nlohmann/json.hpp>

#include "app/store/DatabaseFile.h"
#include "app/store/FormJson.h"
#include "app/store/RowQueries.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/sqlite/SQResultSet.h"

namespace store {

namespace {

StoredRead failedSlotRead(const std::string& pid, const std::string& kind, DatabaseFailure why) {
    foundation::log("readPhotoSlots: the slots of %@ (%@) cannot be read: %d %@", pid, kind, why.code,
                    why.message);
    return StoredRead::failed(std::move(why));
}

} // namespace

StoredRead readPhotoSlots(ClinicState& state, const std::string& pid, const std::string& kind,
                          FormData& slotMap) {
    if (!state.db) return failedSlotRead(pid, kind, {SQLITE_MISUSE, 0, "no database handle"});
    SQDatabase& db = *state.db;
    if (auto missing = missingDatabase(db, "readPhotoSlots"))
        return failedSlotRead(pid, kind, std::move(*missing));
    if (!openExisting(db)) return failedSlotRead(pid, kind, DatabaseFailure::of(db));
    std::shared_ptr<SQResultSet> rs;
    const Row row =
        firstRow(db, rs, "SELECT photo_num FROM photoMst WHERE pid = ? and category = ?;", pid, kind);
    if (row == Row::Failed) {
        DatabaseFailure why = DatabaseFailure::of(db);
        db.close();
        return failedSlotRead(pid, kind, std::move(why));
    }
    if (row == Row::Found) {
        slotMap = formDataFromJSON(rs->stringForColumn("photo_num").value_or(""));
        rs->close();
    }
    db.close();
    return row == Row::Found ? StoredRead::found() : StoredRead::absent();
}

bool writePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind,
                       const std::vector<std::string>& rowsList, const FormData& slotMap) {
    state.lastSaveFailure.reset();
    if (!state.db) return false;
    nlohmann::ordered_json rows = nlohmann::ordered_json::object();
    rows["rowsList"] = rowsList;
    const std::string photoNo = compactJSON(rows);
    const std::string photoNum = formDataJSON(slotMap);
    const std::string today = state.today ? state.today() : todayText();

    SQDatabase& db = *state.db;
    if (auto missing = missingDatabase(db, "writePhotoSlotRow")) {
        state.lastSaveFailure = std::move(missing);
        return false;
    }
    if (!openExisting(db)) {
        foundation::log("ERROR: failed to open appDelegate db");
        state.lastSaveFailure = DatabaseFailure::of(db);
        return false;
    }
    bool written = false;
    const auto exists =
        hasRow(db, "SELECT COUNT(*) FROM photoMst WHERE pid = ? and category = ?;", pid, kind);
    if (exists) {
        if (!*exists) {
            std::string name;
            if (state.patientInfo) {
                auto it = state.patientInfo->find("name");
                if (it != state.patientInfo->end()) name = it->second;
            }
            written = db.executeUpdate("INSERT INTO photoMst VALUES ('10000', ?, ?, ?, ?, ?, '', ?)", pid,
                                       name, kind, photoNo, today, photoNum);
        } else {
            written = db.executeUpdate("UPDATE photoMst SET photo_no = ?, photo_date = ?, photo_data = '', "
                                       "photo_num = ? WHERE pid = ? AND category = ?;",
                                       photoNo, today, photoNum, pid, kind);
        }
        foundation::log(written ? "YES" : "NO");
    }
    // The count's failure or the write's: either way the staff are told why the database refused.
    if (!written) {
        state.lastSaveFailure = DatabaseFailure::of(db);
        foundation::log("Error %d: %@", db.lastErrorCode(), db.lastErrorMessage());
    }
    db.close();
    return written;
}

bool deletePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind) {
    if (!state.db || missingDatabase(*state.db, "deletePhotoSlotRow")) return false;
    SQDatabase& db = *state.db;
    if (!openExisting(db)) foundation::log("ERROR: failed to open appDelegate db");
    const bool done = db.executeUpdate("DELETE FROM photoMst WHERE pid = ? and category = ?;", pid, kind);
    db.close();
    foundation::log("初期化");
    return done;
}

} // namespace store
