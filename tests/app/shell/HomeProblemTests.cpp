// A home the app cannot use: the start-up says so in an alert naming the folder and the cause, starts
// nothing else, and quits after OK.
#include <QDir>
#include <catch2/catch.hpp>
#include <cerrno>
#include <filesystem>

#include "app/shell/HomeProblem.h"
#include "platform/foundation/Log.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/support/ErrorAlert.h"

TEST_CASE("a home that cannot be used is said in an alert, and the app quits after OK",
          "[shell][startup][home]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Denied);
    struct Case {
        const char* what;
        foundation::home::Problem problem;
        std::string message;
    };
    // Only named: the check is the test's (generator values are made once for all runs of the case).
    const std::string folder = "/srv/clinic/Library/Preferences";
    auto c = GENERATE_REF(values<Case>({
        {"read-only",
         {folder, EROFS},
         "データを保存するフォルダを作成または書き込みできないため、アプリを終了します。\n\nフォルダ: " +
             folder + "\n原因: ディスクが読み取り専用です。"},
        {"full",
         {folder, ENOSPC},
         "データを保存するフォルダを作成または書き込みできないため、アプリを終了します。\n\nフォルダ: " +
             folder + "\n原因: ディスクの空き容量が足りません。"},
        {"no home",
         {},
         "データを保存するフォルダが決まらないため、アプリを起動できません。\n\n"
         "環境変数 HOME（または ZARUVEDEZ_HOME）を設定してから、もう一度起動してください。"},
    }));
    INFO(c.what);
    foundation::LogCapture log;
    shelltest::LaunchedApp launched;
    std::optional<int> quit;
    launched.delegate->setQuitter([&](int status) { quit = status; });
    launched.delegate->setHomeCheck([&] { return std::optional(c.problem); });
    launched.launch();
    launched.settle(); // the activation comes and goes

    CHECK_FALSE(launched.sdkStarted);
    CHECK_FALSE(std::filesystem::exists(home.path() + "/Documents/zaruvedezManage.db"));
    CHECK(log.contains(c.problem.noHome() ? "No home folder"
                                          : "The home folder " + folder + " cannot be used"));
    auto alerts = launched.window().visibleAlerts();
    REQUIRE(alerts.size() == 1); // not the photo access alert as well
    auto alert = alerts.front();
    CHECK(testsupport::errorAlertMessage(alert) == c.message);
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        launched.window().grab().save(QDir(dir).filePath(QString("home-%1.png").arg(c.problem.error)));

    CHECK_FALSE(quit);
    CHECK(alert->tapAction("OK"));
    REQUIRE(quit);
    CHECK(*quit == EXIT_FAILURE);
}

TEST_CASE("the causes of an unusable home in the staff's words", "[shell][home]") {
    CHECK(shell::homeProblemCause(EACCES) == "書き込む権限がありません。");
    CHECK(shell::homeProblemCause(ENOTDIR) == "同じ名前のファイルがあるため、フォルダを作れません。");
    CHECK(shell::homeProblemCause(ENOENT) == "フォルダの場所が見つかりません。");
    CHECK(shell::homeProblemCause(EIO) == "システムのエラーです（Input/output error）。");
}
