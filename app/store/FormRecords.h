#pragma once
// One patient's records between the clinic database and the shared form dictionaries: the loader
// fills the patient's columns and all three stored forms; the savers write each form back,
// inserting the patient's row the first time and updating it afterwards.
#include "app/store/ClinicState.h"
#include "app/store/DatabaseFailure.h"

namespace store {

// What the patient loader found: the patient, no such patient, or a database that could not be read,
// which says nothing about the patient. Only a patient who was found counts as loaded.
struct PatientRead {
    enum class Outcome { Found, Absent, Failed };
    Outcome outcome = Outcome::Absent;
    DatabaseFailure failure; // why, when Failed

    static PatientRead found() { return {Outcome::Found, {}}; }
    static PatientRead absent() { return {Outcome::Absent, {}}; }
    static PatientRead failed(DatabaseFailure why) { return {Outcome::Failed, std::move(why)}; }

    bool isFailed() const { return outcome == Outcome::Failed; }
    explicit operator bool() const { return outcome == Outcome::Found; }
};

class FormRecords {
  public:
    explicit FormRecords(ClinicState& state) : state_(state) {}

    // Loads the current patient. A read that failed (the database locked, damaged or gone) is never
    // taken for a patient who is not there; either way the shared forms stay as they were.
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
