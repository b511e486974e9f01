#include "platform/peer/PeerAdvertiser.h"

#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include "platform/peer/PeerDiscovery.h"
#include "platform/peer/PeerFrame.h"
#include "platform/peer/PeerSession.h"

namespace peer {

namespace {
// Reads the pending invitation of one new connection; owned by its socket.
struct PendingInvitation : QObject {
    FrameReader reader;
};
const char* const kPendingName = "pendingInvitation";
} // namespace

NearbyServiceAdvertiser::NearbyServiceAdvertiser(PeerIDPtr myPeerID,
                                                 std::map<std::string, std::string> discoveryInfo,
                                                 std::string serviceType, PeerSettings settings)
    : myPeerID_(std::move(myPeerID)), discoveryInfo_(std::move(discoveryInfo)),
      serviceType_(std::move(serviceType)), settings_(std::move(settings)) {}

NearbyServiceAdvertiser::~NearbyServiceAdvertiser() {
    onInvitation = nullptr;
    onStartFailed = nullptr;
    stopAdvertisingPeer();
}

bool NearbyServiceAdvertiser::isValidServiceType(const std::string& type) {
    if (type.empty() || type.size() > 15) return false;
    for (char c : type)
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    return true;
}

bool NearbyServiceAdvertiser::isAdvertising() const {
    return server_ && udp_;
}

uint16_t NearbyServiceAdvertiser::discoveryPort() const {
    return udp_ ? udp_->localPort() : 0;
}

uint16_t NearbyServiceAdvertiser::sessionPort() const {
    return server_ ? server_->serverPort() : 0;
}

int NearbyServiceAdvertiser::pendingInvitations() const {
    // By name: the reader object has no meta-object of its own to tell it apart by type.
    return server_ ? int(server_->findChildren<QObject*>(kPendingName).size()) : 0;
}

void NearbyServiceAdvertiser::startAdvertisingPeer() {
    if (isAdvertising()) return;
    auto failed = [this](const std::string& why) {
        udp_.reset();
        server_.reset();
        if (onStartFailed) onStartFailed(why);
    };
    if (!isValidServiceType(serviceType_))
        return failed("The service type \"" + serviceType_ + "\" is not valid.");
    const QHostAddress address(QString::fromStdString(settings_.bindAddress));
    if (address.isNull()) return failed("The bind address \"" + settings_.bindAddress + "\" is not valid.");
    server_ = std::make_unique<QTcpServer>();
    if (!server_->listen(address, 0))
        return failed("Cannot listen for invitations: " + server_->errorString().toStdString());
    udp_ = std::make_unique<QUdpSocket>();
    if (!udp_->bind(address, settings_.discoveryPort))
        return failed("Cannot answer browse requests: " + udp_->errorString().toStdString());
    connect(udp_.get(), &QUdpSocket::readyRead, this, &NearbyServiceAdvertiser::answerBrowseRequests);
    connect(server_.get(), &QTcpServer::newConnection, this, &NearbyServiceAdvertiser::takeConnections);
}

void NearbyServiceAdvertiser::stopAdvertisingPeer() {
    udp_.reset();
    server_.reset(); // connections not yet accepted are its children and close with it
}

void NearbyServiceAdvertiser::answerBrowseRequests() {
    while (udp_ && udp_->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp_->receiveDatagram(kMaxDatagram);
        auto request = parseBrowseRequest(datagram.data());
        if (!request || *request != serviceType_) continue;
        const QByteArray answer =
            encodeBrowseAnswer(serviceType_, myPeerID_->displayName(), sessionPort(), discoveryInfo_);
        udp_->writeDatagram(answer, datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void NearbyServiceAdvertiser::takeConnections() {
    while (server_ && server_->hasPendingConnections()) {
        QTcpSocket* socket = server_->nextPendingConnection();
        if (pendingInvitations() >= kMostPendingInvitations) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Nothing but an invitation is read here, and no more of it is taken in than one may be.
        socket->setReadBufferSize(kFrameHeaderSize + kMaxControlFrame);
        auto* pending = new PendingInvitation;
        pending->reader.acceptOnly(FrameType::Invite);
        pending->setParent(socket);
        pending->setObjectName(kPendingName);
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, [socket] { socket->abort(); });
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readInvitation(socket); });
        timer->start(kInviteWaitMs);
    }
}

void NearbyServiceAdvertiser::readInvitation(QTcpSocket* socket) {
    auto* pending = static_cast<PendingInvitation*>(socket->findChild<QObject*>(kPendingName));
    if (!pending) return;
    Frame frame;
    const auto status = pending->reader.read(*socket, frame);
    if (status == FrameReader::Status::NeedMore) return;
    if (status == FrameReader::Status::Malformed || frame.type != FrameType::Invite ||
        !isValidUtf8(frame.payload.constData(), size_t(frame.payload.size()))) {
        socket->abort();
        return;
    }
    delete pending; // one invitation per connection; what follows belongs to the session
    for (auto* timer : socket->findChildren<QTimer*>())
        timer->stop();
    QObject::disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    auto from = makePeerID(frame.payload.toStdString());
    QPointer<QTcpSocket> guarded(socket);
    // The accepted peer keeps the identity the inviter gave.
    InvitationHandler handler = [guarded, from](bool accept, PeerSession* session) {
        if (!guarded) return;
        if (accept && session) {
            session->acceptConnection(guarded, from);
            return;
        }
        guarded->write(encodeFrame(FrameType::Decline, {}));
        guarded->disconnectFromHost();
    };
    if (onInvitation)
        onInvitation(from, std::move(handler));
    else
        handler(false, nullptr);
}

} // namespace peer
