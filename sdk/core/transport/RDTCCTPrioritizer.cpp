#include "sdk/core/transport/RDTCCTPrioritizer.h"

#include <sys/stat.h>

#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCCTNanopbHelpers.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"

using foundation::Value;

namespace {

constexpr const char* kCCTEventsKey = "RDTCCTUploaderCCTEventsKey";
constexpr const char* kFLLEventsKey = "RDTCCTUploaderFLLEventsKey";
constexpr const char* kCSHEventsKey = "RDTCCTUploaderCSHEventsKey";

// Which network conditions an event may go out under, from its tier.
int uploadCategory(RDTCOREventQoS tier) {
    switch (tier) {
    case RDTCOREventQoSTelemetry:
    case RDTCOREventQoSDaily:
        return 2;
    case RDTCOREventQoSWifiOnly:
        return 5;
    default:
        return 0;
    }
}

bool allowedOnMobile(int category) {
    return category == 0;
}
bool allowedOnWifi(int category) {
    return category == 0 || category == 5 || category == 2;
}
bool allowedDaily(int category) {
    return category == 2;
}

} // namespace

std::shared_ptr<RDTCCTPrioritizer> RDTCCTPrioritizer::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCCTPrioritizer>> instance(
        create({RDTCORRootDirectory(), RDTCORRegistrar::sharedInstance(),
                RDTCORUploadCoordinator::sharedInstance(), nullptr}));
    return *instance;
}

void RDTCCTPrioritizer::load() {
    auto prioritizer = sharedInstance();
    auto registrar = RDTCORRegistrar::sharedInstance();
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
        registrar->registerPrioritizer(prioritizer, t);
}

std::shared_ptr<RDTCCTPrioritizer> RDTCCTPrioritizer::create(Dependencies dependencies) {
    return std::make_shared<RDTCCTPrioritizer>(Token{}, std::move(dependencies));
}

RDTCCTPrioritizer::RDTCCTPrioritizer(Token, Dependencies deps)
    : root_(std::move(deps.rootDirectory)),
      queue_(foundation::SerialQueue::create("com.ruvara.RDTCCTPrioritizer")),
      registrar_(std::move(deps.registrar)), handler_(std::move(deps.packageHandler)),
      networkConnectionInfo_(deps.networkConnectionInfo
                                 ? std::move(deps.networkConnectionInfo)
                                 : std::function<foundation::Data()>(RDTCCTConstructNetworkConnectionInfo)) {}

RDTCCTPrioritizer::EventTable* RDTCCTPrioritizer::tableFor(RDTCORTarget target) {
    switch (target) {
    case RDTCORTargetCCT:
        return &CCTEvents_;
    case RDTCORTargetFLL:
        return &FLLEvents_;
    case RDTCORTargetCSH:
        return &CSHEvents_;
    default:
        return nullptr;
    }
}

const RDTCCTPrioritizer::EventTable* RDTCCTPrioritizer::tableFor(RDTCORTarget target) const {
    return const_cast<RDTCCTPrioritizer*>(this)->tableFor(target);
}

void RDTCCTPrioritizer::prioritizeEvent(std::shared_ptr<RDTCOREvent> event) {
    if (!event) return;
    if (event->needsNetworkConnectionInfoPopulated())
        event->setNetworkConnectionInfoData(networkConnectionInfo_());
    queue_->async([weak = weak_from_this(), event] {
        auto self = weak.lock();
        if (!self) return;
        auto* table = self->tableFor(event->target());
        if (!table) {
            RDTCORLogDebug("RDTCCTPrioritizer doesn't support target %ld", event->target());
            return;
        }
        if (!event->eventID()) {
            RDTCORLogDebug("An event had a nil eventID: %@", *event);
            return;
        }
        // Offered again (a reload, an expired package): the event already held stays as it is.
        table->emplace(*event->eventID(), event);
    });
}

