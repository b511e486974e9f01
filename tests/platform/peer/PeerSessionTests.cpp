// Advertiser, browser and sessions on loopback in one process.
#include <QTcpSocket>
#include <QTest>
#include <catch2/catch.hpp>

#include "platform/peer/PeerAdvertiser.h"
#include "platform/peer/PeerBrowser.h"
#include "platform/peer/PeerSession.h"

using namespace peer;

namespace {

struct Pair {
    PeerSettings settings;
    PeerIDPtr host = makePeerID("host"), guest = makePeerID("guest");
    std::unique_ptr<NearbyServiceAdvertiser> advertiser;
    PeerSession hostSession{host}, guestSession{guest};
    NearbyServiceBrowser browser{guest, "zv-test"};
    bool accept = true;
    std::vector<std::pair<std::string, SessionState>> hostStates, guestStates;
    std::vector<QByteArray> atHost, atGuest;

    Pair() {
        settings.discoveryPort = 0;
        advertiser = std::make_unique<NearbyServiceAdvertiser>(
            host, std::map<std::string, std::string>{{"k", "v"}}, "zv-test", settings);
        advertiser->onInvitation = [this](const PeerIDPtr&, NearbyServiceAdvertiser::InvitationHandler h) {
            h(accept, &hostSession);
        };
        hostSession.onStateChange = [this](const PeerIDPtr& p, SessionState s) {
            hostStates.emplace_back(p->displayName(), s);
        };
        guestSession.onStateChange = [this](const PeerIDPtr& p, SessionState s) {
            guestStates.emplace_back(p->displayName(), s);
        };
        hostSession.onData = [this](const QByteArray& d, const PeerIDPtr&) { atHost.push_back(d); };
        guestSession.onData = [this](const QByteArray& d, const PeerIDPtr&) { atGuest.push_back(d); };
        advertiser->startAdvertisingPeer();
    }
    std::optional<DiscoveredPeer> browse() {
        std::optional<DiscoveredPeer> found;
        browser.onFoundPeer = [&found](const DiscoveredPeer& p) { found = p; };
        browser.startBrowsingForPeers("127.0.0.1", advertiser->discoveryPort());
        (void)QTest::qWaitFor([&] { return found.has_value(); }, 3000);
        browser.stopBrowsingForPeers();
        return found;
    }
    bool guestIs(SessionState s) const { return !guestStates.empty() && guestStates.back().second == s; }
};

} // namespace

