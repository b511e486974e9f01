// What the receive screen reads from the clinic database: its patient when it opens, said as the gate
// says it when the database cannot be read, and the registered slots when it files a transfer, which a
// read that failed never replaces.
#include <QTimer>
#include <catch2/catch.hpp>

#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/app/store/FullDiskVfs.h"
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

TEST_CASE("a receive whose slot read meets another program's lock keeps the registered selection",
          "[photos][peer]") {
    storetest::FullDiskVfs disk; // only to see the lock met
    receivetest::ReceiveScreen s;
    auto& st = PeerTransferState::shared();
    const std::string path = store::ClinicDatabase::databasePath();
    s.app.probe().exec(
        "INSERT INTO photoMst VALUES ('10000', '999999', '札幌　太郎', 'normal', "
        "'{\"rowsList\":[]}', '2001-01-01', '', '{\"1\":\"N\\/L0\\/001\",\"2\":\"N\\/L0\\/002\"}')");
    const auto row = [&] { return s.app.probe().rows("SELECT * FROM photoMst WHERE pid = '999999'"); };
    const auto photoNum = [&] { return row().at(0).at(7).value_or("NULL"); };
    const auto before = row();
    REQUIRE(photoNum() == R"({"1":"N\/L0\/001","2":"N\/L0\/002"})");
    REQUIRE(s.open("999999"));
    s.app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once
    receivetest::Sender sender;
    REQUIRE(sender.join(s.discoveryPort()));
    REQUIRE(sender.text("Start,1"));
    REQUIRE(sender.expect("Readiness"));
    REQUIRE(sender.send(receivetest::jpeg(1)));
    REQUIRE(sender.expect("Progress,1"));

    // Another program holds the database from the acknowledgement until the end step's read has met
    // its lock; by the time the row would be written, it is gone.
    storetest::ClinicDbProbe other(path);
    other.exec("BEGIN EXCLUSIVE");
    bool locked = true;
    QTimer release;
    QObject::connect(&release, &QTimer::timeout, [&] {
        if (!locked || !st.endStepRunning || disk.busyLocks() == 0) return;
        other.exec("ROLLBACK");
        locked = false;
    });
    release.start(0);
    foundation::LogCapture log;
    REQUIRE(sender.text("End"));
    REQUIRE(sender.expect("Completion"));
    REQUIRE(QTest::qWaitFor([&] { return !st.endStepRunning; }, receivetest::kEventWaitMs));
    photos::PhotoLibrary::shared()->queue()->drain();
    release.stop();
    REQUIRE_FALSE(locked);

    // The photograph is filed; the row, slot map and all, is as the staff left it.
    CHECK(receivetest::albumAssets("ID_999999").size() == 1);
    CHECK(receivetest::albumAssets("Eye-Fi").empty());
    CHECK(photoNum() == R"({"1":"N\/L0\/001","2":"N\/L0\/002"})");
    CHECK(row() == before);
    CHECK(log.contains("readPhotoSlots: the slots of 999999 (normal) cannot be read: 5 database is locked"));
    CHECK(log.contains("registPhotoRow: the stored slots of 999999 (normal) were not read; the row is left "
                       "as it was"));

    // The next transfer reads the slots again and writes the row with them.
    REQUIRE(sender.text("Start,1"));
    REQUIRE(sender.expect("Readiness"));
    REQUIRE(sender.send(receivetest::jpeg(2)));
    REQUIRE(sender.text("End"));
    REQUIRE(sender.expect("Completion"));
    REQUIRE(QTest::qWaitFor([&] { return !st.endStepRunning; }, receivetest::kEventWaitMs));
    photos::PhotoLibrary::shared()->queue()->drain();
    CHECK(receivetest::albumAssets("ID_999999").size() == 2);
    CHECK(photoNum() == R"({"1":"N\/L0\/001","2":"N\/L0\/002"})");
    CHECK(row().at(0).at(4) != before.at(0).at(4)); // the pool's list, written anew
}
