#pragma once
// One patient's records between the clinic database and the shared form dictionaries: the loader
// fills the patient's columns and all three stored forms; the savers write each form back,
// inserting the patient's row the first time and updating it afterwards.
#include "app/store/ClinicState.h"

namespace store {

class FormRecords {
  public:
    explicit FormRecords(ClinicState& state) : state_(state) {}

    // Loads the current patient; false when there is no such patient (or the database can't be read).
    bool setPatientInfoData();

    // Each saver returns false when nothing could be stored (no current patient, or a statement
    // failed); the stored record is then left as it was.
    bool registInquiry();
    bool registCertificate();
    bool registLetter();

  private:
    ClinicState& state_;
};

} // namespace store
