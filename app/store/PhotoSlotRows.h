#pragma once
// The photoMst row of one patient and photo kind, as the album scan keeps it: the pool's identifiers
// ("rowsList" in photo_no) and the slot map (photo_num), dated the day it was written.
#include <string>
#include <vector>

#include "app/store/ClinicState.h"
#include "app/store/StoredRead.h"

namespace store {

// Reads the stored slot map into `slotMap` when the row is there, and leaves `slotMap` alone otherwise. A
// read that failed (the database locked, damaged or gone) says why and is never taken for no row: a
// caller that wrote back what it read would erase the staff's selection.
StoredRead readPhotoSlots(ClinicState& state, const std::string& pid, const std::string& kind,
                          FormData& slotMap);

// Inserts the row (named after the loaded patient) or updates it in place; false when nothing was
// written, and then the state's `lastSaveFailure` says why the database refused.
bool writePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind,
                       const std::vector<std::string>& rowsList, const FormData& slotMap);

// Removes the row; false when the statement failed.
bool deletePhotoSlotRow(ClinicState& state, const std::string& pid, const std::string& kind);

} // namespace store
