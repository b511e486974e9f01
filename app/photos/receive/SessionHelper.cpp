#include "app/photos/receive/SessionHelper.h"

#include <QBuffer>
#include <QSysInfo>
#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "app/photos/albums/McInfo.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/image/ImageDecoding.h"

namespace {
std::atomic<long> invitations{0};

// Whether the data starts as a picture format does: a few bytes are read, nothing is decoded.
bool looksLikePicture(const QByteArray& data) {
    return !imaging::pictureFormat(data).isEmpty();
}

const std::map<std::string, std::string> kDiscoveryInfo = {{"aaa", "bbb"}, {"bbb", "aaa"}};
} // namespace

std::shared_ptr<SessionHelper> SessionHelper::create(const std::string& displayName,
                                                     peer::PeerSettings settings) {
    std::shared_ptr<SessionHelper> helper(new SessionHelper());
    helper->start(displayName, std::move(settings));
    return helper;
}

void SessionHelper::start(const std::string& displayName, peer::PeerSettings settings) {
    displayName_ = displayName;
    connectedPeerIDs_.clear();
    invitations = 0;
    auto me = peer::makePeerID(displayName);
    session_ = std::make_unique<peer::PeerSession>(me, peer::EncryptionPreference::None);
    std::weak_ptr<SessionHelper> weak = weak_from_this();
    session_->onStateChange = [weak](const peer::PeerIDPtr& p, peer::SessionState state) {
        if (auto self = weak.lock()) self->peerDidChangeState(p, state);
    };
    session_->onData = [weak](const QByteArray& data, const peer::PeerIDPtr& p) {
        if (auto self = weak.lock()) self->didReceiveData(data, p);
    };
    session_->onPartialData = [weak](const peer::PeerIDPtr& p) {
        if (auto self = weak.lock()) self->didReceivePartialData(p);
    };
    advertiser_ = std::make_unique<peer::NearbyServiceAdvertiser>(
        me, kDiscoveryInfo, getServiceType().value_or(""), std::move(settings));
    advertiser_->onInvitation = [weak](const peer::PeerIDPtr& p,
                                       peer::NearbyServiceAdvertiser::InvitationHandler handler) {
        if (auto self = weak.lock())
            self->didReceiveInvitation(p, handler);
        else
            handler(false, nullptr);
    };
    advertiser_->onStartFailed = [](const std::string& error) { foundation::log("%@", error); };
    advertiser_->startAdvertisingPeer();
    isHost_ = true;
}

SessionHelper::~SessionHelper() {
    stopAdvertise();
}

std::optional<std::string> SessionHelper::getServiceType() {
    return photoalbums::getServiceType();
}

long SessionHelper::invitationCounter() {
    return invitations.load();
}

void SessionHelper::stopAdvertise() {
    if (advertiser_) advertiser_->stopAdvertisingPeer();
    if (session_) session_->disconnect();
    invitations = 0;
}

void SessionHelper::disconnectPeers() {
    if (!session_) return;
    for (const auto& p : session_->connectedPeers())
        session_->cancelConnectPeer(p);
}

peer::PeerIDPtr SessionHelper::connectedPeerIDAtIndex(size_t index) const {
    return index < connectedPeerIDs_.size() ? connectedPeerIDs_[index] : nullptr;
}

void SessionHelper::didReceiveInvitation(const peer::PeerIDPtr& peerID,
                                         const peer::NearbyServiceAdvertiser::InvitationHandler& handler) {
    foundation::log("accept invitation!");
    if (invitations.load() == 0) {
        admitted_.insert(peerID->uniqueID());
        invitations += 1;
        handler(true, session_.get());
    } else {
        handler(false, nullptr);
    }
}

void SessionHelper::peerDidChangeState(const peer::PeerIDPtr& peerID, peer::SessionState state) {
    auto it = std::find(connectedPeerIDs_.begin(), connectedPeerIDs_.end(), peerID);
    const bool listed = it != connectedPeerIDs_.end();
    std::weak_ptr<SessionHelper> weak = weak_from_this();
    auto post = [weak, peerID](bool flag) {
        foundation::SerialQueue::main()->async([weak, peerID, flag] {
            auto self = weak.lock();
            if (!self) return;
            if (auto d = self->delegate()) d->sessionHelperDidChangeConnectedPeer(peerID, flag);
        });
    };
    if (state == peer::SessionState::Connected && !listed) {
        connectedPeerIDs_.push_back(peerID);
        post(false);
    } else if (state != peer::SessionState::Connected && listed) {
        connectedPeerIDs_.erase(it);
        admitted_.erase(peerID->uniqueID());
        invitations = 0;
        post(true);
    } else if (state == peer::SessionState::NotConnected && admitted_.erase(peerID->uniqueID())) {
        // Admitted but never connected: its invitation must not keep every later sender out.
        invitations = 0;
    }
}

