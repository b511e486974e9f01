#include "app/store/PhotoSlotRows.h"

#include <nlohmann/json.hpp>

#include "app/store/DatabaseFile.h"
#include "app/store/FormJson.h"
#include "app/store/RowQueries.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/sqlite/SQResultSet.h"

namespace store {

std::optional<FormData> readPhotoSlots(ClinicState& state, const std::string& pid, const std::string& kind) {
    if (!state.db) return std::nullopt;
    SQDatabase& db = *state.db;
    if (!db.open()) foundation::log("ERROR: failed to open appDelegate db");
    std::optional<FormData> slots;
    if (auto rs = db.executeQuery("SELECT photo_no, photo_num FROM photoMst WHERE pid = ? and category = ?;",
                                  pid, kind)) {
        if (rs->next()) {
            (void)parseStoredJSON(rs->stringForColumn("photo_no").value_or("")); // not used
            slots = formDataFromJSON(rs->stringForColumn("photo_num").value_or(""));
            rs->close();
        }
    }
    db.close();
    return slots;
}

bool writePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind,
                       const std::vector<std::string>& rowsList, const FormData& slots) {
    state.lastSaveFailure.reset();
    if (!state.db) return false;
    nlohmann::ordered_json rows = nlohmann::ordered_json::object();
    rows["rowsList"] = rowsList;
    const std::string photoNo = compactJSON(rows);
    const std::string photoNum = formDataJSON(slots);
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
