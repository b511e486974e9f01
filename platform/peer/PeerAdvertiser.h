#pragma once
// Makes the local peer findable and invitable: answers browse requests for its service type on a UDP
// port (with its display name, session port and discovery info) and listens for invitations on a TCP
// port. Each invitation goes to onInvitation with a handler that accepts it into a session or
// declines it. Lives on the thread whose event loop runs it.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/peer/PeerID.h"
#include "platform/peer/PeerSettings.h"

class QTcpServer;
class QTcpSocket;
class QUdpSocket;

namespace peer {

class PeerSession;

// How long a new connection may take to say who it is.
inline constexpr int kInviteWaitMs = 10000;
// How many new connections may wait to say who they are; one more is closed at once.
inline constexpr int kMostPendingInvitations = 8;

class NearbyServiceAdvertiser : public QObject {
    Q_OBJECT
  public:
    using InvitationHandler = std::function<void(bool accept, PeerSession* session)>;

    NearbyServiceAdvertiser(PeerIDPtr myPeerID, std::map<std::string, std::string> discoveryInfo,
                            std::string serviceType, PeerSettings settings = PeerSettings::fromDefaults());
    ~NearbyServiceAdvertiser() override;

    std::function<void(const PeerIDPtr& peer, InvitationHandler handler)> onInvitation;
    std::function<void(const std::string& error)> onStartFailed;

    const PeerIDPtr& myPeerID() const { return myPeerID_; }
    const std::string& serviceType() const { return serviceType_; }
    const std::map<std::string, std::string>& discoveryInfo() const { return discoveryInfo_; }

    void startAdvertisingPeer();
    void stopAdvertisingPeer();
    bool isAdvertising() const;
    // The ports in use while advertising (0 otherwise).
    uint16_t discoveryPort() const;
    uint16_t sessionPort() const;
    // New connections that have not yet said who they are.
    int pendingInvitations() const;

    // A service type is 1–15 characters of lower-case letters, digits and hyphens.
    static bool isValidServiceType(const std::string& type);

  private:
    void answerBrowseRequests();
    void takeConnections();
    void readInvitation(QTcpSocket* socket);

    PeerIDPtr myPeerID_;
    std::map<std::string, std::string> discoveryInfo_;
    std::string serviceType_;
    PeerSettings settings_;
    std::unique_ptr<QUdpSocket> udp_;
    std::unique_ptr<QTcpServer> server_;
};

} // namespace peer
