#pragma once
// The patient gate of the form start screens: the typed ID must name a stored patient, whose records
// are then loaded into the shared form state; some forms also need the patient's questionnaire.
#include <string>

class zurarerizIvaDadadavu;
namespace ui {
class ViewController;
}

namespace shell {

// Clears the questionnaire answers, then loads the patient of `patientID`. An empty ID or one without
// a patient shows its alert on `host` and fails. With `inquirySegue`, a patient without a stored
// questionnaire fails too, with an alert whose "問診票登録へ" follows that segue from `host`.
bool passPatientGate(ui::ViewController& host, zurarerizIvaDadadavu& delegate, const std::string& patientID,
                     const char* inquirySegue = nullptr);

} // namespace shell
