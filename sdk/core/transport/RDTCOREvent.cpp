#include "sdk/core/transport/RDTCOREvent.h"

#include "platform/foundation/Files.h"
#include "platform/foundation/Format.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"

using foundation::Dictionary;
using foundation::Value;

namespace {
// Current format.
constexpr const char* kEventIDKey = "_eventID";
constexpr const char* kMappingIDKey = "_mappingID";
constexpr const char* kTargetKey = "_target";
constexpr const char* kQoSTierKey = "_qosTier";
constexpr const char* kClockSnapshotKey = "_clockSnapshot";
constexpr const char* kFilePathKey = "_RDTFilePath";
constexpr const char* kCustomDataKey = "RDTCOREventCustomDataKey";
constexpr const char* kFileURLKey = "_fileURL";
// Older stored-event format.
constexpr const char* kStoredDataFutureKey = "RDTCORStoredEventDataFutureKey";
constexpr const char* kStoredMappingIDKey = "RDTCORStoredEventMappingIDKey";
constexpr const char* kStoredTargetKey = "RDTCORStoredEventTargetKey";
constexpr const char* kStoredQoSTierKey = "RDTCORStoredEventQosTierKey";
constexpr const char* kStoredClockSnapshotKey = "RDTCORStoredEventClockSnapshotKey";
constexpr const char* kDataFutureFileURLKey = "RDTCORDataFutureFileURLKey";

foundation::ErrorPtr eventError(long code, const std::string& description) {
    return foundation::Error::make(kRDTCORErrorDomain, code,
                                   {{foundation::kLocalizedDescriptionKey, description}});
}

std::string lastPathComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::optional<uint64_t> idFromValue(const Value& v) {
    if (v.type() == Value::Type::Integer) return uint64_t(v.intValue());
    if (const auto* s = v.string()) {
        uint64_t id = 0;
        if (s->empty() || s->size() > 20) return std::nullopt;
        for (char c : *s) {
            if (c < '0' || c > '9') return std::nullopt;
            id = id * 10 + uint64_t(c - '0');
        }
        return id;
    }
    return std::nullopt;
}
} // namespace

bool RDTCORIsSafePayloadFileName(const std::string& name) {
    return name.size() > 6 && name.rfind("event-", 0) == 0 && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos && name.find("..") == std::string::npos;
}

std::shared_ptr<RDTCOREvent> RDTCOREvent::initWithMappingID(const std::string& mappingID,
                                                            RDTCORTarget target) {
    if (mappingID.empty() || target < 1) return nullptr;
    auto event = std::make_shared<RDTCOREvent>(mappingID, target);
    event->eventID_ = nextEventID();
    return event;
}

uint64_t RDTCOREvent::nextEventID() {
    return transport::EventIDCounter::shared()->next();
}

RDTCOREvent::RDTCOREvent(std::string mappingID, RDTCORTarget target)
    : mappingID_(std::move(mappingID)), target_(target) {}

void RDTCOREvent::setDataObject(std::shared_ptr<RDTCOREventDataObject> object) {
    if (object != dataObject_) dataObject_ = std::move(object);
}

std::string RDTCOREvent::payloadFileName() const {
    return eventID_ ? foundation::format("event-%lu", *eventID_) : std::string("event-unnumbered");
}

std::string RDTCOREvent::fileURL(const std::string& rootDirectory) {
    if (!RDTFilePath_) RDTFilePath_ = payloadFileName();
    return (rootDirectory.empty() ? RDTCORRootDirectory() : rootDirectory) + "/" + *RDTFilePath_;
}

bool RDTCOREvent::writeToRDTPath(const std::string& fileName, foundation::ErrorPtr* error,
                                 const std::string& rootDirectory, foundation::FileSync sync) {
    foundation::Data bytes;
    if (dataObject_) bytes = dataObject_->transportBytes();
    if (bytes.empty()) {
        RDTFilePath_.reset();
        dataObject_.reset();
        if (error) *error = eventError(1, "The event has no payload bytes to store.");
        return false;
    }
    std::string path = (rootDirectory.empty() ? RDTCORRootDirectory() : rootDirectory) + "/" + fileName;
    if (!foundation::replaceFile(path, bytes.data(), bytes.size(), sync)) {
        auto err = eventError(2, foundation::format("The event file %@ could not be written.", path));
        RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "An event file could not be written: %@", path);
        if (error) *error = err;
        return false;
    }
    RDTFilePath_ = fileName;
    dataObject_.reset();
    return true;
}

