// What the staff read when the clinic database refuses: the cause in their words, whatever SQLite or
// the system said; and a database the app cannot use is said at launch, the file left as it was.
#include <sqlite3.h>

#include <catch2/catch.hpp>
#include <cerrno>
#include <filesystem>

#include "app/shell/DatabaseProblem.h"
#include "app/store/ClinicDatabase.h"
#include "platform/foundation/Log.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/app/store/FullDiskVfs.h"
#include "tests/support/ErrorAlert.h"
#include "tests/support/GrabFolder.h"

TEST_CASE("the causes of an unusable clinic database in the staff's words", "[shell][database]") {
    auto cause = [](int code, int systemError = 0, std::string message = "") {
        return shell::databaseFailureCause({code, systemError, std::move(message)});
    };
    const std::string inUse = "他のプログラムがデータベースを使用中です。";
    CHECK(cause(SQLITE_BUSY) == inUse);
    CHECK(cause(SQLITE_LOCKED) == inUse);
    CHECK(cause(SQLITE_BUSY_SNAPSHOT) == inUse); // extended codes read as their primary one
    const std::string damaged = "データベースのファイルが破損しています。";
    CHECK(cause(SQLITE_NOTADB) == damaged);
    CHECK(cause(SQLITE_CORRUPT) == damaged);
    CHECK(cause(SQLITE_FULL) == "ディスクの空き容量が足りません。");
    CHECK(cause(SQLITE_IOERR, ENOSPC) == "ディスクの空き容量が足りません。");
    CHECK(cause(SQLITE_READONLY) == "データベースのファイルに書き込みの権限がありません。");
    CHECK(cause(SQLITE_CANTOPEN, ENOENT) == "データベースのファイルが見つかりません。");
    CHECK(cause(SQLITE_CANTOPEN, EACCES) == "データベースのファイルを読み書きする権限がありません。");
    CHECK(cause(SQLITE_CANTOPEN, ENOTDIR) == "データベースのフォルダの場所に同じ名前のファイルがあります。");
    CHECK(cause(SQLITE_CANTOPEN) == "データベースのファイルを開けません。");
    CHECK(cause(SQLITE_IOERR, EIO) == "ディスクの読み書きに失敗しました。");
    // Anything else keeps SQLite's own words, for whoever is called to look.
    CHECK(cause(SQLITE_ERROR, 0, "no such table: patientMst") ==
          "データベースのエラーです（no such table: patientMst）。");
    CHECK(cause(SQLITE_MISMATCH) == "データベースのエラーです（datatype mismatch）。");

    CHECK(shell::patientReadFailureMessage({SQLITE_BUSY, 0, "database is locked"}) ==
          "患者情報を読み込めませんでした。\n原因: " + inUse);
}

namespace fs = std::filesystem;

TEST_CASE("a clinic database that cannot be used is said at launch and left as it was",
          "[shell][startup][database]") {
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    const std::string path = store::ClinicDatabase::databasePath();
    auto launchOnce = [] {
        store::ClinicState first;
        store::ClinicDatabase(first).connectDB();
    };
    storetest::FullDiskVfs disk;
    std::optional<storetest::DamagedDatabase> damage;
    std::optional<storetest::DamagedPages> damagedPages;
    std::string cause, shot;

    SECTION("a damaged file") {
        launchOnce();
        damage.emplace(path);
        cause = "データベースのファイルが破損しています。";
        shot = "database-damaged.png";
    }
    SECTION("damaged pages behind a whole header, which only a read of those pages meets") {
        launchOnce();
        damagedPages.emplace(path, 4, 6);
        cause = "データベースのファイルが破損しています。";
        shot = "database-damaged-pages.png";
    }
    SECTION("a read-only file in a writable home") {
        launchOnce();
        fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
        disk.setReadOnlyFiles(true); // as the system opens it for a process the bits bind
        cause = "データベースのファイルに書き込みの権限がありません。";
        shot = "database-read-only.png";
    }
    SECTION("a disk too full at the first launch to create the tables") {
        disk.setFull(true);
        cause = "ディスクの空き容量が足りません。";
        shot = "database-full.png";
    }
    const std::string before = storetest::fileBytes(path);

    foundation::LogCapture log;
    shelltest::LaunchedApp launched;
    launched.launch();
    launched.settle();
    auto alerts = launched.window().visibleAlerts();
    REQUIRE(alerts.size() == 1);
    auto alert = alerts.front();
    CHECK(testsupport::errorAlertMessage(alert) ==
          "データベースを使用できないため、患者情報や書類の読み込みまたは保存ができません。\n\nファイル: " +
              path + "\n原因: " + cause);
    CHECK(log.contains("The clinic database " + path + " cannot be used"));
    launched.window().grab().save(testsupport::grabPath(QString::fromStdString(shot)));

    // Nothing was written into it: a file the launch made on the full disk stays empty.
    CHECK(storetest::fileBytes(path) == before);
    CHECK_FALSE(fs::exists(path + "-journal"));
    // The app goes on to its main menu once the alert is read.
    CHECK(alert->tapAction("OK"));
    CHECK(launched.window().visibleAlerts().empty());
    CHECK(launched.navigation()->viewControllers().size() == 1);
}
