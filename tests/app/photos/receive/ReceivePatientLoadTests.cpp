// The receive screen loads its patient again when it opens: a database that cannot be read then is
// said as the gate says it, not as a patient who is not there.
#include <catch2/catch.hpp>

#include "platform/sqlite/SQDatabase.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/support/ErrorAlert.h"

TEST_CASE("the receive screen says when its patient cannot be read", "[photos][peer]") {
    receivetest::ReceiveScreen s;
    auto& delegate = s.app.delegate();
    const std::string path = store::ClinicDatabase::databasePath();
    delegate.db()->setMaxBusyRetryTimeInterval(0); // a lock is met at once, not after two seconds

    // The screen as the start screen's segue opens it, for a patient the gate found a moment ago.
    auto openScreen = [&](const std::string& pid) {
        auto screen = std::make_shared<PeerListViewController>();
        screen->setPatientID(pid);
        screen->createSessionWithDisplayName("clinic-tablet");
        s.app.launched.navigation()->pushViewController(screen, false);
        s.screen = screen;
        return testsupport::errorAlertMessage(s.app.alert());
    };

    SECTION("a database locked by another program") {
        storetest::ClinicDbProbe other(path);
        other.exec("BEGIN EXCLUSIVE");
        CHECK(openScreen("999999") ==
              "患者情報を読み込めませんでした。\n原因: 他のプログラムがデータベースを使用中です。");
        s.grab("receive-locked.png");
        other.exec("ROLLBACK");
    }
    SECTION("a damaged database file") {
        storetest::DamagedDatabase damage(path);
        CHECK(openScreen("999999") ==
              "患者情報を読み込めませんでした。\n原因: データベースのファイルが破損しています。");
        CHECK(storetest::fileBytes(path) == damage.damaged());
        damage.repair();
    }
    SECTION("a patient who is not there keeps its own words") {
        CHECK(openScreen("123456") == "入力されたIDの患者情報はありません");
    }
}
