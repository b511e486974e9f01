#include "platform/peer/PeerBrowser.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include "platform/peer/PeerDiscovery.h"

namespace peer {

NearbyServiceBrowser::NearbyServiceBrowser(PeerIDPtr myPeerID, std::string serviceType)
    : myPeerID_(std::move(myPeerID)), serviceType_(std::move(serviceType)) {
    repeat_.setInterval(500);
    connect(&repeat_, &QTimer::timeout, this, &NearbyServiceBrowser::ask);
}

NearbyServiceBrowser::~NearbyServiceBrowser() {
    onFoundPeer = nullptr;
    stopBrowsingForPeers();
}

void NearbyServiceBrowser::startBrowsingForPeers(const std::string& host, uint16_t discoveryPort) {
    stopBrowsingForPeers();
    host_ = host;
    port_ = discoveryPort;
    const QHostAddress target(QString::fromStdString(host));
    udp_ = std::make_unique<QUdpSocket>();
    const QHostAddress local =
        target.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4;
    if (target.isNull() || !udp_->bind(local, 0)) {
        udp_.reset();
        if (onStartFailed) onStartFailed("Cannot browse at \"" + host + "\".");
        return;
    }
    connect(udp_.get(), &QUdpSocket::readyRead, this, &NearbyServiceBrowser::readAnswers);
    ask();
    repeat_.start();
}

void NearbyServiceBrowser::stopBrowsingForPeers() {
    repeat_.stop();
    udp_.reset();
    seen_.clear();
}

void NearbyServiceBrowser::ask() {
    if (udp_)
        udp_->writeDatagram(encodeBrowseRequest(serviceType_), QHostAddress(QString::fromStdString(host_)),
                            port_);
}

void NearbyServiceBrowser::readAnswers() {
    while (udp_ && udp_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp_->receiveDatagram(kMaxDatagram);
        auto answer = parseBrowseAnswer(datagram.data());
        if (!answer || answer->serviceType != serviceType_) continue;
        const std::string host = datagram.senderAddress().toString().toStdString();
        if (!seen_.insert({host, answer->port}).second) continue;
        DiscoveredPeer found{makePeerID(answer->displayName), host, answer->port, answer->serviceType};
        if (onFoundPeer) {
            auto handler = onFoundPeer;
            handler(found);
        }
    }
}

} // namespace peer
