#include "app/documents/letter/LetterViewTop.h"

#include "app/shell/PatientGate.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "ui_LetterViewTop.h"

LetterViewTop::LetterViewTop()
    : form_(std::make_unique<Ui::LetterViewTop>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

LetterViewTop::~LetterViewTop() = default;

void LetterViewTop::loadView() {
    loadViewFromForm(*form_);
}

ui::TextField* LetterViewTop::patientIDBox() const {
    return form_->patientIDBox;
}

void LetterViewTop::viewDidLoad() {
    setTitle("患者紹介状登録");
    patientIDBox()->setDelegate(std::static_pointer_cast<LetterViewTop>(shared_from_this()));
    if (appDelegate_ && appDelegate_->patientID()) patientIDBox()->setStdText(*appDelegate_->patientID());
    connect(form_->LetterStartButton, &QPushButton::clicked, this, &LetterViewTop::LetterStart);
    connect(form_->printLetterButton, &QPushButton::clicked, this, &LetterViewTop::printLetter);
}

bool LetterViewTop::getPatientInfo() {
    return appDelegate_ && shell::passPatientGate(*this, *appDelegate_, patientIDBox()->stdText());
}

void LetterViewTop::LetterStart() {
    open(true, kStartSegue);
}

void LetterViewTop::printLetter() {
    open(false, kPrintSegue);
}

void LetterViewTop::open(bool touchMode, const char* segue) {
    if (!getPatientInfo()) return;
    std::weak_ptr<LetterViewTop> weak = std::static_pointer_cast<LetterViewTop>(shared_from_this());
    shell::openStoredForm(*this, *appDelegate_, shell::StoredForm::Letter, [weak, touchMode, segue] {
        auto self = weak.lock();
        if (!self) return;
        self->patientIDBox()->resignFirstResponder();
        // The pages find the patient's photographs of every kind in the delegate's lists: without the
        // registered ones, neither the letter nor its preview opens.
        if (const auto unread = self->appDelegate_->getLetterPhotoInfo())
            return shell::presentPhotoReadFailure(*self, *unread);
        self->appDelegate_->setTouchMode(touchMode);
        self->performSegue(segue, self.get());
    });
}

bool LetterViewTop::textFieldShouldReturn(ui::TextField&) {
    LetterStart();
    return true;
}
