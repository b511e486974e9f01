#include <QLabel>
#include <catch2/catch.hpp>

#include "platform/foundation/Log.h"
#include "tests/app/shell/ShellTestSupport.h"

using photos::AuthorizationStatus;

namespace {
const char* const kMessage =
    "画像を読み込むにはすべての写真へのアクセスが必要です。\n"
    "設定画面の【プライバシー】→【写真】→【ストマビュー】から【すべての写真】を選択してください。";

// Waits until the authorization answer of the n-th activation has been logged and handled.
bool answered(const foundation::LogCapture& log, const std::string& line, size_t times,
              const shelltest::LaunchedApp& launched) {
    bool ok = QTest::qWaitFor([&] { return log.count(line) >= times; }, 3000);
    launched.settle(50);
    return ok;
}
} // namespace

TEST_CASE("without full photo access the access alert shows on each activation, one at a time",
          "[shell][photos]") {
    testsupport::TempHome home;
    auto status =
        GENERATE(AuthorizationStatus::Denied, AuthorizationStatus::Limited, AuthorizationStatus::Restricted);
    photos::PhotoLibrary::setAuthorizationStatus(status);
    const std::string line = "requestAuthorization: " + std::to_string(int(status));
    foundation::LogCapture log;
    shelltest::LaunchedApp launched;
    launched.launch();
    REQUIRE(answered(log, line, 1, launched));

    auto alerts = launched.window().visibleAlerts();
    REQUIRE(alerts.size() == 1);
    auto alert = alerts.front();
    CHECK(alert->title() == "アクセスリクエスト");
    CHECK(alert->message() == kMessage);
    CHECK(alert->view()->findChild<QLabel*>("alertMessage")->text() == QString::fromUtf8(kMessage));
    REQUIRE(alert->actions().size() == 1);
    CHECK(alert->actions().front()->title() == "OK");
    CHECK(alert->actions().front()->style() == ui::AlertActionStyle::Default);

    SECTION("a second activation while it shows adds none") {
        launched.app->resignActive();
        launched.app->becomeActive();
        REQUIRE(answered(log, line, 2, launched));
        CHECK(launched.window().visibleAlerts().size() == 1);
        CHECK_FALSE(log.contains("already presenting"));
    }

    SECTION(
        "OK closes it; settings cannot be opened here, so nothing opens; the next activation asks again") {
        CHECK(alert->tapAction("OK"));
        CHECK(launched.window().visibleAlerts().empty());
        CHECK(launched.opened.empty());
        launched.app->resignActive();
        launched.app->becomeActive();
        REQUIRE(answered(log, line, 2, launched));
        CHECK(launched.window().visibleAlerts().size() == 1);
    }

    SECTION("where the settings page can be opened, OK opens it") {
        launched.app->setURLHandler({[](const std::string&) { return true; },
                                     [&](const std::string& url) {
                                         launched.opened.push_back(url);
                                         return true;
                                     }});
        CHECK(alert->tapAction("OK"));
        CHECK(launched.opened == std::vector<std::string>{ui::kApplicationOpenSettingsURLString});
    }
}

TEST_CASE("with full access no alert shows", "[shell][photos]") {
    testsupport::TempHome home;
    SECTION("authorized") {
        photos::PhotoLibrary::setAuthorizationStatus(AuthorizationStatus::Authorized);
    }
    SECTION("not yet asked: asking grants it") {}
    foundation::LogCapture log;
    shelltest::LaunchedApp launched;
    launched.launch();
    REQUIRE(answered(log, "requestAuthorization: 3", 1, launched));
    CHECK(launched.window().visibleAlerts().empty());
    launched.app->resignActive();
    launched.app->becomeActive();
    REQUIRE(answered(log, "requestAuthorization: 3", 2, launched));
    CHECK(launched.window().visibleAlerts().empty());
}
