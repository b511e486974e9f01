#include "platform/peer/PeerSession.h"

#include <QTcpSocket>
#include <QTimer>
#include <algorithm>

namespace peer {

struct PeerSession::Connection {
    QPointer<QTcpSocket> socket;
    PeerIDPtr peer;
    SessionState state = SessionState::NotConnected;
    FrameReader reader;
    std::unique_ptr<QTimer> inviteTimer; // the browsing side's wait for an answer
    bool closing = false;
};

const char* stateName(SessionState state) {
    switch (state) {
    case SessionState::NotConnected:
        return "not connected";
    case SessionState::Connecting:
        return "connecting";
    case SessionState::Connected:
        return "connected";
    }
    return "unknown";
}

PeerSession::PeerSession(PeerIDPtr myPeerID, EncryptionPreference encryption)
    : myPeerID_(std::move(myPeerID)), encryption_(encryption) {}

PeerSession::~PeerSession() {
    // No callbacks from here on: the owner is going.
    onStateChange = nullptr;
    onData = nullptr;
    onPartialData = nullptr;
    disconnect();
}

std::vector<PeerIDPtr> PeerSession::connectedPeers() const {
    std::vector<PeerIDPtr> out;
    for (const auto& c : connections_)
        if (c->state == SessionState::Connected) out.push_back(c->peer);
    return out;
}

PeerSession::Connection* PeerSession::find(const PeerIDPtr& peer) const {
    for (const auto& c : connections_)
        if (c->peer == peer) return c.get();
    return nullptr;
}

bool PeerSession::sendData(const QByteArray& data, const std::vector<PeerIDPtr>& peers, SendDataMode,
                           std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (uint64_t(data.size()) > kMaxDataFrame) return fail("The data is larger than a message may be.");
    std::vector<Connection*> targets;
    for (const auto& p : peers) {
        Connection* c = find(p);
        if (!c || c->state != SessionState::Connected || !c->socket)
            return fail("Peer " + (p ? p->displayName() : std::string("(none)")) + " is not connected.");
        targets.push_back(c);
    }
    for (Connection* c : targets) {
        c->socket->write(frameHeader(FrameType::Data, uint32_t(data.size())));
        c->socket->write(data);
    }
    return true;
}

qint64 PeerSession::bytesToWrite() const {
    qint64 n = 0;
    for (const auto& c : connections_)
        if (c->socket) n += c->socket->bytesToWrite();
    return n;
}

void PeerSession::disconnect() {
    // Copy first: a state callback may change the list.
    std::vector<Connection*> all;
    for (const auto& c : connections_)
        all.push_back(c.get());
    for (Connection* c : all) {
        if (c->socket && c->socket->state() == QAbstractSocket::ConnectedState) {
            c->socket->write(encodeFrame(FrameType::Bye, {}));
            c->socket->flush();
        }
    }
    while (!connections_.empty())
        drop(connections_.front().get(), true);
}

void PeerSession::cancelConnectPeer(const PeerIDPtr& peer) {
    Connection* c = find(peer);
    if (!c) return;
    if (c->socket && c->socket->state() == QAbstractSocket::ConnectedState) {
        c->socket->write(encodeFrame(FrameType::Bye, {}));
        c->socket->flush();
    }
    drop(c, true);
}

void PeerSession::setReadingPaused(bool paused) {
    if (readingPaused_ == paused) return;
    readingPaused_ = paused;
    if (paused) return;
    // What waits in the connections' buffers brings no new signal: read it from the loop.
    QPointer<PeerSession> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (!self) return;
            std::vector<PeerIDPtr> peers;
            for (const auto& c : self->connections_)
                peers.push_back(c->peer);
            for (const auto& p : peers)
                if (Connection* c = self ? self->find(p) : nullptr) self->readFrom(c);
        },
        Qt::QueuedConnection);
}

