#pragma once
// The photoMst row of one patient and photo kind, as the album scan keeps it: the pool's identifiers
// ("rowsList" in photo_no) and the slot map (photo_num), dated the day it was written.
#include <optional>
#include <string>
#include <vector>

#include "app/store/ClinicState.h"

namespace store {

// The stored slot map; none when there is no row (or no database to read it from).
std::optional<FormData> readPhotoSlots(ClinicState& state, const std::string& pid, const std::string& kind);

// Inserts the row (named after the loaded patient) or updates it in place; false when nothing was
// written, and then the state's `lastSaveFailure` says why the database refused.
bool writePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind,
                       const std::vector<std::string>& rowsList, const FormData& slots);

// Removes the row; false when the statement failed.
bool deletePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind);

} // namespace store
