#include "app/documents/certificate/certificateView2.h"

#include <QLabel>

#include "app/assets/PageResources.h"
#include "app/documents/pages/PrintedArtwork.h"
#include "app/documents/pages/PrintedText.h"
#include "app/shell/FormAlerts.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Tag.h"
#include "ui_certificateView2.h"

certificateView2::certificateView2()
    : certificateSlotsPage(2), ui_(std::make_unique<Ui::certificateView2>()) {}
certificateView2::~certificateView2() = default;

void certificateView2::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

void certificateView2::setInitialData() {
    const std::string pid =
        appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : std::string();
    ui_->karteLabel->setText(QString::fromStdString(pid + "-2"));
    if (record().count("61")) calcToothAge();
}

int certificateView2::toothAgeTens(int teeth) {
    static const int kBounds[] = {28, 27, 26, 24, 22, 18, 14, 10, 0};
    for (int i = 0; i + 1 < int(std::size(kBounds)); ++i)
        if (kBounds[i + 1] < teeth && teeth <= kBounds[i]) return i + 2;
    return 9;
}

void certificateView2::calcToothAge() {
    const int teeth = int(integerValue(ui_->toothNumText->stdText()));
    const auto show = [this](QLabel* label, int digit) {
        label->setPixmap(assets::bundleImage(foundation::format("icon_num_%d.png", digit)));
        // Printed, the digits are drawn as text, as the page around them is.
        if (!touchMode()) documents::printToothAgeDigit(label, digit);
    };
    show(ui_->toothAgeImage1, toothAgeTens(teeth));
    show(ui_->toothAgeImage2, 0);
}

void certificateView2::textViewDidEndEditing(ui::TextView& view) {
    if (!touchMode() || !appDelegate_) return;
    if (!appDelegate_->checkDigit(view.stdText(), "0123456789")) {
        // Emptied and kept editing, with one alert: the focus comes back once the alert is answered.
        view.setStdText("");
        QPointer<ui::TextView> target(&view);
        shell::presentError(*this, "数字のみ入力してください", [target](ui::AlertAction&) {
            if (target) target->becomeFirstResponder();
        });
        return;
    }
    if (ui::tag(&view) == 61) calcToothAge();
    record()[std::to_string(ui::tag(&view))] = view.stdText();
}
