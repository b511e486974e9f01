// The receive screen against the peer-send program as a second process, over loopback.
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <catch2/catch.hpp>
#include <nlohmann/json.hpp>

#include "app/photos/hud/ZVProgressHUD.h"
#include "platform/foundation/Log.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"
#include "tests/support/ManualQueueClock.h"

using receivetest::peerSend;
using receivetest::ReceiveScreen;
using receivetest::Run;

TEST_CASE("photographs sent by peer-send are stored as sent and filed for the patient",
          "[photos][peer][e2e]") {
    ReceiveScreen s;
    // The patient's stored slot map; the receive screen must write it back unchanged.
    const std::string slotMap = R"({"1":"11111111-2222-4333-8444-555555555555\/L0\/001"})";
    s.app.probe().exec(
        "INSERT INTO photoMst VALUES ('10000','999999','札幌　太郎','normal','{}','2014-10-13','','" +
        slotMap + "')");
    REQUIRE(s.open("999999"));

    QTemporaryDir dir;
    std::vector<QByteArray> sent;
    QStringList steps{"text:Start,5", "expect:Readiness"};
    for (int i = 0; i < 5; ++i) {
        sent.push_back(receivetest::jpeg(i + 1));
        const QString path = dir.filePath(QString("photo%1.jpg").arg(i + 1));
        QFile f(path);
        REQUIRE(f.open(QIODevice::WriteOnly));
        f.write(sent.back());
        f.close();
        steps << "file:" + path << QString("expect:Progress,%1").arg(i + 1);
    }
    steps << "text:End"
          << "expect:Completion";

    receivetest::HudWatch hud;
    const Run run = peerSend(s.discoveryPort(), steps);
    CHECK(run.exitCode == 0);
    CHECK(run.has("state: connected clinic-tablet"));
    CHECK(run.has("reply: Readiness"));
    for (int k = 1; k <= 5; ++k)
        CHECK(run.has(QString("reply: Progress,%1").arg(k)));
    CHECK(run.has("reply: Completion"));
    CHECK(run.has("done"));
    CHECK(hud.seen("受信完了"));
    CHECK(hud.seen("受信中\n5/5"));
    s.grab("receive-complete.png");

    // The move is not waited for by the screen; the library's queue finishes it.
    photos::PhotoLibrary::shared()->queue()->drain();
    const auto pool = receivetest::albumAssets("ID_999999");
    REQUIRE(pool.size() == 5);
    for (size_t i = 0; i < 5; ++i)
        CHECK(receivetest::bytesOf(pool[i]) == sent[i]);
    CHECK(receivetest::albumAssets("Eye-Fi").empty());
    CHECK(receivetest::albumAssets("ID_999999_normal").empty());

    auto rows = s.app.probe().rows("SELECT cid, name, photo_no, photo_date, photo_data, photo_num FROM "
                                   "photoMst WHERE pid = '999999' AND "
                                   "category = 'normal'");
    REQUIRE(rows.size() == 1);
    CHECK(rows[0][0] == "10000");
    CHECK(rows[0][1] == "札幌　太郎");
    CHECK(rows[0][3] == s.app.delegate().state().today());
    CHECK(rows[0][4] == "");
    CHECK(rows[0][5] == slotMap);
    const auto photoNo = nlohmann::json::parse(rows[0][2].value_or(""));
    std::vector<std::string> listed = photoNo.at("rowsList");
    REQUIRE(listed.size() == 5);
    for (size_t i = 0; i < 5; ++i)
        CHECK(listed[i] == pool[i].localIdentifier);
    CHECK(rows[0][2]->find("\\/L0\\/001") != std::string::npos); // "/" written as "\/"

    // The picker shows the photographs just received.
    s.screen->showImagePickerController(false);
    auto picker = std::dynamic_pointer_cast<ZQImagePickerController>(
        s.app.launched.navigation()->presentedViewController());
    REQUIRE(picker);
    CHECK(picker->shownAssets().size() == 5);
    CHECK(QTest::qWaitFor(
        [&] {
            for (int row = 0; row < picker->gridView()->count(); ++row)
                if (picker->gridView()->item(row)->icon().isNull()) return false;
            return true;
        },
        receivetest::kEventWaitMs));
    s.grab("receive-picker.png");
}

namespace {

// The steps of one transfer of the photographs, each file answered before the next goes.
QStringList transferSteps(const QStringList& files) {
    QStringList steps{QString("text:Start,%1").arg(files.size()), "expect:Readiness"};
    for (int k = 0; k < files.size(); ++k)
        steps << files[k] << QString("expect:Progress,%1").arg(k + 1);
    return steps << "text:End"
                 << "expect:Completion";
}

// Whether the pool holds exactly these photographs, in this order (compared here: a failing CHECK
// would print every byte of them).
bool poolHolds(const std::vector<QByteArray>& sent) {
    const auto pool = receivetest::albumAssets("ID_999999");
    if (pool.size() != sent.size()) {
        UNSCOPED_INFO("the pool holds " << pool.size() << " photographs of " << sent.size());
        return false;
    }
    for (size_t i = 0; i < pool.size(); ++i)
        if (receivetest::bytesOf(pool[i]) != sent[i]) {
            UNSCOPED_INFO("photograph " << i + 1 << " differs");
            return false;
        }
    return true;
}

bool filingDone() {
    const auto& st = PeerTransferState::shared();
    return !st.endStepRunning && !st.filing;
}

} // namespace

