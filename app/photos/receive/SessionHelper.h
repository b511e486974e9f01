#pragma once
// The receiving side of a peer session: advertises this device under the bundle's service type, admits
// one sending device at a time, tells what arrives apart as a text, a photograph or neither (by its
// first bytes: nothing is decoded here) and hands it to its delegate on the main queue, and sends the
// receiver's replies.
#include <QByteArray>
#include <QImage>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/peer/PeerAdvertiser.h"
#include "platform/peer/PeerSession.h"

class SessionHelperDelegate {
  public:
    virtual ~SessionHelperDelegate() = default;
    // A peer joined (flag false) or left (flag true) the connected list.
    virtual void sessionHelperDidChangeConnectedPeer(const peer::PeerIDPtr& peerID, bool flag) = 0;
    // A photograph arrived: the data as received (in a picture format, not yet decoded: that is the
    // photo library's work, off the main thread) and its byte length.
    virtual void sessionHelperDidRecieveImage(const QByteArray& imageData, unsigned long sizeOfImage,
                                              const peer::PeerIDPtr& peerID) = 0;
    virtual void sessionHelperDidRecieveMessage(const std::string& message,
                                                const peer::PeerIDPtr& peerID) = 0;
    // Part of a message came and the rest has not yet: the peer is still sending.
    virtual void sessionHelperIsReceivingData(const peer::PeerIDPtr& /*peerID*/) {}
};

class SessionHelper : public std::enable_shared_from_this<SessionHelper> {
  public:
    // Messages handed to the main queue and not yet to the delegate, beyond which the session stops
    // reading: a sender faster than the screen waits in the network instead of filling our memory.
    static constexpr int kMostFramesWaiting = 4;

    // initWithDisplayName: advertising starts at once.
    static std::shared_ptr<SessionHelper>
    create(const std::string& displayName, peer::PeerSettings settings = peer::PeerSettings::fromDefaults());
    ~SessionHelper();
    SessionHelper(const SessionHelper&) = delete;
    SessionHelper& operator=(const SessionHelper&) = delete;

    static std::optional<std::string> getServiceType();
    // Whether an invitation has been accepted (0: none); one for the process.
    static long invitationCounter();

    peer::PeerSession* session() const { return session_.get(); }
    peer::NearbyServiceAdvertiser* nearbyServiceAdvertiser() const { return advertiser_.get(); }
    std::shared_ptr<SessionHelperDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<SessionHelperDelegate>& delegate) { delegate_ = delegate; }
    const std::vector<peer::PeerIDPtr>& connectedPeerIDs() const { return connectedPeerIDs_; }
    size_t connectedPeersCount() const { return connectedPeerIDs_.size(); }
    peer::PeerIDPtr connectedPeerIDAtIndex(size_t index) const;
    bool isHost() const { return isHost_; }
    std::string roles() const { return isHost_ ? "Host" : "Joiner"; }
    std::string sessionName() const;
    std::string selectorNameInSession(const std::string& selectorName) const;
    // Splits at any of `characters` and joins the pieces with `separator` ("," when none).
    static std::string replaceCharacters(const std::string& characters, const std::string& text,
                                         const std::optional<std::string>& separator);

    void stopAdvertise();
    // The delegate's own back-pressure: while held, nothing more is read from the senders.
    void holdIncomingData(bool hold);
    int framesWaiting() const { return framesWaiting_; }
    // Leaves the session with every connected peer (it hears goodbye), advertising on: a sender that
    // has gone silent is let go, and the next one may come.
    void disconnectPeers();

    void sendImage(const QImage& image, const peer::PeerIDPtr& peerID);
    void sendStart(const peer::PeerIDPtr& peerID, unsigned long count);
    void sendProgress(const peer::PeerIDPtr& peerID, unsigned long count);
    void sendReadiness(const peer::PeerIDPtr& peerID);
    void sendEnd(const peer::PeerIDPtr& peerID);
    void sendCompletion(const peer::PeerIDPtr& peerID);
    void sendForbidden(const peer::PeerIDPtr& peerID);

  private:
    SessionHelper() = default;
    void start(const std::string& displayName, peer::PeerSettings settings);
    void didReceiveInvitation(const peer::PeerIDPtr& peerID,
                              const peer::NearbyServiceAdvertiser::InvitationHandler& handler);
    void peerDidChangeState(const peer::PeerIDPtr& peerID, peer::SessionState state);
    void didReceiveData(const QByteArray& data, const peer::PeerIDPtr& peerID);
    void didReceivePartialData(const peer::PeerIDPtr& peerID);
    void deliver(const QByteArray& data, const peer::PeerIDPtr& peerID);
    void updateReading();
    void sendText(const peer::PeerIDPtr& peerID, const std::string& text);
    void send(const peer::PeerIDPtr& peerID, const QByteArray& data);

    std::unique_ptr<peer::PeerSession> session_;
    std::unique_ptr<peer::NearbyServiceAdvertiser> advertiser_;
    std::weak_ptr<SessionHelperDelegate> delegate_;
    std::vector<peer::PeerIDPtr> connectedPeerIDs_;
    // Peers admitted by an invitation and not yet gone: their failure frees the invitation too.
    std::set<uint64_t> admitted_;
    bool isHost_ = false;
    bool partialDataPosted_ = false; // one report at a time: bytes come in many small reads
    int framesWaiting_ = 0;
    bool holding_ = false;
    std::string displayName_;
};