void SessionHelper::didReceiveData(const QByteArray& data, const peer::PeerIDPtr& peerID) {
    ++framesWaiting_;
    updateReading();
    std::weak_ptr<SessionHelper> weak = weak_from_this();
    foundation::SerialQueue::main()->async([weak, data, peerID] {
        auto self = weak.lock();
        if (!self) return;
        --self->framesWaiting_;
        self->updateReading();
        self->deliver(data, peerID);
    });
}

void SessionHelper::deliver(const QByteArray& data, const peer::PeerIDPtr& peerID) {
    auto d = delegate();
    if (!d) return;
    if (peer::isValidUtf8(data.constData(), size_t(data.size()))) {
        d->sessionHelperDidRecieveMessage(data.toStdString(), peerID);
        return;
    }
    if (looksLikePicture(data))
        d->sessionHelperDidRecieveImage(data, (unsigned long)data.size(), peerID);
    else
        d->sessionHelperDidRecieveMessage("Not defined type", peerID);
}

void SessionHelper::holdIncomingData(bool hold) {
    holding_ = hold;
    updateReading();
}

void SessionHelper::updateReading() {
    if (session_) session_->setReadingPaused(holding_ || framesWaiting_ >= kMostFramesWaiting);
}

void SessionHelper::didReceivePartialData(const peer::PeerIDPtr& peerID) {
    if (partialDataPosted_) return;
    partialDataPosted_ = true;
    std::weak_ptr<SessionHelper> weak = weak_from_this();
    foundation::SerialQueue::main()->async([weak, peerID] {
        auto self = weak.lock();
        if (!self) return;
        self->partialDataPosted_ = false;
        if (auto d = self->delegate()) d->sessionHelperIsReceivingData(peerID);
    });
}

void SessionHelper::send(const peer::PeerIDPtr& peerID, const QByteArray& data) {
    if (!peerID || !session_) return;
    std::string error;
    if (!session_->sendData(data, {peerID}, peer::SendDataMode::Reliable, &error))
        foundation::log("Failed %@", error);
}

void SessionHelper::sendText(const peer::PeerIDPtr& peerID, const std::string& text) {
    send(peerID, QByteArray::fromStdString(text));
}

void SessionHelper::sendImage(const QImage& image, const peer::PeerIDPtr& peerID) {
    if (!peerID) return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 100);
    send(peerID, bytes);
}

void SessionHelper::sendStart(const peer::PeerIDPtr& p, unsigned long n) {
    sendText(p, foundation::format("Start,%lu", n));
}
void SessionHelper::sendProgress(const peer::PeerIDPtr& p, unsigned long n) {
    sendText(p, foundation::format("Progress,%lu", n));
}
void SessionHelper::sendReadiness(const peer::PeerIDPtr& p) {
    sendText(p, "Readiness");
}
void SessionHelper::sendEnd(const peer::PeerIDPtr& p) {
    sendText(p, "End");
}
void SessionHelper::sendCompletion(const peer::PeerIDPtr& p) {
    sendText(p, "Completion");
}
void SessionHelper::sendForbidden(const peer::PeerIDPtr& p) {
    sendText(p, "Forbidden");
}

std::string SessionHelper::replaceCharacters(const std::string& characters, const std::string& text,
                                             const std::optional<std::string>& separator) {
    std::vector<std::string> pieces(1);
    for (char c : text) {
        if (characters.find(c) != std::string::npos)
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    std::string out;
    const std::string sep = separator.value_or(",");
    for (size_t i = 0; i < pieces.size(); ++i)
        out += (i ? sep : "") + pieces[i];
    return out;
}

std::string SessionHelper::sessionName() const {
    auto app = zurarerizIvaDadadavu::shared();
    const std::string stamp = app ? app->timestamp() : std::string();
    const std::string name = app ? app->DisplayName() : std::string();
    const std::string text = foundation::format(
        "%@ - %@ - %@ - %@ - %@%@", stamp, roles(), name, QSysInfo::currentCpuArchitecture().toStdString(),
        QSysInfo::productType().toStdString(), QSysInfo::productVersion().toStdString());
    return replaceCharacters("[].#$/", text, ",");
}

std::string SessionHelper::selectorNameInSession(const std::string& selectorName) const {
    auto app = zurarerizIvaDadadavu::shared();
    const std::string stamp = app ? app->newTimestamp() : std::string();
    const long random = long(double(std::rand()) / 2147483647.0 * 1000.0);
    return replaceCharacters("[].#$/", foundation::format("%@ - %ld - %@", stamp, random, selectorName), ",");
}