RDTCOREventSet RDTCCTPrioritizer::chooseEvents(RDTCORTarget target, RDTCORUploadConditions conditions) {
    RDTCOREventSet chosen;
    const auto* table = tableFor(target);
    if (!table) return chosen;
    auto addIf = [&](bool (*allowed)(int)) {
        for (const auto& [id, event] : *table)
            if (allowed(uploadCategory(event->qosTier()))) chosen.insert(event);
    };
    if (target == RDTCORTargetCSH) {
        for (const auto& [id, event] : *table)
            chosen.insert(event);
        return chosen;
    }
    if (conditions & RDTCORUploadConditionHighPriority) {
        RDTCORLogDebug("CCT: A high priority event is flushing all events.");
        for (const auto& [id, event] : *table)
            chosen.insert(event);
        return chosen;
    }
    if (conditions & RDTCORUploadConditionWifiData) {
        RDTCORLogDebug("CCT: events ok to send on wifi are being added to the upload package");
        addIf(allowedOnWifi);
    } else {
        RDTCORLogDebug("CCT: events ok to send on mobile are being added to the upload package");
        addIf(allowedOnMobile);
    }
    auto& reference = target == RDTCORTargetCCT ? CCTTimeOfLastDailyUpload_ : FLLOfLastDailyUpload_;
    bool daily = false;
    if (!reference) {
        reference = RDTCORClock::snapshot();
        daily = true;
    } else {
        daily = RDTCORClock::snapshot().timeMillis() - reference->timeMillis() > kDailyMillis;
    }
    if (daily) {
        RDTCORLogDebug("CCT: events ok to send daily are being added to the upload package");
        addIf(allowedDaily);
    }
    return chosen;
}

std::shared_ptr<RDTCORUploadPackage>
RDTCCTPrioritizer::uploadPackageWithTarget(RDTCORTarget target, RDTCORUploadConditions conditions) {
    RDTCOREventSet events;
    queue_->sync([&] { events = chooseEvents(target, conditions); });
    auto registrar = registrar_.lock();
    auto package = RDTCORUploadPackage::initWithTarget(
        target, registrar ? registrar->storageForTarget(target) : nullptr, handler_);
    RDTCORLogDebug("CCT: %lu events are in the upload package", events.size());
    package->setEvents(std::move(events));
    return package;
}

std::optional<RDTCOREventSet> RDTCCTPrioritizer::eventsForTarget(RDTCORTarget target) const {
    std::optional<RDTCOREventSet> events;
    queue_->sync([&] {
        if (const auto* table = tableFor(target)) {
            events.emplace();
            for (const auto& [id, event] : *table)
                events->insert(event);
        }
    });
    return events;
}

std::optional<RDTCORClock> RDTCCTPrioritizer::timeOfLastDailyUpload(RDTCORTarget target) const {
    std::optional<RDTCORClock> time;
    queue_->sync([&] {
        if (target == RDTCORTargetCCT) time = CCTTimeOfLastDailyUpload_;
        if (target == RDTCORTargetFLL) time = FLLOfLastDailyUpload_;
    });
    return time;
}

// MARK: packages

void RDTCCTPrioritizer::packageDelivered(std::shared_ptr<RDTCORUploadPackage> package, bool successful) {
    if (!package || !successful) return; // not delivered: its events are offered again
    queue_->async([weak = weak_from_this(), events = package->events()] {
        auto self = weak.lock();
        if (!self) return;
        for (const auto& event : events) {
            if (!event->eventID()) continue;
            uint64_t id = *event->eventID();
            for (auto* table : {&self->CCTEvents_, &self->FLLEvents_, &self->CSHEvents_})
                table->erase(id);
            self->delivered_[id] = event->RDTFilePath().value_or(event->payloadFileName());
        }
    });
}

void RDTCCTPrioritizer::packageExpired(std::shared_ptr<RDTCORUploadPackage> package) {
    // An expired package was not delivered: its events are still stored and stay to be offered again.
    if (package) RDTCORLogDebug("CCT: package expired, its %lu events stay", package->events().size());
}

// MARK: archive

Value RDTCCTPrioritizer::archiveValueOnQueue() const {
    auto set = [](const EventTable& table) {
        foundation::Array items;
        for (const auto& [id, event] : table)
            items.push_back(event->encodeToArchive());
        return RDTCORArchiveSet(std::move(items), "NSMutableSet");
    };
    return Value(foundation::Dictionary{{kRDTCORArchiveClassKey, "RDTCCTPrioritizer"},
                                        {kCCTEventsKey, set(CCTEvents_)},
                                        {kFLLEventsKey, set(FLLEvents_)},
                                        {kCSHEventsKey, set(CSHEvents_)}});
}