std::shared_ptr<RDTCOREvent> RDTCOREvent::copy() const {
    auto c = std::make_shared<RDTCOREvent>(mappingID_, target_);
    c->eventID_ = eventID_;
    c->dataObject_ = dataObject_;
    c->qosTier_ = qosTier_;
    c->clockSnapshot_ = clockSnapshot_;
    c->customBytes_ = customBytes_;
    c->RDTFilePath_ = RDTFilePath_;
    return c;
}

size_t RDTCOREvent::hash() const {
    return eventID_ ? std::hash<uint64_t>()(*eventID_) : 0;
}

std::string RDTCOREvent::description() const {
    return foundation::format("<RDTCOREvent: eventID=%@ mappingID=%@ target=%ld qosTier=%ld file=%@>",
                              eventID_ ? std::to_string(*eventID_) : std::string("(none)"), mappingID_,
                              target_, qosTier_, RDTFilePath_.value_or("(none)"));
}

Dictionary RDTCOREvent::encodeToDictionary() const {
    Dictionary d{{kRDTCORArchiveClassKey, "RDTCOREvent"},
                 {kMappingIDKey, mappingID_},
                 {kTargetKey, target_},
                 {kQoSTierKey, qosTier_}};
    if (eventID_) d[kEventIDKey] = Value(int64_t(*eventID_));
    if (clockSnapshot_) d[kClockSnapshotKey] = clockSnapshot_->encodeToArchive();
    if (RDTFilePath_) d[kFilePathKey] = *RDTFilePath_;
    if (customBytes_) d[kCustomDataKey] = *customBytes_;
    return d;
}

Value RDTCOREvent::encodeToArchive() const {
    return Value(encodeToDictionary());
}

std::shared_ptr<RDTCOREvent> RDTCOREvent::decode(const Value& v, const std::function<uint64_t()>& newEventID,
                                                 std::string* why) {
    auto fail = [&](const std::string& reason) -> std::shared_ptr<RDTCOREvent> {
        if (why) *why = reason;
        return nullptr;
    };
    if (!RDTCORArchiveIsObjectOfClass(v, "RDTCOREvent")) return fail("not an event");
    const bool older = !v[kStoredDataFutureKey].isNull();
    const Value& mapping = v[older ? kStoredMappingIDKey : kMappingIDKey];
    const Value& target = v[older ? kStoredTargetKey : kTargetKey];
    if (!mapping.string() || mapping.string()->empty()) return fail("no mapping ID");
    if (!target.isNumber() || target.intValue() < 1) return fail("no valid target");
    auto event = std::make_shared<RDTCOREvent>(*mapping.string(), target.intValue());

    if (!v[kEventIDKey].isNull()) {
        auto id = idFromValue(v[kEventIDKey]);
        if (!id) return fail("unreadable event ID");
        event->eventID_ = id;
    } else {
        event->eventID_ = newEventID ? newEventID() : nextEventID();
    }
    const Value& tier = v[older ? kStoredQoSTierKey : kQoSTierKey];
    if (tier.isNumber()) event->qosTier_ = tier.intValue();
    const Value& clock = v[older ? kStoredClockSnapshotKey : kClockSnapshotKey];
    if (!clock.isNull()) {
        auto c = RDTCORClock::decode(clock);
        if (!c) return fail("unreadable clock snapshot");
        event->clockSnapshot_ = c;
    }
    if (const auto* custom = v[kCustomDataKey].data()) event->customBytes_ = *custom;

    std::optional<std::string> url;
    if (older) {
        const Value& future = v[kStoredDataFutureKey];
        if (RDTCORArchiveIsObjectOfClass(future, "RDTCORDataFuture"))
            url = RDTCORArchiveURLPath(future[kDataFutureFileURLKey]);
    } else if (!v[kFileURLKey].isNull()) {
        url = RDTCORArchiveURLPath(v[kFileURLKey]);
    }
    if (url)
        event->RDTFilePath_ = lastPathComponent(*url);
    else if (const auto* path = v[kFilePathKey].string())
        event->RDTFilePath_ = *path;
    return event;
}
