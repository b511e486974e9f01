#include "app/shell/patientRegistViewTop.h"

#include <QPushButton>

#include "app/shell/FormAlerts.h"
#include "app/shell/PatientGate.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "ui_patientRegistViewTop.h"

patientRegistViewTop::patientRegistViewTop()
    : form_(std::make_unique<Ui::patientRegistViewTop>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

patientRegistViewTop::~patientRegistViewTop() = default;

void patientRegistViewTop::loadView() {
    loadViewFromForm(*form_);
}

ui::TextField* patientRegistViewTop::patientIDBox() const {
    return form_->patientIDBox;
}

void patientRegistViewTop::viewDidLoad() {
    setTitle("患者情報登録");
    if (appDelegate_ && appDelegate_->patientID()) patientIDBox()->setStdText(*appDelegate_->patientID());
    patientIDBox()->setDelegate(std::static_pointer_cast<patientRegistViewTop>(shared_from_this()));
    patientIDBox()->setReturnKeyType(ui::ReturnKeyType::Done);
    connect(form_->registerStartButton, &QPushButton::clicked, this, &patientRegistViewTop::registerStart);
}

bool patientRegistViewTop::textFieldShouldReturn(ui::TextField&) {
    registerStart();
    return true;
}

void patientRegistViewTop::registerStart() {
    if (!appDelegate_) return;
    appDelegate_->inputItems() = store::FormData{};
    const std::string pid = patientIDBox()->stdText();
    if (pid.empty()) {
        shell::presentError(*this, "患者IDを入力してください");
        return;
    }
    patientIDBox()->resignFirstResponder();
    // A new ID leaves the patient's columns empty and opens an empty form; a patient that could not
    // be read must not open as one, or registering it would replace what is stored.
    if (shell::loadPatient(*this, *appDelegate_, pid).isFailed()) return;
    performSegue(kStartSegue, patientIDBox());
}
