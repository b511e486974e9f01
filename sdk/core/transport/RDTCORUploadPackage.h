#pragma once
// The events of one upload, a deliver-by time three minutes ahead and the handler told how it ended.
// The first of delivery, retry or expiry reaches the handler; later ones do not. Expiry is checked
// every 5 s on a real timer.
#include <atomic>
#include <memory>
#include <mutex>

#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORClock.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORProtocols.h"

namespace transport {
class TimerHandle;
}

class RDTCORUploadPackage : public RDTCORCoding, public std::enable_shared_from_this<RDTCORUploadPackage> {
    struct Token {};

  public:
    static constexpr int64_t kDeliverWithinMillis = 180000;
    static constexpr double kExpiryCheckSeconds = 5.0;

    // A package for the target with the shared registrar's storage and the shared coordinator as handler.
    static std::shared_ptr<RDTCORUploadPackage> initWithTarget(RDTCORTarget target);
    static std::shared_ptr<RDTCORUploadPackage>
    initWithTarget(RDTCORTarget target, std::shared_ptr<RDTCORStorageProtocol> storage,
                   std::weak_ptr<RDTCORUploadPackageProtocol> handler);

    RDTCORUploadPackage(Token, RDTCORTarget target, std::shared_ptr<RDTCORStorageProtocol> storage,
                        std::weak_ptr<RDTCORUploadPackageProtocol> handler, uint64_t packageID);
    ~RDTCORUploadPackage() override;

    bool isDelivered() const;
    bool isHandled() const;
    RDTCOREventSet events() const;
    void setEvents(RDTCOREventSet events);
    RDTCORClock deliverByTime() const;
    RDTCORTarget target() const { return target_; }
    const std::shared_ptr<RDTCORStorageProtocol>& storage() const { return storage_; }
    std::shared_ptr<RDTCORUploadPackageProtocol> handler() const { return handler_.lock(); }
    // Names the upload: copies share it, so a late answer about an old upload is told apart from
    // the one now in flight.
    uint64_t packageID() const { return packageID_; }
    // Whether the expiry timer still runs.
    bool isExpiryTimerRunning() const;

    void completeDelivery();
    void retryDeliveryInTheFuture();
    void checkIfPackageIsExpired();

    // Same target, storage, handler, deliver-by time and events; its own expiry timer; marks cleared.
    std::shared_ptr<RDTCORUploadPackage> copy() const;

    bool operator==(const RDTCORUploadPackage& o) const;
    size_t hash() const;
    std::string description() const;

    foundation::Value encodeToArchive() const override;
    // A package from its archive value: fresh storage, handler and timer, then the archived events,
    // deliver-by time and handled mark. Null when the value is not a package.
    static std::shared_ptr<RDTCORUploadPackage> decode(const foundation::Value& v,
                                                       std::shared_ptr<RDTCORStorageProtocol> storage,
                                                       std::weak_ptr<RDTCORUploadPackageProtocol> handler,
                                                       const std::function<uint64_t()>& newEventID = {});

  private:
    void startExpiryTimer();
    void stopExpiryTimer();
    // The copy the handler is given: already handled and without a timer, so it can never report again.
    std::shared_ptr<RDTCORUploadPackage> finishedCopy() const;
    // Marks the package handled; true when this call did it.
    bool markHandled();

    mutable std::mutex mutex_;
    bool delivered_ = false;
    bool handled_ = false;
    std::shared_ptr<transport::TimerHandle> timer_;
    RDTCOREventSet events_;
    RDTCORClock deliverByTime_;
    const RDTCORTarget target_;
    const std::shared_ptr<RDTCORStorageProtocol> storage_;
    const std::weak_ptr<RDTCORUploadPackageProtocol> handler_;
    const uint64_t packageID_;
};