Value RDTCCTPrioritizer::encodeToArchive() const {
    Value v;
    queue_->sync([&] { v = archiveValueOnQueue(); });
    return v;
}

bool RDTCCTPrioritizer::writeArchiveOnQueue() {
    foundation::ErrorPtr error;
    if (!RDTCOREncodeArchiveValue(archiveValueOnQueue(), archivePath(), &error)) {
        RDTCORLogDebug("Serializing RDTCCTPrioritizer to an archive failed: %@",
                       error ? error->description() : std::string("(unknown)"));
        return false;
    }
    return true;
}

bool RDTCCTPrioritizer::payloadFileExists(const RDTCOREvent& event) const {
    const auto& name = event.RDTFilePath();
    struct stat st;
    return name && RDTCORIsSafePayloadFileName(*name) && ::lstat((root_ + "/" + *name).c_str(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

// An archive may be older than what is held now: an event held now stays as it is, an archived one
// joins only while its payload file is still there, is no other event's, and it was not delivered since.
void RDTCCTPrioritizer::mergeArchivedEvents(const Value& archived) {
    for (auto it = delivered_.begin(); it != delivered_.end();) {
        struct stat st;
        bool fileGone = ::lstat((root_ + "/" + it->second).c_str(), &st) != 0;
        it = fileGone ? delivered_.erase(it) : std::next(it);
    }
    // One payload file belongs to one event.
    std::set<std::string> files;
    for (const auto* table : {&CCTEvents_, &FLLEvents_, &CSHEvents_})
        for (const auto& [id, event] : *table)
            files.insert(event->RDTFilePath().value_or(event->payloadFileName()));
    for (const char* key : {kCCTEventsKey, kFLLEventsKey, kCSHEventsKey}) {
        const auto* items = RDTCORArchiveCollectionObjects(archived[key]);
        if (!items) continue;
        for (const auto& item : *items) {
            bool withoutID = false;
            auto event = RDTCOREvent::decode(item, [&] {
                withoutID = true;
                return uint64_t(0);
            });
            if (!event || withoutID) continue;
            auto* table = tableFor(event->target());
            uint64_t id = *event->eventID();
            if (!table || table->count(id) || delivered_.count(id) || !payloadFileExists(*event) ||
                !files.insert(*event->RDTFilePath()).second)
                continue;
            table->emplace(id, event);
        }
    }
}

bool RDTCCTPrioritizer::readArchive(const foundation::Data* bytes, foundation::ErrorPtr* error) {
    bool ok = false;
    queue_->sync([&] {
        auto archived = RDTCORDecodeArchive("RDTCCTPrioritizer", archivePath(), bytes, error);
        if (!archived) return;
        mergeArchivedEvents(*archived);
        ok = true;
    });
    return ok;
}

void RDTCCTPrioritizer::saveState() {
    queue_->sync([&] {
        if (writeArchiveOnQueue())
            RDTCORLogDebug("RDTCCTPrioritizer saved state to %@ as requested by DOD.", archivePath());
    });
}

// MARK: life cycle

void RDTCCTPrioritizer::appWillForeground(RDTCORApplication&) {
    queue_->async([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self) return;
        foundation::ErrorPtr error;
        auto archived = RDTCORDecodeArchive("RDTCCTPrioritizer", self->archivePath(), nullptr, &error);
        if (archived)
            self->mergeArchivedEvents(*archived);
        else if (error)
            RDTCORLogDebug("Deserializing RDTCCTPrioritizer from an archive failed: %@", *error);
    });
}

void RDTCCTPrioritizer::appWillBackground(RDTCORApplication& app) {
    std::weak_ptr<RDTCORApplication> weakApp = app.weak_from_this();
    auto id = std::make_shared<RDTCORBackgroundIdentifier>();
    *id = app.beginBackgroundTaskWithName("RDTStorage", [weakApp, id] {
        if (auto a = weakApp.lock()) a->endBackgroundTask(*id);
    });
    queue_->async([weak = weak_from_this(), weakApp, id] {
        if (auto self = weak.lock()) self->writeArchiveOnQueue();
        if (auto a = weakApp.lock()) a->endBackgroundTask(*id);
    });
}

void RDTCCTPrioritizer::appWillTerminate(RDTCORApplication&) {
    queue_->sync([&] { writeArchiveOnQueue(); });
}