TEST_CASE("a browsed peer is invited, accepted and talked to", "[peer][session]") {
    Pair p;
    REQUIRE(p.advertiser->isAdvertising());
    auto found = p.browse();
    REQUIRE(found);
    CHECK(found->peerID->displayName() == "host");
    CHECK(found->port == p.advertiser->sessionPort());

    SECTION("accepted: connected on both sides, data in order both ways, then goodbye") {
        p.guestSession.invitePeer(*found, 3);
        REQUIRE(QTest::qWaitFor([&] { return p.guestIs(SessionState::Connected); }, 3000));
        CHECK(p.hostStates.back() == std::make_pair(std::string("guest"), SessionState::Connected));
        const auto hostPeer = p.hostSession.connectedPeers().at(0);
        const QByteArray big(3 * 1024 * 1024, 'j');
        REQUIRE(p.guestSession.sendData("Start,2", {found->peerID}, SendDataMode::Reliable));
        REQUIRE(p.guestSession.sendData(big, {found->peerID}, SendDataMode::Reliable));
        REQUIRE(p.hostSession.sendData("Readiness", {hostPeer}, SendDataMode::Reliable));
        REQUIRE(QTest::qWaitFor([&] { return p.atHost.size() == 2 && p.atGuest.size() == 1; }, 5000));
        CHECK(p.atHost[0] == "Start,2");
        CHECK(p.atHost[1] == big);
        CHECK(p.atGuest[0] == "Readiness");
        std::string error;
        CHECK_FALSE(p.hostSession.sendData("x", {makePeerID("other")}, SendDataMode::Reliable, &error));
        CHECK(error == "Peer other is not connected.");
        p.guestSession.disconnect();
        REQUIRE(QTest::qWaitFor([&] { return p.hostSession.connectedPeers().empty(); }, 3000));
        CHECK(p.hostStates.back().second == SessionState::NotConnected);
    }
    SECTION("bytes of a message still coming are reported; one peer is let go, the other stays") {
        std::vector<std::string> partial;
        p.hostSession.onPartialData = [&](const PeerIDPtr& peer) { partial.push_back(peer->displayName()); };
        p.guestSession.invitePeer(*found, 3);
        PeerSession other(makePeerID("other"));
        other.invitePeer(*found, 3);
        REQUIRE(QTest::qWaitFor([&] { return p.hostSession.connectedPeers().size() == 2; }, 3000));
        auto* socket = p.guestSession.findChild<QTcpSocket*>();
        REQUIRE(socket);
        socket->write(frameHeader(FrameType::Data, 1000));
        socket->write(QByteArray(10, 'x'));
        REQUIRE(QTest::qWaitFor([&] { return !partial.empty(); }, 3000));
        CHECK(partial.front() == "guest");
        CHECK(p.atHost.empty());

        const auto guestAtHost = p.hostSession.connectedPeers().at(0);
        REQUIRE(guestAtHost->displayName() == "guest");
        p.hostSession.cancelConnectPeer(guestAtHost);
        REQUIRE(QTest::qWaitFor([&] { return p.guestIs(SessionState::NotConnected); }, 3000));
        REQUIRE(p.hostSession.connectedPeers().size() == 1);
        CHECK(p.hostSession.connectedPeers()[0]->displayName() == "other");
    }
    SECTION("declined: the guest hears not connected") {
        p.accept = false;
        p.guestSession.invitePeer(*found, 3);
        REQUIRE(QTest::qWaitFor([&] { return p.guestIs(SessionState::NotConnected); }, 3000));
        CHECK(p.hostSession.connectedPeers().empty());
    }
    SECTION("an oversize frame closes only that connection") {
        p.guestSession.invitePeer(*found, 3);
        REQUIRE(QTest::qWaitFor([&] { return p.guestIs(SessionState::Connected); }, 3000));
        PeerSession other(makePeerID("other"));
        other.invitePeer(*found, 3);
        REQUIRE(QTest::qWaitFor([&] { return p.hostSession.connectedPeers().size() == 2; }, 3000));
        auto* socket = other.findChild<QTcpSocket*>();
        REQUIRE(socket);
        socket->write(frameHeader(FrameType::Data, kMaxDataFrame + 1));
        REQUIRE(QTest::qWaitFor([&] { return p.hostSession.connectedPeers().size() == 1; }, 3000));
        CHECK(p.hostSession.connectedPeers()[0]->displayName() == "guest");
        REQUIRE(p.guestSession.sendData("still here", {found->peerID}, SendDataMode::Reliable));
        REQUIRE(QTest::qWaitFor([&] { return p.atHost.size() == 1; }, 3000));
    }
}

TEST_CASE("connections that have not yet said who they are are bounded", "[peer][session]") {
    Pair p;
    auto connect = [&p] {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost("127.0.0.1", p.advertiser->sessionPort());
        REQUIRE(socket->waitForConnected(30000));
        return socket;
    };
    auto closed = [](QTcpSocket& socket) {
        return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 30000);
    };

    SECTION("past eight waiting, one more is closed at once; a freed place takes the next") {
        std::vector<std::unique_ptr<QTcpSocket>> waiting;
        for (int i = 0; i < kMostPendingInvitations; ++i)
            waiting.push_back(connect());
        REQUIRE(QTest::qWaitFor([&] { return p.advertiser->pendingInvitations() == kMostPendingInvitations; },
                                30000));
        auto extra = connect();
        CHECK(closed(*extra));
        CHECK(p.advertiser->pendingInvitations() == kMostPendingInvitations);
        waiting.front()->abort();
        REQUIRE(QTest::qWaitFor([&] { return p.advertiser->pendingInvitations() < kMostPendingInvitations; },
                                30000));
        auto found = p.browse();
        REQUIRE(found);
        p.guestSession.invitePeer(*found, 30);
        CHECK(QTest::qWaitFor([&] { return p.guestIs(SessionState::Connected); }, 30000));
    }
    SECTION("anything but an invitation is refused at its header") {
        auto socket = connect();
        socket->write(frameHeader(FrameType::Data, 1000)); // the payload never comes
        CHECK(closed(*socket));
    }
}

TEST_CASE("an advertiser without a valid service type does not start", "[peer][session]") {
    std::string failure;
    NearbyServiceAdvertiser a(makePeerID("x"), {}, "", PeerSettings{"127.0.0.1", 0});
    a.onStartFailed = [&](const std::string& e) { failure = e; };
    a.startAdvertisingPeer();
    CHECK_FALSE(a.isAdvertising());
    CHECK(failure.find("service type") != std::string::npos);
    CHECK(NearbyServiceAdvertiser::isValidServiceType("zv-photo-rcv"));
    CHECK_FALSE(NearbyServiceAdvertiser::isValidServiceType("Has_Upper"));
    CHECK_FALSE(NearbyServiceAdvertiser::isValidServiceType("sixteen-chars-xx"));
}
