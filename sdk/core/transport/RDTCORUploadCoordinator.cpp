#include "sdk/core/transport/RDTCORUploadCoordinator.h"

#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "sdk/core/transport/RDTCORReachability.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"
#include "sdk/core/transport/TimeSource.h"

using foundation::Value;

namespace {
constexpr const char* kInFlightKey = "RDTCORUploadCoordinatortargetToInFlightPackages";
}

std::shared_ptr<RDTCORUploadCoordinator> RDTCORUploadCoordinator::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORUploadCoordinator>> instance([] {
        auto c = create({RDTCORRegistrar::sharedInstance(), RDTCORApplication::sharedApplication(),
                         [] { return RDTCORReachability::currentFlags(); }});
        c->startTimer();
        return c;
    }());
    return *instance;
}

std::shared_ptr<RDTCORUploadCoordinator> RDTCORUploadCoordinator::create(Dependencies dependencies) {
    return std::make_shared<RDTCORUploadCoordinator>(Token{}, std::move(dependencies));
}

RDTCORUploadCoordinator::RDTCORUploadCoordinator(Token, Dependencies dependencies)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCORUploadCoordinator")),
      deps_(std::move(dependencies)) {}

RDTCORUploadCoordinator::~RDTCORUploadCoordinator() {
    if (timer_) timer_->invalidate();
}

RDTCORUploadConditions RDTCORUploadCoordinator::uploadConditions() const {
    uint32_t flags = deps_.reachabilityFlags ? deps_.reachabilityFlags() : 0;
    if (!RDTCORFlagsReachable(flags)) return RDTCORUploadConditionNoNetwork;
    if (RDTCORFlagsMobile(flags)) return RDTCORUploadConditionMobileData;
    return RDTCORUploadConditionWifiData;
}

std::shared_ptr<RDTCORStorageProtocol> RDTCORUploadCoordinator::storageForTarget(RDTCORTarget target) const {
    return deps_.registrar->storageForTarget(target);
}

void RDTCORUploadCoordinator::forceUploadForTarget(RDTCORTarget target) {
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    queue_->async([weak, target] {
        if (auto self = weak.lock())
            self->uploadTargetsOnQueue({target},
                                       self->uploadConditions() | RDTCORUploadConditionHighPriority);
    });
}

void RDTCORUploadCoordinator::uploadTargets(std::vector<RDTCORTarget> targets,
                                            RDTCORUploadConditions conditions) {
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    queue_->async([weak, targets = std::move(targets), conditions] {
        if (auto self = weak.lock()) self->uploadTargetsOnQueue(targets, conditions);
    });
}

void RDTCORUploadCoordinator::startTimer() {
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    queue_->async([weak] {
        if (auto self = weak.lock()) self->startTimerOnQueue();
    });
}

void RDTCORUploadCoordinator::stopTimer() {
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    queue_->async([weak] {
        if (auto self = weak.lock()) self->stopTimerOnQueue();
    });
}

void RDTCORUploadCoordinator::startTimerOnQueue() {
    // A restart must not leave the old timer firing beside the new one.
    stopTimerOnQueue();
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    timer_ = transport::TimeSource::shared()->scheduleTimer(queue_, kTimerIntervalSeconds, true, [weak] {
        if (auto self = weak.lock()) self->timerFired();
    });
    timerFired();
}

void RDTCORUploadCoordinator::stopTimerOnQueue() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

bool RDTCORUploadCoordinator::isTimerRunning() const {
    bool running = false;
    queue_->sync([&] { running = timer_ && timer_->isValid(); });
    return running;
}

void RDTCORUploadCoordinator::timerFired() {
    if (deps_.application && deps_.application->isRunningInBackground()) return;
    std::vector<RDTCORTarget> targets;
    for (const auto& [target, uploader] : deps_.registrar->targetToUploader())
        targets.push_back(target);
    uploadTargetsOnQueue(targets, uploadConditions());
}

void RDTCORUploadCoordinator::uploadTargetsOnQueue(const std::vector<RDTCORTarget>& targets,
                                                   RDTCORUploadConditions conditions) {
    // Without a network nothing is attempted, forced or not; after termination nothing at all.
    if (terminated_ || (conditions & RDTCORUploadConditionNoNetwork)) return;
    for (RDTCORTarget target : targets) {
        if (inFlight_.count(target)) continue;
        auto uploader = deps_.registrar->uploaderForTarget(target);
        if (!uploader || !uploader->readyToUploadTarget(target, conditions)) continue;
        auto prioritizer = deps_.registrar->prioritizerForTarget(target);
        if (!prioritizer) {
            RDTCORLogWarning(RDTCORLogCodeNoPrioritizer,
                             "A prioritizer should be registered for this target: %ld", target);
            continue;
        }
        auto package = prioritizer->uploadPackageWithTarget(target, conditions);
        if (!package) continue;
        if (!package->events().empty()) {
            inFlight_[target] = package;
            if (conditions & RDTCORUploadConditionHighPriority) forcedPackages_.insert(package->packageID());
            uploader->uploadPackage(package);
        } else {
            package->completeDelivery();
        }
    }
}

void RDTCORUploadCoordinator::clearInFlight(const RDTCORUploadPackage& package) {
    auto it = inFlight_.find(package.target());
    // Only the package now in flight may free its target; a late word about an older one may not.
    if (it != inFlight_.end() && it->second->packageID() == package.packageID()) inFlight_.erase(it);
}

