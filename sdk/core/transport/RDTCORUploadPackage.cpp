#include "sdk/core/transport/RDTCORUploadPackage.h"

#include <algorithm>

#include "platform/foundation/Format.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/TimeSource.h"

using foundation::Value;

namespace {
constexpr const char* kEventsKey = "RDTCORUploadPackageEventsKey";
constexpr const char* kDeliverByTimeKey = "RDTCORUploadPackageDeliveryByTimeKey";
constexpr const char* kIsHandledKey = "RDTCORUploadPackageIsHandledKey";
constexpr const char* kHandlerKey = "RDTCORUploadPackageHandlerKey";
constexpr const char* kTargetKey = "RDTCORUploadPackageTargetKey";

std::atomic<uint64_t> nextPackageID{1};

// Expiry checks run here rather than on the creating thread, which may have no loop to run them.
foundation::QueuePtr expiryQueue() {
    static sdk::NoDestructor<foundation::QueuePtr> q(
        foundation::SerialQueue::create("com.ruvara.RDTCORUploadPackageTimer"));
    return *q;
}
} // namespace

std::shared_ptr<RDTCORUploadPackage> RDTCORUploadPackage::initWithTarget(RDTCORTarget target) {
    return initWithTarget(target, RDTCORRegistrar::sharedInstance()->storageForTarget(target),
                          RDTCORUploadCoordinator::sharedInstance());
}

std::shared_ptr<RDTCORUploadPackage>
RDTCORUploadPackage::initWithTarget(RDTCORTarget target, std::shared_ptr<RDTCORStorageProtocol> storage,
                                    std::weak_ptr<RDTCORUploadPackageProtocol> handler) {
    auto p = std::make_shared<RDTCORUploadPackage>(Token{}, target, std::move(storage), std::move(handler),
                                                   nextPackageID++);
    p->deliverByTime_ = RDTCORClock::clockSnapshotInTheFuture(kDeliverWithinMillis);
    p->startExpiryTimer();
    return p;
}

RDTCORUploadPackage::RDTCORUploadPackage(Token, RDTCORTarget target,
                                         std::shared_ptr<RDTCORStorageProtocol> storage,
                                         std::weak_ptr<RDTCORUploadPackageProtocol> handler,
                                         uint64_t packageID)
    : target_(target), storage_(std::move(storage)), handler_(std::move(handler)), packageID_(packageID) {}

RDTCORUploadPackage::~RDTCORUploadPackage() {
    stopExpiryTimer();
}

void RDTCORUploadPackage::startExpiryTimer() {
    // The timer holds the package weakly: a package nobody keeps is simply gone, and so is its timer.
    std::weak_ptr<RDTCORUploadPackage> weak = shared_from_this();
    auto handle =
        transport::TimeSource::shared()->scheduleTimer(expiryQueue(), kExpiryCheckSeconds, true, [weak] {
            if (auto self = weak.lock()) self->checkIfPackageIsExpired();
        });
    std::lock_guard lock(mutex_);
    timer_ = std::move(handle);
}

void RDTCORUploadPackage::stopExpiryTimer() {
    std::shared_ptr<transport::TimerHandle> timer;
    {
        std::lock_guard lock(mutex_);
        timer = std::move(timer_);
    }
    if (timer) timer->invalidate();
}

bool RDTCORUploadPackage::isExpiryTimerRunning() const {
    std::lock_guard lock(mutex_);
    return timer_ && timer_->isValid();
}

bool RDTCORUploadPackage::isDelivered() const {
    std::lock_guard lock(mutex_);
    return delivered_;
}

bool RDTCORUploadPackage::isHandled() const {
    std::lock_guard lock(mutex_);
    return handled_;
}

RDTCOREventSet RDTCORUploadPackage::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

void RDTCORUploadPackage::setEvents(RDTCOREventSet events) {
    std::lock_guard lock(mutex_);
    events_ = std::move(events);
}

RDTCORClock RDTCORUploadPackage::deliverByTime() const {
    std::lock_guard lock(mutex_);
    return deliverByTime_;
}

bool RDTCORUploadPackage::markHandled() {
    std::lock_guard lock(mutex_);
    if (handled_) return false;
    handled_ = true;
    return true;
}

