#pragma once
// Finds advertised peers of a service type: sends browse requests to one host's discovery port
// (unicast; nothing is broadcast) every half second until stopped, and reports each peer once.
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "platform/peer/PeerID.h"
#include "platform/peer/PeerSession.h"

class QUdpSocket;

namespace peer {

class NearbyServiceBrowser : public QObject {
    Q_OBJECT
  public:
    NearbyServiceBrowser(PeerIDPtr myPeerID, std::string serviceType);
    ~NearbyServiceBrowser() override;

    std::function<void(const DiscoveredPeer& peer)> onFoundPeer;
    std::function<void(const std::string& error)> onStartFailed;

    void startBrowsingForPeers(const std::string& host, uint16_t discoveryPort);
    void stopBrowsingForPeers();

  private:
    void ask();
    void readAnswers();

    PeerIDPtr myPeerID_;
    std::string serviceType_;
    std::string host_;
    uint16_t port_ = 0;
    std::unique_ptr<QUdpSocket> udp_;
    QTimer repeat_;
    std::set<std::pair<std::string, uint16_t>> seen_;
};

} // namespace peer
