#pragma once
// The prioritizer of the targets 1000, 1001 and 1002: one set of pending events per target, keyed by
// event ID, from which each upload package is chosen by the network conditions and the events' tiers.
// Events leave a set only when a package holding them is delivered; a failed or expired delivery
// leaves them to be offered again. The sets are archived across launches ("RDTCCTPrioritizer").
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/SerialQueue.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORClock.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORApplication;
class RDTCORRegistrar;

class RDTCCTPrioritizer : public RDTCORPrioritizer,
                          public RDTCORCoding,
                          public std::enable_shared_from_this<RDTCCTPrioritizer> {
    struct Token {};

  public:
    static constexpr int64_t kDailyMillis = 86400000;

    struct Dependencies {
        std::string rootDirectory;                                 // the archive and the payload files
        std::shared_ptr<RDTCORRegistrar> registrar;                // the packages' storage; may be null
        std::weak_ptr<RDTCORUploadPackageProtocol> packageHandler; // told how each package ended
        // The network connection record for events that ask for one (default: the current network's).
        std::function<foundation::Data()> networkConnectionInfo;
    };

    static std::shared_ptr<RDTCCTPrioritizer> sharedInstance();
    // Class-load registration: the shared instance for the targets 1000, 1001 and 1002.
    static void load();
    static std::shared_ptr<RDTCCTPrioritizer> create(Dependencies dependencies);
    RDTCCTPrioritizer(Token, Dependencies dependencies);

    void prioritizeEvent(std::shared_ptr<RDTCOREvent> event) override;
    std::shared_ptr<RDTCORUploadPackage> uploadPackageWithTarget(RDTCORTarget target,
                                                                 RDTCORUploadConditions conditions) override;
    // A copy of the target's pending events; nothing for a target it does not serve.
    std::optional<RDTCOREventSet> eventsForTarget(RDTCORTarget target) const;
    void saveState() override;

    void appWillForeground(RDTCORApplication& app) override;
    void appWillBackground(RDTCORApplication& app) override;
    void appWillTerminate(RDTCORApplication& app) override;

    void packageDelivered(std::shared_ptr<RDTCORUploadPackage> package, bool successful) override;
    void packageExpired(std::shared_ptr<RDTCORUploadPackage> package) override;

    std::string archivePath() const { return root_ + "/RDTCCTPrioritizer"; }
    foundation::QueuePtr queue() const { return queue_; }
    // The daily rule's reference time of target 1000 or 1001.
    std::optional<RDTCORClock> timeOfLastDailyUpload(RDTCORTarget target) const;

    foundation::Value encodeToArchive() const override;
    // Merges archived sets into the live ones (see mergeArchivedEvents); false, with `error`, when the
    // archive cannot be read.
    bool readArchive(const foundation::Data* bytes, foundation::ErrorPtr* error);

  private:
    using EventTable = std::map<uint64_t, std::shared_ptr<RDTCOREvent>>;
    EventTable* tableFor(RDTCORTarget target);
    const EventTable* tableFor(RDTCORTarget target) const;
    RDTCOREventSet chooseEvents(RDTCORTarget target, RDTCORUploadConditions conditions);
    foundation::Value archiveValueOnQueue() const;
    bool writeArchiveOnQueue();
    bool payloadFileExists(const RDTCOREvent& event) const;
    void mergeArchivedEvents(const foundation::Value& archived);

    const std::string root_;
    foundation::QueuePtr queue_;
    std::weak_ptr<RDTCORRegistrar> registrar_;
    std::weak_ptr<RDTCORUploadPackageProtocol> handler_;
    std::function<foundation::Data()> networkConnectionInfo_;

    // On the queue only.
    EventTable CCTEvents_, FLLEvents_, CSHEvents_;
    std::optional<RDTCORClock> CCTTimeOfLastDailyUpload_, FLLOfLastDailyUpload_;
    // Events delivered in this run, by ID with their payload file: an archive written before the
    // delivery must not bring them back while their file still waits for removal.
    std::map<uint64_t, std::string> delivered_;
};