void PeerSession::adopt(std::unique_ptr<Connection> connection) {
    Connection* c = connection.get();
    QTcpSocket* socket = c->socket;
    socket->setReadBufferSize(kReadBufferBytes);
    connections_.push_back(std::move(connection));
    QPointer<PeerSession> self(this);
    connect(socket, &QTcpSocket::readyRead, this, [self, c] {
        if (self) self->readFrom(c);
    });
    connect(socket, &QTcpSocket::disconnected, this, [self, c] {
        if (self && self->find(c->peer) == c) self->drop(c);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [self, c](QAbstractSocket::SocketError) {
        if (self && self->find(c->peer) == c) self->drop(c);
    });
}

void PeerSession::acceptConnection(QTcpSocket* socket, const PeerIDPtr& peer) {
    if (!socket) return;
    socket->setParent(this);
    socket->disconnect(); // the advertiser's handlers
    auto c = std::make_unique<Connection>();
    c->socket = socket;
    c->peer = peer;
    Connection* raw = c.get();
    adopt(std::move(c));
    QPointer<PeerSession> self(this);
    setState(raw, SessionState::Connecting);
    if (!self || find(peer) != raw) return;
    if (socket->state() != QAbstractSocket::ConnectedState) { // gone while the invitation was answered
        drop(raw, false);
        return;
    }
    socket->write(encodeFrame(FrameType::Accept, {}));
    setState(raw, SessionState::Connected);
    if (self && find(peer) == raw && socket->bytesAvailable() > 0) readFrom(raw);
}

void PeerSession::invitePeer(const DiscoveredPeer& peer, double timeoutSeconds) {
    if (!peer.peerID || find(peer.peerID)) return;
    auto c = std::make_unique<Connection>();
    auto* socket = new QTcpSocket(this);
    c->socket = socket;
    c->peer = peer.peerID;
    c->inviteTimer = std::make_unique<QTimer>();
    c->inviteTimer->setSingleShot(true);
    Connection* raw = c.get();
    adopt(std::move(c));
    QPointer<PeerSession> self(this);
    connect(raw->inviteTimer.get(), &QTimer::timeout, this, [self, raw] {
        if (self && self->find(raw->peer) == raw && raw->state != SessionState::Connected) self->drop(raw);
    });
    connect(socket, &QTcpSocket::connected, this, [self, raw] {
        if (!self || self->find(raw->peer) != raw) return;
        raw->socket->write(
            encodeFrame(FrameType::Invite, QByteArray::fromStdString(self->myPeerID_->displayName())));
    });
    raw->inviteTimer->start(int(timeoutSeconds * 1000));
    setState(raw, SessionState::Connecting);
    if (self && find(peer.peerID) == raw) socket->connectToHost(QString::fromStdString(peer.host), peer.port);
}

void PeerSession::readFrom(Connection* c) {
    QPointer<PeerSession> self(this);
    const PeerIDPtr peer = c->peer;
    while (self && !readingPaused_ && find(peer) == c && c->socket) {
        Frame frame;
        const auto status = c->reader.read(*c->socket, frame);
        if (status == FrameReader::Status::NeedMore) {
            if (c->reader.midFrame() && c->state == SessionState::Connected && onPartialData) {
                auto handler = onPartialData;
                handler(peer);
            }
            return;
        }
        if (status == FrameReader::Status::Malformed) {
            drop(c, false);
            return;
        }
        handleFrame(c, frame);
    }
}

void PeerSession::handleFrame(Connection* c, Frame& frame) {
    switch (frame.type) {
    case FrameType::Accept:
        if (c->state == SessionState::Connecting && c->inviteTimer) {
            c->inviteTimer->stop();
            setState(c, SessionState::Connected);
        }
        return;
    case FrameType::Decline:
    case FrameType::Bye:
    case FrameType::Invite: // only the advertiser takes invitations, and not inside a session
        drop(c);
        return;
    case FrameType::Data:
        if (c->state != SessionState::Connected) {
            drop(c);
            return;
        }
        if (onData) {
            auto handler = onData; // the callback may replace it
            handler(frame.payload, c->peer);
        }
        return;
    }
}

void PeerSession::setState(Connection* c, SessionState state) {
    if (c->state == state) return;
    c->state = state;
    if (onStateChange) {
        auto handler = onStateChange;
        handler(c->peer, state);
    }
}

void PeerSession::drop(Connection* c, bool graceful) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [c](const std::unique_ptr<Connection>& p) { return p.get() == c; });
    if (it == connections_.end()) return;
    std::unique_ptr<Connection> owned = std::move(*it);
    connections_.erase(it);
    if (QTcpSocket* socket = owned->socket) {
        socket->disconnect(this);
        if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
            // What is queued (a last reply, the goodbye) still goes out before the socket closes,
            // unless the peer takes none of it for too long.
            connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(kCloseLingerMs, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            socket->disconnectFromHost();
        } else {
            socket->abort();
            socket->deleteLater();
        }
    }
    const bool wasKnown = owned->state != SessionState::NotConnected;
    owned->state = SessionState::NotConnected;
    if (wasKnown && onStateChange) {
        auto handler = onStateChange;
        handler(owned->peer, SessionState::NotConnected);
    }
}

} // namespace peer
