// The receiving side of the session: invitations, the connected list and the decoding of data.
#include <catch2/catch.hpp>

#include "app/photos/receive/SessionHelper.h"
#include "platform/foundation/Log.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"

namespace {

struct Recorder : SessionHelperDelegate {
    std::weak_ptr<SessionHelper> helper;
    int mostWaiting = 0; // frames still queued behind each one delivered
    std::vector<std::pair<std::string, bool>> changes;
    std::vector<std::string> messages;
    std::vector<unsigned long> images;
    std::vector<QByteArray> imageData;
    bool onMain = true;
    void check() { onMain = onMain && foundation::SerialQueue::main()->isCurrent(); }
    void sessionHelperDidChangeConnectedPeer(const peer::PeerIDPtr& p, bool flag) override {
        check();
        changes.emplace_back(p->displayName(), flag);
    }
    void sessionHelperDidRecieveImage(const QByteArray& data, unsigned long size,
                                      const peer::PeerIDPtr&) override {
        check();
        images.push_back(size);
        imageData.push_back(data);
    }
    void sessionHelperDidRecieveMessage(const std::string& m, const peer::PeerIDPtr&) override {
        check();
        messages.push_back(m);
        if (auto h = helper.lock()) mostWaiting = std::max(mostWaiting, h->framesWaiting());
    }
};

struct Helper {
    testsupport::TempHome home;
    std::shared_ptr<SessionHelper> helper;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
    Helper() {
        peer::PeerSettings settings;
        settings.discoveryPort = 0;
        helper = SessionHelper::create("receiver", settings);
        helper->setDelegate(recorder);
        recorder->helper = helper;
    }
    uint16_t port() const { return helper->nearbyServiceAdvertiser()->discoveryPort(); }
};

} // namespace

TEST_CASE("one sender at a time is admitted", "[photos][peer][session]") {
    Helper h;
    CHECK(h.helper->isHost());
    CHECK(h.helper->roles() == "Host");
    CHECK(h.helper->nearbyServiceAdvertiser()->discoveryInfo() ==
          std::map<std::string, std::string>{{"aaa", "bbb"}, {"bbb", "aaa"}});
    receivetest::Sender a("a"), b("b");
    REQUIRE(a.join(h.port()));
    REQUIRE(QTest::qWaitFor([&] { return h.recorder->changes.size() == 1; }, receivetest::kEventWaitMs));
    CHECK(h.recorder->changes[0] == std::make_pair(std::string("a"), false));
    CHECK(SessionHelper::invitationCounter() == 1);
    CHECK(h.helper->connectedPeersCount() == 1);
    CHECK(h.helper->connectedPeerIDAtIndex(0)->displayName() == "a");
    CHECK_FALSE(h.helper->connectedPeerIDAtIndex(1));

    CHECK_FALSE(b.join(h.port())); // declined
    CHECK(b.gone());

    a.session.disconnect();
    REQUIRE(QTest::qWaitFor([&] { return h.recorder->changes.size() == 2; }, receivetest::kEventWaitMs));
    CHECK(h.recorder->changes[1] == std::make_pair(std::string("a"), true));
    CHECK(SessionHelper::invitationCounter() == 0);
    receivetest::Sender c("c");
    CHECK(c.join(h.port()));
    CHECK(h.recorder->onMain);
}

TEST_CASE("a connection that fails after its invitation was accepted frees the invitation",
          "[photos][peer][session]") {
    Helper h;
    // Invite by hand and vanish before the session says connected.
    QTcpSocket raw;
    raw.connectToHost("127.0.0.1", h.helper->nearbyServiceAdvertiser()->sessionPort());
    REQUIRE(raw.waitForConnected(receivetest::kEventWaitMs));
    raw.write(peer::encodeFrame(peer::FrameType::Invite, "ghost"));
    REQUIRE(
        QTest::qWaitFor([&] { return raw.bytesAvailable() > 0 || SessionHelper::invitationCounter() == 1; },
                        receivetest::kEventWaitMs));
    raw.abort();
    REQUIRE(
        QTest::qWaitFor([] { return SessionHelper::invitationCounter() == 0; }, receivetest::kEventWaitMs));
    receivetest::Sender next("next");
    CHECK(next.join(h.port()));
}