TEST_CASE("transfers back to back, with no pause between them, all complete and are all filed",
          "[photos][peer][e2e]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    QTemporaryDir dir;
    std::vector<QByteArray> sent;
    std::vector<QStringList> transfers;

    SECTION("two transfers of one small photograph each") {
        sent = {receivetest::jpeg(1), receivetest::jpeg(2)};
        const QStringList files = receivetest::writeJpegs(dir.path(), sent);
        transfers = {{files[0]}, {files[1]}};
    }
    SECTION("three transfers of small and 12-megapixel photographs") {
        sent = {receivetest::jpeg(1), testsupport::photograph(2), receivetest::jpeg(3), receivetest::jpeg(4),
                testsupport::photograph(5)};
        const QStringList files = receivetest::writeJpegs(dir.path(), sent);
        transfers = {{files[0], files[1]}, {files[2]}, {files[3], files[4]}};
    }

    QStringList steps;
    for (const auto& files : transfers)
        steps += transferSteps(files);
    const Run run = peerSend(s.discoveryPort(), steps, "tablet-b", 120);
    INFO(run.lines.join("\n").toStdString());
    CHECK(run.exitCode == 0);
    CHECK(run.lines.count("reply: Completion") == int(transfers.size()));
    CHECK(run.lines.count("reply: Readiness") == int(transfers.size()));

    REQUIRE(QTest::qWaitFor(filingDone, receivetest::kEventWaitMs));
    photos::PhotoLibrary::shared()->queue()->drain();
    CHECK(poolHolds(sent));
    CHECK(receivetest::albumAssets("Eye-Fi").empty());
    auto rows =
        s.app.probe().rows("SELECT photo_no FROM photoMst WHERE pid = '999999' AND category = 'normal'");
    REQUIRE(rows.size() == 1);
    const auto listed = nlohmann::json::parse(rows[0][0].value_or("")).at("rowsList");
    CHECK(listed.size() == sent.size());
}

TEST_CASE("a sender that leaves during its second transfer has those photographs filed too",
          "[photos][peer][e2e]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    QTemporaryDir dir;
    const std::vector<QByteArray> sent = {receivetest::jpeg(1), receivetest::jpeg(2)};
    const QStringList files = receivetest::writeJpegs(dir.path(), sent);
    // The second Start comes while the first transfer's photographs are being filed.
    const QStringList steps = transferSteps({files[0]}) + QStringList{"text:Start,2", "expect:Readiness",
                                                                      files[1], "expect:Progress,1", "bye"};
    const Run run = peerSend(s.discoveryPort(), steps, "tablet-b", 60);
    CHECK(run.exitCode == 0);
    REQUIRE(QTest::qWaitFor([] { return PeerTransferState::shared().status == 0 && filingDone(); },
                            receivetest::kEventWaitMs));
    photos::PhotoLibrary::shared()->queue()->drain();
    CHECK(poolHolds(sent));
    CHECK(receivetest::albumAssets("Eye-Fi").empty());
}

TEST_CASE("a sender silent after Start is let go at 180 seconds, and the next sender is admitted",
          "[photos][peer][e2e]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    testsupport::ManualTimeOn manual(foundation::SerialQueue::main());
    const auto& st = PeerTransferState::shared();
    receivetest::PeerSendProcess silent(
        s.discoveryPort(), {"text:Start,3", "expect:Readiness", "wait:3600000"}, "tablet-a", 3700);
    REQUIRE(QTest::qWaitFor([&] { return st.status == 1 && st.timer; }, receivetest::kEventWaitMs));
    manual.advance(179);
    REQUIRE(receivetest::settleMainQueue());
    CHECK(silent.running());
    CHECK(s.screen->sessionHelper()->connectedPeersCount() == 1);
    manual.advance(2);
    const Run dropped = silent.finish();
    CHECK(dropped.exitCode == 3);
    CHECK(dropped.has("error: session ended before the script did"));
    REQUIRE(QTest::qWaitFor(
        [&] { return st.status == 0 && s.screen->sessionHelper()->connectedPeersCount() == 0; },
        receivetest::kEventWaitMs));

    QTemporaryDir dir;
    const QByteArray photo = receivetest::jpeg(9);
    const Run next = peerSend(s.discoveryPort(), transferSteps(receivetest::writeJpegs(dir.path(), {photo})));
    CHECK(next.exitCode == 0);
    CHECK(next.has("reply: Completion"));
    REQUIRE(QTest::qWaitFor(filingDone, receivetest::kEventWaitMs));
    photos::PhotoLibrary::shared()->queue()->drain();
    CHECK(poolHolds({photo}));
}

