#pragma once
// The patient gate of the form start screens: the typed ID must name a stored patient, whose records
// are then loaded into the shared form state; some forms also need the patient's questionnaire.
#include <functional>
#include <string>

#include "app/store/FormRecords.h"

class zurarerizIvaDadadavu;
namespace ui {
class ViewController;
}

namespace shell {

// Makes `patientID` the delegate's patient and reads that patient's records into the shared form
// state. A read that failed is said on `host` at once; what a patient found or absent leads to is the
// caller's.
store::PatientRead loadPatient(ui::ViewController& host, zurarerizIvaDadadavu& delegate,
                               const std::string& patientID);

// Clears the questionnaire answers, then loads the patient of `patientID`. An empty ID, one without
// a patient, or a patient whose records could not be read shows its alert on `host` and fails. With
// `inquirySegue`, a patient without a stored questionnaire fails too, with an alert whose "問診票登録へ"
// follows that segue from `host`.
bool passPatientGate(ui::ViewController& host, zurarerizIvaDadadavu& delegate, const std::string& patientID,
                     const char* inquirySegue = nullptr);

// "エラー" saying that the patient's registered photographs could not be read, and why; its one "OK"
// stays where `host` is.
void presentPhotoReadFailure(ui::ViewController& host, const store::DatabaseFailure& failure);

// The stored form a start screen opens, to fill out or to preview.
enum class StoredForm { Inquiry, Certificate, Letter };

// Runs `open` at once when the loaded patient's stored form could be read. When its stored text is
// damaged, the form would open empty without a word: `host` first shows "エラー" saying so, whose "OK"
// opens it all the same (the stored row is replaced only if the form is then registered) and whose
// "キャンセル" stays.
void openStoredForm(ui::ViewController& host, zurarerizIvaDadadavu& delegate, StoredForm form,
                    std::function<void()> open);

} // namespace shell
