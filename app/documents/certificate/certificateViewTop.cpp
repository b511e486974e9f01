#include "app/documents/certificate/certificateViewTop.h"

#include "app/shell/PatientGate.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Log.h"
#include "ui_certificateViewTop.h"

certificateViewTop::certificateViewTop()
    : form_(std::make_unique<Ui::certificateViewTop>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

certificateViewTop::~certificateViewTop() = default;

void certificateViewTop::loadView() {
    loadViewFromForm(*form_);
}

ui::TextField* certificateViewTop::patientIDBox() const {
    return form_->patientIDBox;
}
QPushButton* certificateViewTop::onePageCertificateButton() const {
    return form_->onePageCertificateButton;
}
QPushButton* certificateViewTop::threePageCertificateButton() const {
    return form_->threePageCertificateButton;
}
QPushButton* certificateViewTop::japaneseCertificatePrintButton() const {
    return form_->japaneseCertificatePrintButton;
}
QPushButton* certificateViewTop::englishCertificatePrintButton() const {
    return form_->englishCertificatePrintButton;
}
QPushButton* certificateViewTop::chineseCertificatePrintButton() const {
    return form_->chineseCertificatePrintButton;
}
QPushButton* certificateViewTop::japaneseThreePageCertificatePrintButton() const {
    return form_->japaneseThreePageCertificatePrintButton;
}
QPushButton* certificateViewTop::englishThreePageCertificatePrintButton() const {
    return form_->englishThreePageCertificatePrintButton;
}
QPushButton* certificateViewTop::chineseThreePageCertificatePrintButton() const {
    return form_->chineseThreePageCertificatePrintButton;
}

void certificateViewTop::viewDidLoad() {
    setTitle("診断書登録");
    if (appDelegate_ && appDelegate_->patientID()) patientIDBox()->setStdText(*appDelegate_->patientID());
    patientIDBox()->setDelegate(std::static_pointer_cast<certificateViewTop>(shared_from_this()));
    for (QPushButton* b :
         {onePageCertificateButton(), threePageCertificateButton(), japaneseCertificatePrintButton(),
          englishCertificatePrintButton(), chineseCertificatePrintButton(),
          japaneseThreePageCertificatePrintButton(), englishThreePageCertificatePrintButton(),
          chineseThreePageCertificatePrintButton()})
        b->setVisible(false);
    connect(form_->certificateStartButton, &QPushButton::clicked, this,
            &certificateViewTop::certificateStart);
    connect(form_->printCertificateButton, &QPushButton::clicked, this,
            &certificateViewTop::printCertificate);
    connect(form_->printThreePageCertificateButton, &QPushButton::clicked, this,
            &certificateViewTop::printThreePageCertificate);
    // The one-page toggle has nothing to show while no one-page preview exists.
    form_->printCertificateButton->setVisible(canPerformSegue(kPrintOnePageSegue));
    form_->printThreePageCertificateButton->setVisible(canPerformSegue(kPrintSegue));

    connect(onePageCertificateButton(), &QPushButton::clicked, this,
            &certificateViewTop::onePageCertificateAction);
    connect(threePageCertificateButton(), &QPushButton::clicked, this,
            &certificateViewTop::threePageCertificateAction);
    connect(japaneseCertificatePrintButton(), &QPushButton::clicked, this,
            &certificateViewTop::japaneseCertificatePrintAction);
    connect(englishCertificatePrintButton(), &QPushButton::clicked, this,
            &certificateViewTop::englishCertificatePrintAction);
    connect(chineseCertificatePrintButton(), &QPushButton::clicked, this,
            &certificateViewTop::chineseCertificatePrintAction);
    connect(japaneseThreePageCertificatePrintButton(), &QPushButton::clicked, this,
            &certificateViewTop::japaneseCertificateThreePagePrintAction);
    connect(englishThreePageCertificatePrintButton(), &QPushButton::clicked, this,
            &certificateViewTop::englishCertificateThreePagePrintAction);
    connect(chineseThreePageCertificatePrintButton(), &QPushButton::clicked, this,
            &certificateViewTop::chineseCertificateThreePagePrintAction);
}

void certificateViewTop::toggle(std::initializer_list<std::pair<QPushButton*, const char*>> group) {
    // The group follows its first button that leads somewhere.
    std::optional<bool> show;
    for (const auto& [button, segue] : group)
        if (canPerformSegue(segue) && !show) show = button->isHidden();
    for (const auto& [button, segue] : group)
        button->setVisible(show.value_or(false) && canPerformSegue(segue));
}

void certificateViewTop::certificateStart() {
    toggle({{onePageCertificateButton(), kOnePageSegue}, {threePageCertificateButton(), kStartSegue}});
}

void certificateViewTop::printCertificate() {
    toggle({{japaneseCertificatePrintButton(), kPrintOnePageSegue},
            {englishCertificatePrintButton(), kPrintOnePageSegue},
            {chineseCertificatePrintButton(), kPrintOnePageSegue}});
}

void certificateViewTop::printThreePageCertificate() {
    toggle({{japaneseThreePageCertificatePrintButton(), kPrintSegue},
            {englishThreePageCertificatePrintButton(), kPrintSegue},
            {chineseThreePageCertificatePrintButton(), kPrintSegue}});
}

bool certificateViewTop::textFieldShouldReturn(ui::TextField&) {
    certificateStart();
    return true;
}

bool certificateViewTop::getPatientInfo() {
    return appDelegate_ &&
           shell::passPatientGate(*this, *appDelegate_, patientIDBox()->stdText(), kInquirySegue);
}

void certificateViewTop::onePageCertificateAction() {
    foundation::log("you click one page certification fill out button");
    choose("", "FillOut", true, kOnePageSegue);
}

void certificateViewTop::threePageCertificateAction() {
    foundation::log("you click three page certificate fill out button");
    choose("", "FillOut", true, kStartSegue);
}

void certificateViewTop::choose(const std::string& language, const std::string& mode, bool touchMode,
                                const char* segue) {
    StaticVariableHelper::setCertificatePrintLanguage(language);
    StaticVariableHelper::setCertificatePrint(mode);
    if (!getPatientInfo()) return;
    std::weak_ptr<certificateViewTop> weak = std::static_pointer_cast<certificateViewTop>(shared_from_this());
    shell::openStoredForm(*this, *appDelegate_, shell::StoredForm::Certificate, [weak, touchMode, segue] {
        auto self = weak.lock();
        if (!self) return;
        self->patientIDBox()->resignFirstResponder();
        // The pages show and print the registered photographs: without them, none opens.
        const std::string id = segue;
        const auto unread = id == kStartSegue || id == kPrintSegue
                                ? self->appDelegate_->getCertificatePhotoInfo()
                                : self->appDelegate_->getLetterPhotoInfo();
        if (unread) return shell::presentPhotoReadFailure(*self, *unread);
        self->appDelegate_->setTouchMode(touchMode);
        self->performSegue(segue, self.get());
    });
}
