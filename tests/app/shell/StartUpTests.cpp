#include <catch2/catch.hpp>
#include <filesystem>
#include <regex>

#include "app/shell/zaruvedezViewController.h"
#include "app/store/ClinicDatabase.h"
#include "platform/foundation/Log.h"
#include "sdk/SdkStartUp.h"
#include "sdk/core/VEVApp.h"
#include "tests/app/shell/ShellTestSupport.h"

namespace {
size_t indexOf(const std::vector<std::string>& lines, const std::string& needle) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(needle) != std::string::npos) return i;
    return lines.size();
}
} // namespace

TEST_CASE("start-up builds the shared state in order before the main menu shows", "[shell][startup]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    foundation::LogCapture log;
    shelltest::LaunchedApp launched;
    bool databaseBeforeSDK = true;
    launched.delegate->setSDKStarter(
        [&] { databaseBeforeSDK = std::filesystem::exists(store::ClinicDatabase::databasePath()); });
    app::registerLoadHooks();
    launched.app = std::make_unique<ui::Application>(launched.delegate);
    REQUIRE(launched.app->launch(app::kMainStoryboardName));
    auto& d = *launched.delegate;

    SECTION("the SDK starts before the database is opened, the database before the main menu loads") {
        CHECK_FALSE(databaseBeforeSDK);
        CHECK(std::filesystem::exists(home.path() + "/Documents/zaruvedezManage.db"));
        auto lines = log.lines();
        auto added = indexOf(lines, "Added Tables");
        auto menu = indexOf(lines, "zaruvedezViewController, viewDidLoad, version:");
        REQUIRE(added < lines.size());
        REQUIRE(menu < lines.size());
        CHECK(added < menu);
        CHECK(d.db() != nullptr);
    }

    SECTION("form dictionaries: two absent, three present and empty") {
        CHECK_FALSE(d.inputItems().has_value());
        CHECK_FALSE(d.patientInfo().has_value());
        CHECK_FALSE(d.patientID().has_value());
        CHECK(d.certifiDataList().empty());
        CHECK(d.letterDataList().empty());
        CHECK(d.medicalList().empty());
        CHECK_FALSE(d.touchMode());
    }

    SECTION("the shared bar items and the date formatter") {
        REQUIRE(d.registButton());
        REQUIRE(d.cancelButton());
        CHECK(d.registButton()->title() == "登録");
        CHECK(d.registButton()->style() == ui::BarButtonItemStyle::Done);
        CHECK(d.cancelButton()->title() == "キャンセル");
        CHECK(d.cancelButton()->style() == ui::BarButtonItemStyle::Plain);
        REQUIRE(d.dateTimeFormatter());
        CHECK(d.dateTimeFormatter()->dateFormat() == "yyyy-MM-dd");
        CHECK(std::regex_match(d.state().today(), std::regex("\\d{4}-\\d{2}-\\d{2}")));
        CHECK(d.applicationDocumentsDirectory() == home.path() + "/Documents");
    }

    SECTION("the window shows the main menu inside a navigation stack") {
        auto nav = launched.navigation();
        REQUIRE(nav);
        auto menu = std::dynamic_pointer_cast<zaruvedezViewController>(nav->topViewController());
        REQUIRE(menu);
        CHECK(menu->isAppeared());
        CHECK(launched.window().isVisible());
        CHECK(zurarerizIvaDadadavu::shared() == launched.delegate);
    }

    SECTION("termination saves the empty store and writes no file for it") {
        launched.app->terminate();
        CHECK_FALSE(std::filesystem::exists(home.path() + "/Documents/stomavue.sqlite"));
        CHECK_FALSE(log.contains("Unresolved error"));
    }
}

TEST_CASE("start-up configures the SDK's default app", "[shell][startup][sdk]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    sdk::registerLoadHooks();
    VEVApp::resetApps();
    {
        auto delegate = std::make_shared<zurarerizIvaDadadavu>(); // the real SDK start
        app::registerLoadHooks();
        ui::Application app(delegate);
        REQUIRE(app.launch(app::kMainStoryboardName));
        CHECK(VEVApp::isDefaultAppConfigured());
        delegate->setWindow(nullptr);
    }
    VEVApp::resetApps();
}
