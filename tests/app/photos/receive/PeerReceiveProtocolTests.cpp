// The transfer protocol's corner cases, with a sending device in this process.
#include <QTimer>
#include <algorithm>
#include <catch2/catch.hpp>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

#include "app/photos/albums/McInfo.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/peer/PeerFrame.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"
#include "tests/support/ErrorAlert.h"
#include "tests/support/ManualQueueClock.h"

using receivetest::ReceiveScreen;
using receivetest::Sender;

namespace {

size_t assetFiles() {
    size_t n = 0;
    const auto dir = photos::PhotoLibrary::shared()->root() + "/originals";
    for (auto& e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file()) ++n;
    return n;
}

QString hudText() {
    return ZVProgressHUD::sharedView().stringLabel()->text();
}

// Every photograph's file is refused as by a full disk while it lives.
struct FullDisk {
    FullDisk() {
        photos::PhotoLibrary::setFileWriteFailureForTesting([](const std::string&) { return ENOSPC; });
    }
    ~FullDisk() { photos::PhotoLibrary::setFileWriteFailureForTesting(nullptr); }
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
};

// Holds the photo library's queue from now until released (at the latest when it goes): what is
// queued after this waits.
class HeldLibrary {
  public:
    HeldLibrary() {
        photos::PhotoLibrary::shared()->queue()->async([gate = gate_] { gate->get_future().wait(); });
    }
    ~HeldLibrary() { release(); }
    HeldLibrary(const HeldLibrary&) = delete;
    HeldLibrary& operator=(const HeldLibrary&) = delete;
    void release() {
        if (!released_) gate_->set_value();
        released_ = true;
    }

  private:
    std::shared_ptr<std::promise<void>> gate_ = std::make_shared<std::promise<void>>();
    bool released_ = false;
};

} // namespace