void RDTCORUploadPackage::completeDelivery() {
    {
        std::lock_guard lock(mutex_);
        if (delivered_)
            RDTCORLogWarning(RDTCORLogCodeCompletedTwice,
                             "It's an API violation to call -completeDelivery twice.");
        delivered_ = true;
    }
    stopExpiryTimer();
    auto handler = handler_.lock();
    if (handler && markHandled()) handler->packageDelivered(finishedCopy(), true);
}

void RDTCORUploadPackage::retryDeliveryInTheFuture() {
    stopExpiryTimer();
    auto handler = handler_.lock();
    if (handler && markHandled()) handler->packageDelivered(finishedCopy(), false);
}

void RDTCORUploadPackage::checkIfPackageIsExpired() {
    if (!RDTCORClock::snapshot().isAfter(deliverByTime())) return;
    stopExpiryTimer();
    auto handler = handler_.lock();
    if (handler && markHandled()) handler->packageExpired(shared_from_this());
}

std::shared_ptr<RDTCORUploadPackage> RDTCORUploadPackage::copy() const {
    auto c = std::make_shared<RDTCORUploadPackage>(Token{}, target_, storage_, handler_, packageID_);
    {
        std::lock_guard lock(mutex_);
        c->deliverByTime_ = deliverByTime_;
        c->events_ = events_;
    }
    c->startExpiryTimer();
    return c;
}

std::shared_ptr<RDTCORUploadPackage> RDTCORUploadPackage::finishedCopy() const {
    auto c = std::make_shared<RDTCORUploadPackage>(Token{}, target_, storage_, handler_, packageID_);
    std::lock_guard lock(mutex_);
    c->deliverByTime_ = deliverByTime_;
    c->events_ = events_;
    c->delivered_ = delivered_;
    c->handled_ = true;
    return c;
}

bool RDTCORUploadPackage::operator==(const RDTCORUploadPackage& o) const {
    if (this == &o) return true;
    auto mine = events();
    auto theirs = o.events();
    return mine.size() == theirs.size() && std::equal(mine.begin(), mine.end(), theirs.begin(),
                                                      [](const auto& a, const auto& b) { return *a == *b; });
}

size_t RDTCORUploadPackage::hash() const {
    size_t h = 0;
    for (const auto& e : events())
        h ^= e->hash();
    return h;
}

std::string RDTCORUploadPackage::description() const {
    return foundation::format("<RDTCORUploadPackage: target=%ld events=%lu package=%lu>", target_,
                              events().size(), packageID_);
}

Value RDTCORUploadPackage::encodeToArchive() const {
    foundation::Array events;
    RDTCORClock deliverBy;
    bool handled;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : events_)
            events.push_back(e->encodeToArchive());
        deliverBy = deliverByTime_;
        handled = handled_;
    }
    return Value(foundation::Dictionary{
        {kRDTCORArchiveClassKey, "RDTCORUploadPackage"},
        {kEventsKey, RDTCORArchiveSet(std::move(events))},
        {kDeliverByTimeKey, deliverBy.encodeToArchive()},
        {kIsHandledKey, handled},
        {kHandlerKey, Value(foundation::Dictionary{{kRDTCORArchiveClassKey, "RDTCORUploadCoordinator"}})},
        {kTargetKey, target_},
    });
}

std::shared_ptr<RDTCORUploadPackage>
RDTCORUploadPackage::decode(const Value& v, std::shared_ptr<RDTCORStorageProtocol> storage,
                            std::weak_ptr<RDTCORUploadPackageProtocol> handler,
                            const std::function<uint64_t()>& newEventID) {
    if (!RDTCORArchiveIsObjectOfClass(v, "RDTCORUploadPackage") || !v[kTargetKey].isNumber()) return nullptr;
    auto package = initWithTarget(v[kTargetKey].intValue(), std::move(storage), std::move(handler));
    RDTCOREventSet events;
    if (const auto* objects = RDTCORArchiveCollectionObjects(v[kEventsKey]))
        for (const auto& item : *objects)
            if (auto event = RDTCOREvent::decode(item, newEventID)) events.insert(event);
    package->setEvents(std::move(events));
    if (auto deliverBy = RDTCORClock::decode(v[kDeliverByTimeKey])) {
        std::lock_guard lock(package->mutex_);
        package->deliverByTime_ = *deliverBy;
    }
    if (v[kIsHandledKey].boolValue()) package->markHandled();
    return package;
}