TEST_CASE("a second sender is declined while one is connected, and admitted after it leaves",
          "[photos][peer][e2e]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    receivetest::Sender first("tablet-a");
    REQUIRE(first.join(s.discoveryPort()));
    REQUIRE(first.text("Start,2"));
    REQUIRE(first.expect("Readiness"));

    const Run declined = peerSend(s.discoveryPort(), {"text:Ready", "expect:Readiness"}, "tablet-b", 10);
    CHECK(declined.exitCode == 2);
    CHECK(declined.has("error: declined"));
    CHECK(s.screen->sessionHelper()->connectedPeersCount() == 1);

    first.session.disconnect();
    REQUIRE(QTest::qWaitFor([&] { return s.screen->sessionHelper()->connectedPeersCount() == 0; },
                            receivetest::kEventWaitMs));
    const Run admitted = peerSend(s.discoveryPort(), {"text:Ready", "expect:Readiness"}, "tablet-b", 10);
    CHECK(admitted.exitCode == 0);
}

// The end step waits in a nested loop; these senders must act meanwhile, so they run as processes.
TEST_CASE("the end step against a sender that keeps talking or leaves", "[photos][peer][e2e]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    QTemporaryDir dir;
    const QStringList photo = receivetest::writeJpegs(dir.path(), {receivetest::jpeg(1)});
    foundation::LogCapture log;
    receivetest::HudWatch hud;

    SECTION("a second End while the end step waits is ignored") {
        const Run run =
            peerSend(s.discoveryPort(),
                     QStringList{"text:Start,1", "expect:Readiness", "text:End", "text:End", "wait:300"} +
                         photo + QStringList{"expect:Progress,1", "expect:Completion", "wait:300"});
        CHECK(run.exitCode == 0);
        CHECK(run.lines.count("reply: Completion") == 1);
        CHECK(log.count("End ignored: this transfer's End was taken already") == 1);
        CHECK(hud.seen("受信完了"));
    }
    SECTION("a sender leaving before its photographs are in gets no Completion; what arrived is filed") {
        const Run run =
            peerSend(s.discoveryPort(), QStringList{"text:Start,3", "expect:Readiness"} + photo +
                                            QStringList{"expect:Progress,1", "text:End", "wait:300", "bye"});
        CHECK(run.exitCode == 0);
        CHECK_FALSE(run.has("reply: Completion"));
        REQUIRE(QTest::qWaitFor(
            [] {
                return PeerTransferState::shared().status == 0 && !PeerTransferState::shared().endStepRunning;
            },
            receivetest::kEventWaitMs));
        CHECK_FALSE(hud.seen("受信完了"));
        CHECK(hud.seen("接続が切れました"));
        photos::PhotoLibrary::shared()->queue()->drain();
        CHECK(receivetest::albumAssets("ID_999999").size() == 1);
        CHECK(receivetest::albumAssets("Eye-Fi").empty());
    }
    SECTION("a sender leaving mid-transfer without End: what arrived is filed all the same") {
        const Run run = peerSend(s.discoveryPort(), QStringList{"text:Start,3", "expect:Readiness"} + photo +
                                                        QStringList{"expect:Progress,1", "bye"});
        CHECK(run.exitCode == 0);
        REQUIRE(
            QTest::qWaitFor([&] { return log.contains("transfer cut short"); }, receivetest::kEventWaitMs));
        REQUIRE(QTest::qWaitFor([] { return !PeerTransferState::shared().endStepRunning; },
                                receivetest::kEventWaitMs));
        photos::PhotoLibrary::shared()->queue()->drain();
        CHECK(receivetest::albumAssets("ID_999999").size() == 1);
    }
}

TEST_CASE("leaving the screen while its end step waits does not resume on a destroyed screen",
          "[photos][peer][e2e]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    QTemporaryDir dir;
    const QStringList photo = receivetest::writeJpegs(dir.path(), {receivetest::jpeg(2)});
    std::weak_ptr<PeerListViewController> weak = s.screen;
    // Fires inside the end step's wait: the clinician goes back to the menu. Bound to a guard that
    // goes with the test, so it never fires on a screen fixture that is gone.
    QObject guard;
    QTimer::singleShot(800, &guard, [&s] {
        s.app.launched.navigation()->popToRootViewController(false);
        s.screen.reset();
    });
    const Run run =
        peerSend(s.discoveryPort(), QStringList{"text:Start,1", "expect:Readiness", "text:End", "wait:3000"} +
                                        photo + QStringList{"expect:Progress,1"});
    CHECK(run.exitCode == 3); // the screen went, and with it the session
    REQUIRE(QTest::qWaitFor([] { return !PeerTransferState::shared().endStepRunning; },
                            receivetest::kEventWaitMs));
    CHECK(PeerTransferState::shared().status == 0);
    s.app.launched.settle(50);
    CHECK(weak.expired());
}
