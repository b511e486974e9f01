#include "app/documents/certificate/certificateView3.h"

#include <QLabel>
#include <QPlainTextEdit>

#include "app/assets/PageResources.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Tag.h"
#include "ui_certificateView3.h"

certificateView3::certificateView3()
    : certificateSlotsPage(3), ui_(std::make_unique<Ui::certificateView3>()) {}
certificateView3::~certificateView3() = default;

void certificateView3::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

std::string certificateView3::noneWord(const std::string& language) {
    if (language == "English") return "N/A";
    if (language == "Chinese") return "无";
    return "無し";
}

void certificateView3::viewDidLoad() {
    selectFaceIconNo_ = 1;
    certificateSlotsPage::viewDidLoad();
    setShowPhotoType("normal");
}

void certificateView3::viewWillAppear(bool animated) {
    certificateSlotsPage::viewWillAppear(animated);
    const std::string lang = language();
    if (lang == "English") ui_->commentLabel->setText("Comment");
    if (lang == "Chinese") ui_->commentLabel->setText("注释");
}

void certificateView3::setInitialData() {
    const std::string pid =
        appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : std::string();
    ui_->karteLabel->setText(QString::fromStdString(pid + "-3"));
    ui_->Comment->setStyleSheet("QPlainTextEdit#Comment { border: 2px solid red; border-radius: 10px; }");
    const std::string none = noneWord(language());
    const auto stored = record().find("90001");
    if (stored != record().end()) {
        foundation::log("certificateView3, objectForKey90001 is %@", stored->second);
        ui_->Comment->setStdText(stored->second == "無し" ? none : stored->second);
    } else {
        ui_->Comment->setStdText(none);
        record()["90001"] = none;
    }
}

void certificateView3::nextFaceIcon(int tag) {
    const int icon = tag + selectFaceIconNo_ % 5 + 1;
    if (QLabel* face = labelWithTag(tag))
        face->setPixmap(assets::bundleImage(foundation::format("icon_%d.png", icon)));
    selectFaceIconNo_ = icon;
    record()[std::to_string(tag)] = std::to_string(icon);
}

void certificateView3::textViewDidEndEditing(ui::TextView& view) {
    if (touchMode()) record()[std::to_string(ui::tag(&view))] = view.stdText();
}
