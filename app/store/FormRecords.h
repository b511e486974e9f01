#pragma once
// One patient's records between the clinic database and the shared form dictionaries: the loader
// fills the patient's columns and all three stored forms; the savers write each form back,
// inserting the patient's row the first time and updating it afterwards.
#include "app/store/ClinicState.h"
#include "app/store/DatabaseFailure.h"
#include "app/store/StoredRead.h"

namespace store {

// What the patient loader found: the patient, no such patient, or a database that could not be read.
using PatientRead = StoredRead;

class FormRecords {
  public:
    explicit FormRecords(ClinicState& state) : state_(state) {}

    // Loads the current patient. A read that failed (the database locked, damaged or gone) is never
    // taken for a patient who is not there. The patient's details are emptied first, whatever follows;
    // the forms change only once everything is read, so a failed read or an absent patient leaves them
    // as they were.
    PatientRead setPatientInfoData();

    // Each saver returns false when nothing could be stored (no current patient, no database file, or
    // a statement failed); the stored record is then left as it was, and the state's `lastSaveFailure`
    // says why the database refused.
    bool registInquiry();
    bool registCertificate();
    bool registLetter();

  private:
    // Opens the file for a save; false, with why in `lastSaveFailure`, when it is gone (a save never
    // makes it again) or does not open.
    bool opened(SQDatabase& db, const char* who);
    // Keeps why the database refused (read before anything else runs on the handle), undoes what the
    // save began and closes the handle; false.
    bool refused(SQDatabase& db);

    ClinicState& state_;
};

} // namespace store
