#pragma once
// A patient's two rows, patientMst and patientSrv, as the registration screen saves them: inserted the
// first time and updated afterwards, both in one transaction with every value bound.
#include <optional>
#include <string>

#include "app/store/DatabaseFailure.h"

class SQDatabase;

namespace store {

// The stored columns of one patient, as the registration's fields make them.
struct PatientEntry {
    std::string pid;
    std::string name, kana;
    std::string postal;
    std::string state, address1, address2;
    std::string tel1, tel2;
    std::string biz, startdate;
    std::string sex, birthday;
};

// Inserts the patient's two rows, or updates them when the patient exists. Both or neither are
// written; false when the file is gone or a statement failed, and then `failure` (when given) says why.
bool registPatient(SQDatabase& db, const PatientEntry& entry,
                   std::optional<DatabaseFailure>* failure = nullptr);

} // namespace store
