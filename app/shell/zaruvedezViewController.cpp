#include "app/shell/zaruvedezViewController.h"

#include <QPushButton>
#include <QUrl>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "ui_zaruvedezViewController.h"

zaruvedezViewController::zaruvedezViewController() : form_(std::make_unique<Ui::zaruvedezViewController>()) {}

zaruvedezViewController::~zaruvedezViewController() = default;

void zaruvedezViewController::loadView() {
    loadViewFromForm(*form_);
}

QPushButton* zaruvedezViewController::TrovaButton() const {
    return form_->TrovaButton;
}
QPushButton* zaruvedezViewController::LetterButton() const {
    return form_->LetterButton;
}
QLabel* zaruvedezViewController::versionLabel() const {
    return form_->versionLabel;
}

void zaruvedezViewController::viewDidLoad() {
    auto defaults = foundation::UserDefaults::standard();
    const bool useLetter = defaults->boolForKey("Use_Letter");
    if (!useLetter) LetterButton()->setVisible(true);
    foundation::log("zaruvedezViewController, uiLetterSwitch: %d", useLetter);

    const bool useTrova = defaults->boolForKey("Use_TrovaSystem");
    if (!useTrova) TrovaButton()->setVisible(true);
    foundation::log("zaruvedezViewController, uiTrovaSwitch: %d", useTrova);
    // Without a configured host the button has nowhere to go.
    TrovaButton()->setEnabled(loginPageURL().has_value());
    connect(TrovaButton(), &QPushButton::clicked, this, &zaruvedezViewController::TrovaButtonDidTouch);

    const auto version = foundation::Bundle::main()->objectForInfoDictionaryKey("CFBundleShortVersionString");
    versionLabel()->setText(QString::fromStdString(foundation::format("Version: %@", version)));
    foundation::log("zaruvedezViewController, viewDidLoad, version: %@", version);

    connectSegueButtons();
}

void zaruvedezViewController::connectSegueButtons() {
    // Each menu button names its segue; one whose screen is not in the storyboard is left out.
    for (QPushButton* button : view()->findChildren<QPushButton*>()) {
        const std::string segue = button->property("segue").toString().toStdString();
        if (segue.empty()) continue;
        if (!canPerformSegue(segue)) {
            button->setVisible(false);
            continue;
        }
        connect(button, &QPushButton::clicked, this, [this, segue, button] { performSegue(segue, button); });
    }
}

std::optional<std::string> zaruvedezViewController::loginPageURL() {
    const std::string host = foundation::UserDefaults::standard()->stringForKey(kLoginHostKey);
    if (host.empty()) return std::nullopt;
    // Only a host (with an optional port) is accepted: nothing may change the page that opens.
    QUrl url("https://" + QString::fromStdString(host) + "/login.php", QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.path() != "/login.php" || url.hasQuery() ||
        url.hasFragment() || !url.userInfo().isEmpty())
        return std::nullopt;
    return url.toString(QUrl::FullyEncoded).toStdString();
}

void zaruvedezViewController::TrovaButtonDidTouch() {
    auto url = loginPageURL();
    auto* app = ui::Application::shared();
    if (url && app) app->openURL(*url);
}