TEST_CASE("data arrives as text, as a photograph, or as neither", "[photos][peer][session]") {
    Helper h;
    receivetest::Sender s("s");
    REQUIRE(s.join(h.port()));
    const QByteArray photo = receivetest::jpeg(3);
    REQUIRE(s.text("Start,3"));
    REQUIRE(s.send(photo));
    REQUIRE(s.send(QByteArray("\x89PNG but not", 12)));
    // Starts as a JPEG does, then is noise: whether it is a photograph is for the library's decode to
    // say, off the main thread.
    const QByteArray noise = photo.left(2) + QByteArray(200, '\xFF');
    REQUIRE(s.send(noise));
    REQUIRE(s.text("")); // empty text is text
    REQUIRE(QTest::qWaitFor([&] { return h.recorder->messages.size() == 3; }, receivetest::kEventWaitMs));
    CHECK(h.recorder->messages == std::vector<std::string>{"Start,3", "Not defined type", ""});
    REQUIRE(h.recorder->images.size() == 2);
    CHECK(h.recorder->images[0] == (unsigned long)photo.size());
    CHECK(h.recorder->imageData[0] == photo);
    CHECK(h.recorder->imageData[1] == noise);

    SECTION("replies go to the peer named, and a missing peer sends nothing") {
        foundation::LogCapture log;
        h.helper->sendProgress(h.helper->connectedPeerIDAtIndex(0), 2);
        h.helper->sendReadiness(nullptr);
        h.helper->sendCompletion(peer::makePeerID("stranger"));
        CHECK(s.expect("Progress,2"));
        CHECK(log.contains("Failed Peer stranger is not connected."));
    }
    SECTION("stopping disconnects and stops advertising") {
        h.helper->stopAdvertise();
        REQUIRE(QTest::qWaitFor([&] { return s.gone(); }, receivetest::kEventWaitMs));
        CHECK_FALSE(h.helper->nearbyServiceAdvertiser()->isAdvertising());
        CHECK(SessionHelper::invitationCounter() == 0);
    }
}

TEST_CASE("a sender faster than the main thread waits in the network", "[photos][peer][session]") {
    Helper h;
    receivetest::Sender s("s");
    REQUIRE(s.join(h.port()));

    SECTION("no more than four messages wait for the main thread at once, and none is lost") {
        for (int i = 0; i < 40; ++i)
            REQUIRE(s.text("t" + std::to_string(i)));
        REQUIRE(
            QTest::qWaitFor([&] { return h.recorder->messages.size() == 40; }, receivetest::kEventWaitMs));
        for (int i = 0; i < 40; ++i)
            CHECK(h.recorder->messages[size_t(i)] == "t" + std::to_string(i));
        // No more than four wait behind the one being delivered.
        CHECK(h.recorder->mostWaiting <= SessionHelper::kMostFramesWaiting);
    }
    SECTION("while the delegate holds the data back, what comes stays unread, then arrives in order") {
        h.helper->holdIncomingData(true);
        const QByteArray photo = receivetest::jpeg(1, 320, 240);
        REQUIRE(s.send(photo));
        REQUIRE(s.text("after"));
        auto* socket = h.helper->session()->findChild<QTcpSocket*>();
        REQUIRE(socket);
        // Both are in this process now, unread.
        REQUIRE(QTest::qWaitFor([&] { return socket->bytesAvailable() >= photo.size() + 5; },
                                receivetest::kEventWaitMs));
        REQUIRE(receivetest::settleMainQueue());
        CHECK(h.recorder->images.empty());
        CHECK(h.recorder->messages.empty());
        h.helper->holdIncomingData(false);
        REQUIRE(QTest::qWaitFor([&] { return h.recorder->messages.size() == 1; }, receivetest::kEventWaitMs));
        CHECK(h.recorder->images.size() == 1);
        CHECK(h.recorder->messages[0] == "after");
    }
}

TEST_CASE("names are made without the separators", "[photos][peer][session]") {
    CHECK(SessionHelper::replaceCharacters("[].#$/", "a[b].c#d$e/f", ",") == "a,b,,c,d,e,f");
    CHECK(SessionHelper::replaceCharacters("/", "x/y", std::nullopt) == "x,y");
    CHECK(SessionHelper::replaceCharacters("/", "plain", "-") == "plain");
}
