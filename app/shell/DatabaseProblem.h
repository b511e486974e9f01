#pragma once
// What the staff read when the clinic database refuses: the cause in their words, from what SQLite
// and the system said, in the launch's alert, the patient loader's, the photo slots' and the register's.
#include <optional>
#include <string>

#include "app/store/DatabaseFailure.h"

namespace shell {

// One sentence, ending in "。".
std::string databaseFailureCause(const store::DatabaseFailure& failure);

// At launch: the file and the cause; and the line for the log.
std::string databaseProblemMessage(const std::string& path, const store::DatabaseFailure& failure);
std::string databaseProblemLogLine(const std::string& path, const store::DatabaseFailure& failure);

// A patient whose records could not be read.
std::string patientReadFailureMessage(const store::DatabaseFailure& failure);
// A patient whose registered photographs (the stored photo slots) could not be read.
std::string photoReadFailureMessage(const store::DatabaseFailure& failure);

// A register that stored nothing: "登録できませんでした", then the cause when the database gave one.
std::string registerFailureMessage(const std::optional<store::DatabaseFailure>& failure);

} // namespace shell
