#include "app/documents/questionnaire/inquiryViewTop.h"

#include "app/shell/PatientGate.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Log.h"
#include "ui_inquiryViewTop.h"

namespace {
void toggleTogether(QPushButton* first, QPushButton* second, QPushButton* third) {
    const bool show = first->isHidden();
    for (QPushButton* b : {first, second, third})
        b->setVisible(show);
}
} // namespace

inquiryViewTop::inquiryViewTop()
    : form_(std::make_unique<Ui::inquiryViewTop>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

inquiryViewTop::~inquiryViewTop() = default;

void inquiryViewTop::loadView() {
    loadViewFromForm(*form_);
}

ui::TextField* inquiryViewTop::patientIDBox() const {
    return form_->patientIDBox;
}
QPushButton* inquiryViewTop::JapaneseVersionButton() const {
    return form_->JapaneseVersionButton;
}
QPushButton* inquiryViewTop::EnglishVersionButton() const {
    return form_->EnglishVersionButton;
}
QPushButton* inquiryViewTop::ChineseVersionButton() const {
    return form_->ChineseVersionButton;
}
QPushButton* inquiryViewTop::JapanesePrintButton() const {
    return form_->JapanesePrintButton;
}
QPushButton* inquiryViewTop::EnglishPrintButton() const {
    return form_->EnglishPrintButton;
}
QPushButton* inquiryViewTop::ChinesePrintButton() const {
    return form_->ChinesePrintButton;
}

void inquiryViewTop::viewDidLoad() {
    setTitle("問診票登録");
    if (appDelegate_ && appDelegate_->patientID()) patientIDBox()->setStdText(*appDelegate_->patientID());
    patientIDBox()->setDelegate(std::static_pointer_cast<inquiryViewTop>(shared_from_this()));
    for (QPushButton* b : {JapaneseVersionButton(), EnglishVersionButton(), ChineseVersionButton(),
                           JapanesePrintButton(), EnglishPrintButton(), ChinesePrintButton()})
        b->setVisible(false);
    connect(form_->inquiryStartButton, &QPushButton::clicked, this, &inquiryViewTop::inquiryStart);
    connect(form_->printInquiryButton, &QPushButton::clicked, this, &inquiryViewTop::printInquiry);
    connect(JapaneseVersionButton(), &QPushButton::clicked, this, &inquiryViewTop::japaneseVersionAction);
    connect(EnglishVersionButton(), &QPushButton::clicked, this, &inquiryViewTop::englishVersionAction);
    connect(ChineseVersionButton(), &QPushButton::clicked, this, &inquiryViewTop::chineseVersionAction);
    connect(JapanesePrintButton(), &QPushButton::clicked, this, &inquiryViewTop::japanesePrintAction);
    connect(EnglishPrintButton(), &QPushButton::clicked, this, &inquiryViewTop::englishPrintAction);
    connect(ChinesePrintButton(), &QPushButton::clicked, this, &inquiryViewTop::chinesePrintAction);
}

void inquiryViewTop::inquiryStart() {
    toggleTogether(JapaneseVersionButton(), EnglishVersionButton(), ChineseVersionButton());
}

void inquiryViewTop::printInquiry() {
    toggleTogether(JapanesePrintButton(), EnglishPrintButton(), ChinesePrintButton());
}

bool inquiryViewTop::textFieldShouldReturn(ui::TextField&) {
    inquiryStart();
    return true;
}

bool inquiryViewTop::getPatientInfo() {
    return appDelegate_ && shell::passPatientGate(*this, *appDelegate_, patientIDBox()->stdText());
}

void inquiryViewTop::fillOut(const std::string& language) {
    StaticVariableHelper::setInquiryLanguage(language);
    if (!getPatientInfo()) return;
    foundation::log("inquiryViewTop, getPatientInfo and inquiry start");
    open(true, kStartSegue);
}

void inquiryViewTop::print(const std::string& language) {
    StaticVariableHelper::setInquiryLanguage(language);
    if (!getPatientInfo()) return;
    open(false, kPrintSegue);
}

void inquiryViewTop::open(bool touchMode, const char* segue) {
    std::weak_ptr<inquiryViewTop> weak = std::static_pointer_cast<inquiryViewTop>(shared_from_this());
    shell::openStoredForm(*this, *appDelegate_, shell::StoredForm::Inquiry, [weak, touchMode, segue] {
        auto self = weak.lock();
        if (!self) return;
        self->patientIDBox()->resignFirstResponder();
        self->appDelegate_->setTouchMode(touchMode);
        self->performSegue(segue, self->patientIDBox());
    });
}
