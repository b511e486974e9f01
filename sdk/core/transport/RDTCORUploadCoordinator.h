#pragma once
// Decides when stored events are uploaded: every 30 s while the app is in the foreground, and at once
// when the storage forces a target (a tier-4 event). For each ready target without a package in
// flight it asks the prioritizer for a package and hands it to the uploader; a delivered package's
// events leave the storage, a failed or expired one's stay and are offered again.
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORRegistrar;
namespace transport {
class TimerHandle;
}

class RDTCORUploadCoordinator : public RDTCORUploadPackageProtocol,
                                public RDTCORLifecycleProtocol,
                                public RDTCORCoding,
                                public std::enable_shared_from_this<RDTCORUploadCoordinator> {
    struct Token {};

  public:
    static constexpr double kTimerIntervalSeconds = 30.0;
    static constexpr double kTimerLeewaySeconds = 5.0;

    struct Dependencies {
        std::shared_ptr<RDTCORRegistrar> registrar;
        std::shared_ptr<RDTCORApplication> application;
        // The current reachability flags.
        std::function<uint32_t()> reachabilityFlags;
    };

    // Created once; its timer starts right away.
    static std::shared_ptr<RDTCORUploadCoordinator> sharedInstance();
    // A coordinator whose timer has not started.
    static std::shared_ptr<RDTCORUploadCoordinator> create(Dependencies dependencies);
    RDTCORUploadCoordinator(Token, Dependencies dependencies);
    ~RDTCORUploadCoordinator() override;

    void forceUploadForTarget(RDTCORTarget target);
    // Starts the periodic check (stopping any running one) with one check at once.
    void startTimer();
    void stopTimer();
    void uploadTargets(std::vector<RDTCORTarget> targets, RDTCORUploadConditions conditions);
    RDTCORUploadConditions uploadConditions() const;
    std::shared_ptr<RDTCORStorageProtocol> storageForTarget(RDTCORTarget target) const;

    void packageDelivered(std::shared_ptr<RDTCORUploadPackage> package, bool successful) override;
    void packageExpired(std::shared_ptr<RDTCORUploadPackage> package) override;

    void appWillForeground(RDTCORApplication& app) override;
    void appWillBackground(RDTCORApplication& app) override;
    void appWillTerminate(RDTCORApplication& app) override;

    // The in-flight table (a copy).
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploadPackage>> targetToInFlightPackages() const;
    bool isTimerRunning() const;
    foundation::QueuePtr coordinationQueue() const { return queue_; }

    foundation::Value encodeToArchive() const override;
    // Takes the archived in-flight packages for targets with none in flight now. With `storedEventIDs`,
    // packages keep only events still stored; packages left empty, or already handled, are dropped.
    void decodeFromArchive(const foundation::Value& v, const std::set<uint64_t>* storedEventIDs,
                           const std::function<uint64_t()>& newEventID = {});

  private:
    void startTimerOnQueue();
    void stopTimerOnQueue();
    void timerFired();
    void uploadTargetsOnQueue(const std::vector<RDTCORTarget>& targets, RDTCORUploadConditions conditions);
    void clearInFlight(const RDTCORUploadPackage& package);
    // A package of `ended` is done: forced targets that came back meanwhile (an uploader sends one
    // package at a time) are asked again now rather than at the next beat of the timer.
    void retryOwedForcedTargets(RDTCORTarget ended);

    foundation::QueuePtr queue_;
    Dependencies deps_;
    std::shared_ptr<transport::TimerHandle> timer_;
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploadPackage>> inFlight_;
    std::set<uint64_t> forcedPackages_; // in flight under a forced upload
    std::set<RDTCORTarget> owedForced_; // forced, came back undelivered
    bool terminated_ = false;
};
