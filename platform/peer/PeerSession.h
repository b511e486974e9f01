#pragma once
// A peer session: the local peer and the peers connected to it, each over one TCP connection of
// framed messages (PeerFrame.h). The advertising side takes invited connections in; the browsing side
// invites a peer it found. Data goes reliably, in order, to the peers named. Callbacks run on the
// thread the session lives on (its event loop); an oversize or malformed frame closes that
// connection only.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/peer/PeerFrame.h"
#include "platform/peer/PeerID.h"

class QTcpSocket;
class QTimer;

namespace peer {

enum class SessionState { NotConnected = 0, Connecting = 1, Connected = 2 };
enum class SendDataMode { Reliable = 0, Unreliable = 1 };
enum class EncryptionPreference { Optional = 0, Required = 1, None = 2 };

// What a connection takes from the system ahead of the session's reading: while reading is paused,
// the sender's data waits in the network (its sends slow down) rather than in our memory.
inline constexpr qint64 kReadBufferBytes = qint64(8) * 1024 * 1024;

// How long a closing connection may take to hand over what is queued before it is cut: a peer that
// can no longer be reached never takes it.
inline constexpr int kCloseLingerMs = 10000;

// A peer as a browse answer describes it.
struct DiscoveredPeer {
    PeerIDPtr peerID;
    std::string host;
    uint16_t port = 0;
    std::string serviceType;
};

const char* stateName(SessionState state);

class PeerSession : public QObject {
    Q_OBJECT
  public:
    explicit PeerSession(PeerIDPtr myPeerID, EncryptionPreference encryption = EncryptionPreference::None);
    ~PeerSession() override;

    const PeerIDPtr& myPeerID() const { return myPeerID_; }
    EncryptionPreference encryptionPreference() const { return encryption_; }
    std::vector<PeerIDPtr> connectedPeers() const;

    std::function<void(const PeerIDPtr& peer, SessionState state)> onStateChange;
    std::function<void(const QByteArray& data, const PeerIDPtr& peer)> onData;
    // Bytes of a message came from the peer and the message is not whole yet (a sender still sending).
    std::function<void(const PeerIDPtr& peer)> onPartialData;

    // Queues the data for each peer; false (with the reason) when a peer is not connected or the data
    // is larger than a frame may be. Both send modes are reliable here.
    bool sendData(const QByteArray& data, const std::vector<PeerIDPtr>& peers, SendDataMode mode,
                  std::string* error = nullptr);
    // Says goodbye to every peer and closes the connections.
    void disconnect();
    // The same for one peer.
    void cancelConnectPeer(const PeerIDPtr& peer);

    // Browsing side: connects to the peer and asks to join; Connected once it accepts.
    void invitePeer(const DiscoveredPeer& peer, double timeoutSeconds);
    // Advertising side: an invited connection, now accepted.
    void acceptConnection(QTcpSocket* socket, const PeerIDPtr& peer);

    // Bytes queued on the connections and not yet handed to the system.
    qint64 bytesToWrite() const;

    // While paused, no message is read from any connection (what arrives waits); reading resumes
    // from the loop, never inside this call.
    void setReadingPaused(bool paused);
    bool readingPaused() const { return readingPaused_; }

  private:
    struct Connection;
    void adopt(std::unique_ptr<Connection> connection);
    void readFrom(Connection* connection);
    void handleFrame(Connection* connection, Frame& frame);
    void setState(Connection* connection, SessionState state);
    // Forgets the connection; a graceful close lets queued bytes go out first.
    void drop(Connection* connection, bool graceful = true);
    Connection* find(const PeerIDPtr& peer) const;

    PeerIDPtr myPeerID_;
    EncryptionPreference encryption_;
    std::vector<std::unique_ptr<Connection>> connections_;
    bool readingPaused_ = false;
};

} // namespace peer