TEST_CASE("the receive screen answers the control texts as the protocol says", "[photos][peer]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    auto& st = PeerTransferState::shared();
    Sender sender;
    REQUIRE(sender.join(s.discoveryPort()));
    REQUIRE(QTest::qWaitFor([&] { return s.screen->tableView()->count() == 1; }, receivetest::kEventWaitMs));
    CHECK(s.screen->tableView()->item(0)->text() == "sender");
    CHECK(s.screen->selectedPeerID());
    s.grab("receive-connected.png");
    // Half a second after the peer joined, the single-photo picker covers the screen.
    REQUIRE(QTest::qWaitFor(
        [&] {
            return std::dynamic_pointer_cast<ZQImagePickerController>(
                       s.app.launched.navigation()->presentedViewController()) != nullptr;
        },
        receivetest::kEventWaitMs));
    auto picker = std::dynamic_pointer_cast<ZQImagePickerController>(
        s.app.launched.navigation()->presentedViewController());
    CHECK_FALSE(picker->allowsMultipleSelection());
    CHECK(picker->assetCollectionSubtypes() == std::vector<int>{209});

    SECTION("a photograph before Start or Ready is dropped without a reply") {
        REQUIRE(sender.send(receivetest::jpeg(1)));
        REQUIRE(sender.text("Ready"));
        REQUIRE(sender.expect("Readiness"));
        CHECK(sender.replies.empty());
        CHECK(st.count == 0);
        CHECK(st.total == 0); // Ready leaves the total alone
        CHECK(st.status == 1);
    }
    SECTION("a second Start during a transfer is forbidden and still resets the count and total") {
        REQUIRE(sender.text("Start,3"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(1)));
        REQUIRE(sender.expect("Progress,1"));
        REQUIRE(sender.text("Start,2"));
        REQUIRE(sender.expect("Forbidden"));
        CHECK(st.count == 0);
        CHECK(st.total == 2);
        REQUIRE(sender.text("Ready"));
        CHECK(sender.expect("Forbidden"));
    }
    SECTION("a Start without a number announces nothing, and End completes at once") {
        REQUIRE(sender.text("Start"));
        REQUIRE(sender.expect("Readiness"));
        CHECK(st.total == 0);
        s.grab("receive-receiving.png");
        REQUIRE(sender.text("End"));
        CHECK(sender.expect("Completion"));
        CHECK(st.status == 0);
        CHECK(hudText() == "受信完了");
        CHECK_FALSE(s.app.launched.navigation()->presentedViewController()); // the picker was closed
    }
    SECTION("a repeated End of a transfer is ignored, and the next transfer's End is served") {
        foundation::LogCapture log;
        REQUIRE(sender.text("Start,1"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(1)));
        REQUIRE(sender.text("End"));
        REQUIRE(sender.text("End"));
        REQUIRE(sender.expect("Completion"));
        // Sent at once: answered when the first transfer's photographs are filed.
        REQUIRE(sender.text("Start,1"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(2)));
        REQUIRE(sender.expect("Progress,1"));
        REQUIRE(sender.text("End"));
        REQUIRE(sender.expect("Completion"));
        REQUIRE(receivetest::settleMainQueue());
        CHECK(sender.replies.empty()); // no second Completion for the first transfer
        CHECK(log.count("End ignored: this transfer's End was taken already") == 1);
        photos::PhotoLibrary::shared()->queue()->drain();
        CHECK(receivetest::albumAssets("ID_999999").size() == 2);
        CHECK(receivetest::albumAssets("Eye-Fi").empty());
    }
    SECTION("an absurd count counts as none") {
        REQUIRE(sender.text("Start,x,99999999999999999999999"));
        REQUIRE(sender.expect("Readiness"));
        CHECK(st.total == 0);
    }
    SECTION("photographs arriving faster than they are saved are numbered 1 to n all the same") {
        REQUIRE(sender.text("Start,4"));
        REQUIRE(sender.expect("Readiness"));
        for (int i = 0; i < 4; ++i)
            REQUIRE(sender.send(receivetest::jpeg(i + 10)));
        REQUIRE(sender.text("End"));
        for (int k = 1; k <= 4; ++k)
            CHECK(sender.expect("Progress," + std::to_string(k)));
        CHECK(sender.expect("Completion"));
        photos::PhotoLibrary::shared()->queue()->drain();
        CHECK(receivetest::albumAssets("ID_999999").size() == 4);
    }
    SECTION("a photograph cut short, or claiming more pixels than it holds, is refused and logged") {
        foundation::LogCapture log;
        const QByteArray whole = receivetest::jpeg(4, 320, 240);
        const QByteArray liar = receivetest::jpegClaiming(7000, 7000);
        REQUIRE(liar.size() < 1000);
        REQUIRE(sender.text("Start,2"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(whole.left(whole.size() / 2)));
        REQUIRE(sender.send(liar));
        REQUIRE(sender.send(receivetest::jpeg(5)));
        REQUIRE(sender.send(receivetest::jpeg(6)));
        REQUIRE(sender.text("End"));
        // Only the two whole photographs are numbered, in the order they came.
        CHECK(sender.expect("Progress,1"));
        CHECK(sender.expect("Progress,2"));
        REQUIRE(sender.expect("Completion"));
        photos::PhotoLibrary::shared()->queue()->drain();
        REQUIRE(receivetest::settleMainQueue());
        CHECK(sender.replies.empty());
        CHECK(log.count("photograph refused:") == 2);
        CHECK(log.contains("the picture is missing data: "));
        CHECK(log.contains("far too few for a picture of 7000 × 7000 pixels"));
        CHECK(st.count == 2);
        CHECK(photos::PhotoLibrary::shared()->allAssets().size() == 2);
        CHECK(receivetest::albumAssets("ID_999999").size() == 2);
    }
    SECTION("a save that fails still counts, and the screen says how many were not saved") {
        foundation::LogCapture log;
        photoalbums::setPhotoFolderName(std::string()); // nowhere to place a photograph
        REQUIRE(sender.text("Start,2"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(1)));
        REQUIRE(sender.send(receivetest::jpeg(2)));
        REQUIRE(sender.text("End"));
        CHECK(sender.expect("Completion"));
        CHECK(hudText() == "2枚の写真を保存できませんでした");
        CHECK(log.contains("2枚の写真を保存できませんでした"));
        CHECK(photos::PhotoLibrary::shared()->allAssets().empty());
        photoalbums::setPhotoFolderName(photoalbums::getPhotoFolderName());
    }
    SECTION("a disk too full to keep the photographs: the screen says why") {
        FullDisk full;
        const std::string notKept = "ディスクの空き容量が足りないため、\n2枚の写真を保存できませんでした";
        REQUIRE(sender.text("Start,2"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(1)));
        REQUIRE(sender.send(receivetest::jpeg(2)));
        const long leavesBefore = st.leaves;
        std::string said = notKept;
        SECTION("and the sender stays") {
            REQUIRE(sender.text("End"));
            CHECK(sender.expect("Completion"));
            CHECK(hudText().toStdString() == notKept);
            s.grab("receive-disk-full.png");
        }
        SECTION("and the sender leaves right after Completion, while the photographs are filed") {
            REQUIRE(sender.expect("Progress,1"));
            REQUIRE(sender.expect("Progress,2"));
            // The filing waits for the library, queued behind both saves, until the leave is taken.
            HeldLibrary held;
            sender.session.onData = [&](const QByteArray& d, const peer::PeerIDPtr&) {
                sender.replies.push_back(d.toStdString());
                if (d == "Completion") QTimer::singleShot(0, [&] { sender.session.disconnect(); });
            };
            QTimer leaveTaken;
            QObject::connect(&leaveTaken, &QTimer::timeout, [&] {
                if (st.leaves == leavesBefore) return;
                leaveTaken.stop();
                CHECK(st.endStepRunning);
                held.release();
            });
            leaveTaken.start(0);
            REQUIRE(sender.text("End"));
            REQUIRE(QTest::qWaitFor([&] { return st.leaves != leavesBefore && !st.endStepRunning; },
                                    receivetest::kEventWaitMs));
            CHECK(hudText() == "接続が切れました");
        }
        SECTION("and the sender leaves once the photographs are filed") {
            REQUIRE(sender.text("End"));
            REQUIRE(sender.expect("Completion"));
            REQUIRE(QTest::qWaitFor([&] { return !st.endStepRunning; }, receivetest::kEventWaitMs));
            REQUIRE(s.app.alert());
            sender.session.disconnect();
            REQUIRE(QTest::qWaitFor([&] { return st.leaves != leavesBefore; }, receivetest::kEventWaitMs));
            CHECK(hudText() == "接続が切れました");
        }
        SECTION("and the next transfer loses one more before the staff read it: both are said") {
            REQUIRE(sender.text("End"));
            REQUIRE(sender.expect("Completion"));
            REQUIRE(sender.text("Start,1"));
            REQUIRE(sender.expect("Readiness"));
            REQUIRE(sender.send(receivetest::jpeg(3)));
            REQUIRE(sender.text("End"));
            REQUIRE(sender.expect("Completion"));
            REQUIRE(QTest::qWaitFor([&] { return !st.endStepRunning; }, receivetest::kEventWaitMs));
            said = notKept + "\n\nディスクの空き容量が足りないため、\n1枚の写真を保存できませんでした";
        }
        // Said where it stays, whatever the sender did, until the staff dismiss it.
        REQUIRE(receivetest::settleMainQueue());
        CHECK(testsupport::errorAlertMessage(s.app.alert()) == said);
        CHECK(photos::PhotoLibrary::shared()->allAssets().empty());
        REQUIRE(s.app.alert()->tapAction("OK"));
        REQUIRE(receivetest::settleMainQueue());
        CHECK_FALSE(s.app.alert());
    }
    SECTION("no camera album at save time: it is made in the same change") {
        // A camera album title no album has.
        photoalbums::setPhotoFolderName(std::string("Camera Roll 2"));
        REQUIRE(sender.text("Start,1"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(5)));
        REQUIRE(sender.expect("Progress,1"));
        photos::PhotoLibrary::shared()->queue()->drain();
        CHECK(receivetest::albumAssets("Camera Roll 2").size() == 1);
        photoalbums::setPhotoFolderName(photoalbums::getPhotoFolderName());
    }
}

TEST_CASE("a sender silent for 180 seconds is let go, and the next sender is admitted", "[photos][peer]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    auto& st = PeerTransferState::shared();
    Sender sender;
    REQUIRE(sender.join(s.discoveryPort()));
    testsupport::ManualTimeOn manual(foundation::SerialQueue::main());
    foundation::LogCapture log;
    // The end step waits in a loop of its own: the clock is moved from inside it.
    QObject guard;
    auto whenEndStepWaits = [&guard, &st](std::function<void()> act) {
        auto* poll = new QTimer(&guard);
        QObject::connect(poll, &QTimer::timeout, &guard, [poll, &st, act] {
            if (!st.endStepRunning) return;
            poll->stop();
            act();
        });
        poll->start(0);
    };
    const auto letGo = [&](double seconds) {
        manual.advance(seconds - 1);
        REQUIRE(receivetest::settleMainQueue());
        CHECK_FALSE(log.contains("rcv timeout!"));
        CHECK(sender.connected());
        manual.advance(2);
    };

    SECTION("silent after a stored photograph") {
        REQUIRE(sender.text("Start,2"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.send(receivetest::jpeg(1)));
        REQUIRE(sender.expect("Progress,1"));
        REQUIRE(QTest::qWaitFor([&] { return st.saved == 1 && st.timer; }, receivetest::kEventWaitMs));
        letGo(180);
    }
    SECTION("silent after Readiness") {
        REQUIRE(sender.text("Start,5"));
        REQUIRE(sender.expect("Readiness"));
        letGo(180);
    }
    SECTION("Start,5 and End with no photograph, staying connected") {
        REQUIRE(sender.text("Start,5"));
        REQUIRE(sender.expect("Readiness"));
        REQUIRE(sender.text("End"));
        bool moved = false;
        whenEndStepWaits([&] {
            manual.advance(181);
            moved = true;
        });
        REQUIRE(QTest::qWaitFor([&] { return moved && sender.gone(); }, receivetest::kEventWaitMs));
        CHECK_FALSE(std::count(sender.replies.begin(), sender.replies.end(), "Completion"));
    }
    SECTION("counted from the last bytes of a photograph still coming") {
        REQUIRE(sender.text("Start,1"));
        REQUIRE(sender.expect("Readiness"));
        manual.advance(100);
        REQUIRE(receivetest::settleMainQueue());
        const auto armed = st.timer;
        auto* socket = sender.session.findChild<QTcpSocket*>();
        REQUIRE(socket);
        socket->write(peer::frameHeader(peer::FrameType::Data, 5000));
        socket->write(receivetest::jpeg(1).left(100));
        REQUIRE(QTest::qWaitFor([&] { return st.timer != armed; }, receivetest::kEventWaitMs));
        letGo(180); // 280 seconds after Readiness, 180 after the last bytes
    }

    REQUIRE(QTest::qWaitFor([&] { return sender.gone(); }, receivetest::kEventWaitMs));
    CHECK(log.contains("rcv timeout!"));
    REQUIRE(QTest::qWaitFor([&] { return st.status == 0 && !st.endStepRunning; }, receivetest::kEventWaitMs));
    CHECK(ZVProgressHUD::sharedView().stringLabel()->text() == "接続が切れました");
    // The device is still to be found, and the screen free for the next sender.
    CHECK(s.screen->sessionHelper()->nearbyServiceAdvertiser()->isAdvertising());
    Sender next("next");
    REQUIRE(next.join(s.discoveryPort()));
    REQUIRE(next.text("Start,1"));
    CHECK(next.expect("Readiness"));
}

TEST_CASE("a photo library that cannot be opened is said when the screen opens, and no transfer is taken",
          "[photos][peer]") {
    ReceiveScreen s;
    // A library holding one photograph, whose index's header is then damaged.
    const std::string root = foundation::home::photoLibrary();
    {
        photos::PhotoLibrary library(root);
        REQUIRE_FALSE(library.performChangesAndWait(
            [](photos::ChangeRequest& c) { c.createImageAsset(receivetest::toData(receivetest::jpeg(3))); }));
    }
    const std::string index = root + "/Photos.sqlite";
    {
        std::fstream file(index, std::ios::in | std::ios::out | std::ios::binary);
        file.write("not an index....", 16);
    }
    const auto stored = [&] {
        std::ifstream in(index, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string damaged = stored();
    REQUIRE_FALSE(photos::PhotoLibrary::shared()->isAvailable());
    const std::string why = "写真ライブラリを開けなかったため、\n写真を受信できません。";

    REQUIRE(s.open("999999"));
    auto alert = s.app.alert();
    REQUIRE(alert);
    CHECK(alert->title() == "エラー");
    CHECK(alert->message() == why);
    s.grab("receive-library-unavailable.png");
    REQUIRE(alert->tapAction("OK"));
    s.app.launched.settle(20);

    // A sender is told at once that this device cannot take its photographs, and nothing it sends
    // is answered as kept.
    Sender sender;
    REQUIRE(sender.join(s.discoveryPort()));
    REQUIRE(sender.text("Start,2"));
    REQUIRE(sender.expect("Forbidden"));
    CHECK(hudText().toStdString() == why);
    s.grab("receive-library-unavailable-start.png");
    REQUIRE(sender.send(receivetest::jpeg(1)));
    REQUIRE(sender.text("Ready"));
    REQUIRE(sender.expect("Forbidden"));
    REQUIRE(receivetest::settleMainQueue());
    CHECK(sender.replies.empty());
    CHECK(PeerTransferState::shared().status == 0);
    photos::PhotoLibrary::shared()->queue()->drain();
    CHECK(stored() == damaged);
    CHECK(assetFiles() == 1);
}

TEST_CASE("broken input leaves the screen working and the library whole", "[photos][peer]") {
    ReceiveScreen s;
    REQUIRE(s.open("999999"));
    auto& st = PeerTransferState::shared();

    SECTION("garbage bytes instead of an invitation close that connection only") {
        QTcpSocket raw;
        raw.connectToHost("127.0.0.1", s.sessionPort());
        REQUIRE(raw.waitForConnected(receivetest::kEventWaitMs));
        raw.write(QByteArray(64, '\xEE'));
        REQUIRE(QTest::qWaitFor([&] { return raw.state() == QAbstractSocket::UnconnectedState; },
                                receivetest::kEventWaitMs));
        CHECK(SessionHelper::invitationCounter() == 0);
    }
    SECTION("an oversize frame ends that sender's session and stores nothing") {
        Sender sender;
        REQUIRE(sender.join(s.discoveryPort()));
        REQUIRE(sender.text("Start,1"));
        REQUIRE(sender.expect("Readiness"));
        // Reach under the session: a data header claiming more than a frame may carry.
        auto* socket = sender.session.findChild<QTcpSocket*>();
        REQUIRE(socket);
        socket->write(peer::frameHeader(peer::FrameType::Data, peer::kMaxDataFrame + 1));
        socket->write(QByteArray(1000, 'x'));
        REQUIRE(QTest::qWaitFor([&] { return sender.gone(); }, receivetest::kEventWaitMs));
        REQUIRE(QTest::qWaitFor([&] { return s.screen->sessionHelper()->connectedPeersCount() == 0; },
                                receivetest::kEventWaitMs));
        CHECK(st.status == 0);
    }
    SECTION("a payload that is neither text nor image is ignored") {
        Sender sender;
        REQUIRE(sender.join(s.discoveryPort()));
        REQUIRE(sender.text("Start,1"));
        REQUIRE(sender.expect("Readiness"));
        QByteArray fake = receivetest::jpeg(1).left(2) + QByteArray(200, '\xFF'); // a JPEG marker, then noise
        REQUIRE(sender.send(fake));
        REQUIRE(sender.send(QByteArray("\x00\x01\xFE\xFF", 4)));
        // A text after them is answered after them: the first reply is the one to it.
        REQUIRE(sender.text("Ready"));
        REQUIRE(QTest::qWaitFor([&] { return !sender.replies.empty(); }, receivetest::kEventWaitMs));
        CHECK(sender.replies.front() == "Forbidden");
        // The library's decode of the first refuses it: still no reply and nothing counted.
        photos::PhotoLibrary::shared()->queue()->drain();
        REQUIRE(receivetest::settleMainQueue());
        CHECK(sender.replies.size() == 1);
        CHECK(st.count == 0);
    }
    // Afterwards a proper sender still gets through, and nothing half-written is in the library.
    Sender good("good");
    REQUIRE(good.join(s.discoveryPort()));
    REQUIRE(good.text("Start,1"));
    REQUIRE(good.expect("Readiness"));
    REQUIRE(good.send(receivetest::jpeg(7)));
    REQUIRE(good.text("End"));
    CHECK(good.expect("Completion"));
    photos::PhotoLibrary::shared()->queue()->drain();
    CHECK(photos::PhotoLibrary::shared()->allAssets().size() == 1);
    CHECK(assetFiles() == 1);
}

TEST_CASE("the receive start screen gates on the patient and the questionnaire", "[photos][peer]") {
    ReceiveScreen s;
    SECTION("an empty ID") {
        auto start = s.openStart();
        REQUIRE(start);
        CHECK(start->title() == "画像受信");
        registtest::type(start->patientIDBox(), "");
        QTest::mouseClick(start->createSessionButton(), Qt::LeftButton);
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->message() == "患者IDを入力してください");
    }
    SECTION("an unknown patient") {
        CHECK_FALSE(s.open("424242"));
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->message() == "入力されたIDの患者情報はありません");
    }
    SECTION("a patient without a questionnaire is led to the questionnaire") {
        s.app.probe().exec(
            "INSERT INTO patientMst VALUES ('10000','O''Brien','小樽　花子','おたる　はなこ','','','','','',"
            "'','','',0)");
        s.app.probe().exec("INSERT INTO patientSrv VALUES ('10000','O''Brien','女','1980年 1月 1日')");
        CHECK_FALSE(s.open("O'Brien"));
        auto alert = s.app.alert();
        REQUIRE(alert);
        CHECK(alert->message() == "問診書が登録されていません。\n先に問診書を登録してください。");
        s.grab("receive-gate.png");
        REQUIRE(alert->tapAction("問診票登録へ"));
        s.app.launched.settle(50);
        CHECK(s.app.top()->storyboardIdentifier() == "inquiryViewTop");
    }
    SECTION("the seed patient opens the receive screen, advertising under the name given") {
        REQUIRE(s.open("999999", "診察室1"));
        CHECK(s.app.delegate().PeerDisplayName() == "診察室1");
        CHECK(s.app.delegate().DisplayName() == "診察室1");
        CHECK(s.screen->title() == "画像受信");
        CHECK(s.screen->photoType() == "normal");
        CHECK_FALSE(s.screen->browsebtn()->isEnabled());
        CHECK(s.screen->sessionHelper()->nearbyServiceAdvertiser()->isAdvertising());
        // Leaving the screen stops advertising.
        s.app.launched.navigation()->popViewController(false);
        s.app.launched.settle(20);
        CHECK_FALSE(s.screen->sessionHelper()->nearbyServiceAdvertiser()->isAdvertising());
    }
}
