#include <QLabel>
#include <QPushButton>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "app/shell/zaruvedezViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/shell/ShellTestSupport.h"

namespace {
std::shared_ptr<zaruvedezViewController> mainMenu(const shelltest::LaunchedApp& launched) {
    auto nav = launched.navigation();
    return nav ? std::dynamic_pointer_cast<zaruvedezViewController>(nav->viewControllers().front()) : nullptr;
}

// Each menu button and the screen it leads to.
struct MenuWay {
    const char* button;
    const char* scene;
};
const MenuWay kMenuWays[] = {{"patientRegistButton", "patientRegistViewTop"},
                             {"inquiryButton", "inquiryViewTop"},
                             {"receivePhotoButton", "RcvViewController"},
                             {"LetterButton", "LetterViewTop"},
                             {"selectPhotoButton", "selectPhotosViewTop"}};
} // namespace

TEST_CASE("the main menu shows only what leads somewhere", "[shell][menu]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    auto defaults = foundation::UserDefaults::standard();
    foundation::LogCapture log;
    shelltest::LaunchedApp launched;

    SECTION("every button leads to its screen") {
        launched.launch();
        auto menu = mainMenu(launched);
        REQUIRE(menu);
        CHECK(log.contains("zaruvedezViewController, uiLetterSwitch: 0"));
        CHECK(log.contains("zaruvedezViewController, uiTrovaSwitch: 0"));
        for (const MenuWay& way : kMenuWays) {
            INFO(way.button);
            auto* button = menu->view()->findChild<QPushButton*>(way.button);
            REQUIRE(button);
            CHECK(button->isVisibleTo(menu->view()));
            button->click();
            CHECK(launched.navigation()->topViewController()->storyboardIdentifier() == way.scene);
            launched.navigation()->popToRootViewController(false);
        }
    }

    SECTION("Use_Letter hides the letter button") {
        defaults->setBool(true, "Use_Letter");
        launched.launch();
        auto menu = mainMenu(launched);
        REQUIRE(menu);
        CHECK_FALSE(menu->LetterButton()->isVisibleTo(menu->view()));
        CHECK(log.contains("zaruvedezViewController, uiLetterSwitch: 1"));
    }

    SECTION("Use_TrovaSystem hides the login button") {
        defaults->setBool(true, "Use_TrovaSystem");
        launched.launch();
        auto menu = mainMenu(launched);
        CHECK_FALSE(menu->TrovaButton()->isVisibleTo(menu->view()));
        CHECK(log.contains("zaruvedezViewController, uiTrovaSwitch: 1"));
    }

    SECTION("the version label shows the bundle's short version") {
        launched.launch();
        auto menu = mainMenu(launched);
        CHECK(menu->versionLabel()->text() == "Version: 1.0.0");
        CHECK(log.contains("zaruvedezViewController, viewDidLoad, version: 1.0.0"));
    }
}

TEST_CASE("the login button opens the configured login page only", "[shell][menu][login]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    auto defaults = foundation::UserDefaults::standard();

    SECTION("no host set: shown but disabled, and a tap opens nothing") {
        shelltest::LaunchedApp launched;
        launched.launch();
        auto menu = mainMenu(launched);
        CHECK(menu->TrovaButton()->isVisibleTo(menu->view()));
        CHECK_FALSE(menu->TrovaButton()->isEnabled());
        menu->TrovaButtonDidTouch();
        CHECK(launched.opened.empty());
    }

    SECTION("a host set: its https login page opens") {
        defaults->setObject(foundation::Value("clinic.example.jp"), zaruvedezViewController::kLoginHostKey);
        shelltest::LaunchedApp launched;
        launched.launch();
        auto menu = mainMenu(launched);
        REQUIRE(menu->TrovaButton()->isEnabled());
        menu->TrovaButton()->click();
        CHECK(launched.opened == std::vector<std::string>{"https://clinic.example.jp/login.php"});
    }

    SECTION("a value that is not just a host is refused") {
        for (const char* bad : {"evil.example/x?y=", "user@host.example", "a b", "host.example#frag", ""}) {
            INFO(bad);
            defaults->setObject(foundation::Value(bad), zaruvedezViewController::kLoginHostKey);
            CHECK_FALSE(zaruvedezViewController::loginPageURL().has_value());
        }
        defaults->setObject(foundation::Value("clinic.example.jp:8443"),
                            zaruvedezViewController::kLoginHostKey);
        CHECK(zaruvedezViewController::loginPageURL() == "https://clinic.example.jp:8443/login.php");
    }
}

TEST_CASE("the main menu renders headless at the screen's size", "[shell][menu][grab]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    shelltest::LaunchedApp launched;
    launched.launch();
    launched.settle();
    QImage shot = launched.window().grab().toImage();
    CHECK(shot.size() == QSize(768, 1024));
    // Something is drawn: the title's dark text on the white page.
    bool dark = false;
    for (int y = 100; y < 250 && !dark; ++y)
        for (int x = 0; x < shot.width() && !dark; ++x)
            dark = qGray(shot.pixel(x, y)) < 100;
    CHECK(dark);
    if (const char* out = std::getenv("ZARUVEDEZ_SHOT")) shot.save(out);
}