void RDTCORUploadCoordinator::retryOwedForcedTargets(RDTCORTarget ended) {
    std::vector<RDTCORTarget> owed;
    for (RDTCORTarget t : owedForced_)
        if (t != ended) owed.push_back(t);
    for (RDTCORTarget t : owed)
        owedForced_.erase(t);
    if (!owed.empty()) uploadTargetsOnQueue(owed, uploadConditions() | RDTCORUploadConditionHighPriority);
}

void RDTCORUploadCoordinator::packageDelivered(std::shared_ptr<RDTCORUploadPackage> package,
                                               bool successful) {
    if (!package) return;
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    queue_->async([weak, package, successful] {
        auto self = weak.lock();
        if (!self) return;
        self->clearInFlight(*package);
        RDTCORTarget target = package->target();
        const bool forced = self->forcedPackages_.erase(package->packageID()) > 0;
        if (forced && !successful)
            self->owedForced_.insert(target);
        else if (successful)
            self->owedForced_.erase(target);
        auto prioritizer = self->deps_.registrar->prioritizerForTarget(target);
        if (!prioritizer)
            RDTCORLogWarning(RDTCORLogCodeNoPrioritizer,
                             "A prioritizer should be registered for this target: %ld", target);
        else
            prioritizer->packageDelivered(package, successful);
        self->retryOwedForcedTargets(target);
        auto events = package->events();
        if (!successful || events.empty()) return;
        std::set<uint64_t> ids;
        for (const auto& e : events) {
            if (e->eventID())
                ids.insert(*e->eventID());
            else
                RDTCORLogDebug("An event had a nil eventID: %@", *e);
        }
        auto storage =
            package->storage() ? package->storage() : self->deps_.registrar->storageForTarget(target);
        if (storage) storage->removeEvents(ids);
    });
}

void RDTCORUploadCoordinator::packageExpired(std::shared_ptr<RDTCORUploadPackage> package) {
    if (!package) return;
    std::weak_ptr<RDTCORUploadCoordinator> weak = shared_from_this();
    queue_->async([weak, package] {
        auto self = weak.lock();
        if (!self) return;
        self->clearInFlight(*package);
        RDTCORTarget target = package->target();
        self->forcedPackages_.erase(package->packageID());
        auto prioritizer = self->deps_.registrar->prioritizerForTarget(target);
        auto uploader = self->deps_.registrar->uploaderForTarget(target);
        if (prioritizer) prioritizer->packageExpired(package);
        if (uploader) uploader->packageExpired(package);
        // The events were not delivered and are still stored: offer them again, whatever the
        // prioritizer made of the expiry.
        if (prioritizer)
            for (const auto& e : package->events())
                prioritizer->prioritizeEvent(e->copy());
        self->retryOwedForcedTargets(target);
    });
}

void RDTCORUploadCoordinator::appWillForeground(RDTCORApplication&) {
    // A new life of the application after an earlier one ended.
    queue_->async([weak = weak_from_this()] {
        if (auto self = weak.lock()) self->terminated_ = false;
    });
    startTimer();
}

void RDTCORUploadCoordinator::appWillBackground(RDTCORApplication&) {
    stopTimer();
}

void RDTCORUploadCoordinator::appWillTerminate(RDTCORApplication&) {
    queue_->sync([this] {
        stopTimerOnQueue();
        // Uploads given up on the way out must not start others.
        terminated_ = true;
        owedForced_.clear();
    });
}

std::map<RDTCORTarget, std::shared_ptr<RDTCORUploadPackage>>
RDTCORUploadCoordinator::targetToInFlightPackages() const {
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploadPackage>> copy;
    queue_->sync([&] { copy = inFlight_; });
    return copy;
}

Value RDTCORUploadCoordinator::encodeToArchive() const {
    foundation::Dictionary d{{kRDTCORArchiveClassKey, "RDTCORUploadCoordinator"}};
    queue_->sync([&] {
        if (inFlight_.empty()) return;
        foundation::Dictionary table;
        for (const auto& [target, package] : inFlight_)
            table[std::to_string(target)] = package->encodeToArchive();
        d[kInFlightKey] = Value(std::move(table));
    });
    return Value(std::move(d));
}

void RDTCORUploadCoordinator::decodeFromArchive(const Value& v, const std::set<uint64_t>* storedEventIDs,
                                                const std::function<uint64_t()>& newEventID) {
    std::map<RDTCORTarget, std::shared_ptr<RDTCORUploadPackage>> table;
    if (const auto* archived = v[kInFlightKey].dictionary()) {
        for (const auto& [key, value] : *archived) {
            auto package = RDTCORUploadPackage::decode(
                value, storageForTarget(value["RDTCORUploadPackageTargetKey"].intValue()), weak_from_this(),
                newEventID);
            // A package whose outcome was already told would never tell anyone again: restored, it
            // would hold its target for good. Its events are still stored and are offered anew.
            if (!package || package->isHandled()) continue;
            if (storedEventIDs) {
                RDTCOREventSet kept;
                for (const auto& e : package->events())
                    if (e->eventID() && storedEventIDs->count(*e->eventID())) kept.insert(e);
                package->setEvents(std::move(kept));
            }
            if (!package->events().empty()) table[package->target()] = package;
        }
    }
    // A package put in flight by this run (the timer fires at once on creation) stays: it is the
    // one an uploader will answer for.
    queue_->sync([&] {
        for (auto& [target, package] : inFlight_)
            table[target] = package;
        inFlight_ = std::move(table);
    });
}
