#include <QLabel>
#include <QPushButton>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "app/shell/zaruvedezViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Storyboard.h"
#include "tests/app/shell/ShellTestSupport.h"

namespace {
std::shared_ptr<zaruvedezViewController> mainMenu(const shelltest::LaunchedApp& launched) {
    auto nav = launched.navigation();
    return nav ? std::dynamic_pointer_cast<zaruvedezViewController>(nav->viewControllers().front()) : nullptr;
}

// A stand-in for a screen of a later build, to see the menu lead to it.
class PlaceholderScene : public ui::ViewController {};

// The buttons whose screens are not built yet.
const char* const kSceneButtons[] = {"LetterButton", "selectPhotoButton"};
} // namespace

TEST_CASE("the main menu shows only what leads somewhere", "[shell][menu]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    auto defaults = foundation::UserDefaults::standard();
    foundation::LogCapture log;
    shelltest::LaunchedApp launched;

    SECTION("no screen behind a button yet: every such button is absent") {
        launched.launch();
        auto menu = mainMenu(launched);
        REQUIRE(menu);
        for (const char* name : kSceneButtons) {
            auto* b = menu->view()->findChild<QPushButton*>(name);
            REQUIRE(b);
            INFO(name);
            CHECK_FALSE(b->isVisibleTo(menu->view()));
        }
        CHECK(log.contains("zaruvedezViewController, uiLetterSwitch: 0"));
        CHECK(log.contains("zaruvedezViewController, uiTrovaSwitch: 0"));
        // Patient registration is there and leads to its first screen.
        auto* regist = menu->view()->findChild<QPushButton*>("patientRegistButton");
        REQUIRE(regist);
        CHECK(regist->isVisibleTo(menu->view()));
        regist->click();
        CHECK(launched.navigation()->topViewController()->storyboardIdentifier() == "patientRegistViewTop");
        launched.navigation()->popToRootViewController(false);
        auto* inquiry = menu->view()->findChild<QPushButton*>("inquiryButton");
        REQUIRE(inquiry);
        CHECK(inquiry->isVisibleTo(menu->view()));
        inquiry->click();
        CHECK(launched.navigation()->topViewController()->storyboardIdentifier() == "inquiryViewTop");
        launched.navigation()->popToRootViewController(false);
        auto* receive = menu->view()->findChild<QPushButton*>("receivePhotoButton");
        REQUIRE(receive);
        CHECK(receive->isVisibleTo(menu->view()));
        receive->click();
        CHECK(launched.navigation()->topViewController()->storyboardIdentifier() == "RcvViewController");
    }

    SECTION("the letter button follows Use_Letter once its screen exists") {
        auto board = ui::Storyboard::define(shell::kMainStoryboardName);
        shell::registerLoadHooks();
        board->addScene<PlaceholderScene>("LetterViewTop");
        const bool useLetter = GENERATE(false, true);
        if (useLetter) defaults->setBool(true, "Use_Letter");
        launched.launch();
        auto menu = mainMenu(launched);
        REQUIRE(menu);
        CHECK(menu->LetterButton()->isVisibleTo(menu->view()) == !useLetter);
        CHECK(
            log.contains(std::string("zaruvedezViewController, uiLetterSwitch: ") + (useLetter ? "1" : "0")));
        if (!useLetter) {
            menu->LetterButton()->click();
            auto top = launched.navigation()->topViewController();
            CHECK(std::dynamic_pointer_cast<PlaceholderScene>(top) != nullptr);
            CHECK(top->storyboardIdentifier() == "LetterViewTop");
        }
        board->removeScene("LetterViewTop");
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
