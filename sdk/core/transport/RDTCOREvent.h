#pragma once
// One event of a transport client: who it is for (mapping ID and target), its payload object until
// the storage writes the payload's bytes to a file named by the event's ID, its tier, the moment it
// was sent and any extra bytes the client attaches. Events are the same event when their IDs match.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Value.h"
#include "sdk/core/transport/RDTCORClock.h"
#include "sdk/core/transport/RDTCORTypes.h"

// A payload that renders itself as bytes.
class RDTCOREventDataObject {
  public:
    virtual ~RDTCOREventDataObject() = default;
    virtual foundation::Data transportBytes() = 0;
};

class RDTCOREvent {
  public:
    // Null when the mapping ID is empty or the target is below 1. The event gets the next ID.
    static std::shared_ptr<RDTCOREvent> initWithMappingID(const std::string& mappingID, RDTCORTarget target);
    // Draws the next ID from the process's persistent counter.
    static uint64_t nextEventID();

    RDTCOREvent(std::string mappingID, RDTCORTarget target); // no ID yet; prefer initWithMappingID

    const std::optional<uint64_t>& eventID() const { return eventID_; }
    void setEventID(std::optional<uint64_t> id) { eventID_ = id; }
    const std::string& mappingID() const { return mappingID_; }
    RDTCORTarget target() const { return target_; }
    const std::shared_ptr<RDTCOREventDataObject>& dataObject() const { return dataObject_; }
    void setDataObject(std::shared_ptr<RDTCOREventDataObject> object);
    RDTCOREventQoS qosTier() const { return qosTier_; }
    void setQosTier(RDTCOREventQoS tier) { qosTier_ = tier; }
    const std::optional<RDTCORClock>& clockSnapshot() const { return clockSnapshot_; }
    void setClockSnapshot(std::optional<RDTCORClock> clock) { clockSnapshot_ = clock; }
    const std::optional<foundation::Data>& customBytes() const { return customBytes_; }
    void setCustomBytes(std::optional<foundation::Data> bytes) { customBytes_ = std::move(bytes); }
    // The payload file's name relative to the transport folder, once written.
    const std::optional<std::string>& RDTFilePath() const { return RDTFilePath_; }
    void setRDTFilePath(std::optional<std::string> path) { RDTFilePath_ = std::move(path); }

    // The name a payload file of this event gets: "event-<ID>".
    std::string payloadFileName() const;
    // The payload file's path in `rootDirectory` (default: the transport folder). Without a file path
    // yet, the event's payload file name is taken.
    std::string fileURL(const std::string& rootDirectory = {});

    // Writes the payload's bytes atomically to `rootDirectory`/`fileName`; on success the event
    // remembers the file and lets go of the payload object. No payload object or an empty payload
    // is refused with an error; a failed write reports its error. With `sync` Data the file's name
    // is durable only once the caller syncs the folder (the storage does so once per batch).
    bool writeToRDTPath(const std::string& fileName, foundation::ErrorPtr* error,
                        const std::string& rootDirectory = {},
                        foundation::FileSync sync = foundation::FileSync::DataAndFolder);

    std::shared_ptr<RDTCOREvent> copy() const;

    // Upload extras, kept as a JSON object in the custom bytes (RDTCOREventRDTCCTSupport.cpp). Readers
    // treat missing or unreadable extras as absent; setters leave unreadable extras as they are.
    bool needsNetworkConnectionInfoPopulated() const;
    void setNeedsNetworkConnectionInfoPopulated(bool needsNetworkInfo);
    // The 16-byte network connection record.
    std::optional<foundation::Data> networkConnectionInfoData() const;
    void setNetworkConnectionInfoData(const std::optional<foundation::Data>& data);
    std::optional<int64_t> eventCode() const;
    void setEventCode(std::optional<int64_t> code);

    bool operator==(const RDTCOREvent& o) const { return eventID_ == o.eventID_; }
    size_t hash() const;
    std::string description() const;

    foundation::Value encodeToArchive() const;
    foundation::Dictionary encodeToDictionary() const;
    // An event from its archive value, current or older format; an event without an ID gets one
    // from `newEventID` (default: the process counter). Null, with a reason, when it is not an event.
    static std::shared_ptr<RDTCOREvent> decode(const foundation::Value& v,
                                               const std::function<uint64_t()>& newEventID = {},
                                               std::string* why = nullptr);

  private:
    std::optional<uint64_t> eventID_;
    std::string mappingID_;
    RDTCORTarget target_;
    std::shared_ptr<RDTCOREventDataObject> dataObject_;
    RDTCOREventQoS qosTier_ = RDTCOREventQoSDefault;
    std::optional<RDTCORClock> clockSnapshot_;
    std::optional<foundation::Data> customBytes_;
    std::optional<std::string> RDTFilePath_;
};

// Sets of events keep one event per ID.
struct RDTCOREventIDLess {
    bool operator()(const std::shared_ptr<RDTCOREvent>& a, const std::shared_ptr<RDTCOREvent>& b) const {
        return a->eventID() < b->eventID();
    }
};
using RDTCOREventSet = std::set<std::shared_ptr<RDTCOREvent>, RDTCOREventIDLess>;

// A payload file name read from an archive may only name a payload file in the transport folder:
// "event-…", no separators, nothing that climbs out.
bool RDTCORIsSafePayloadFileName(const std::string& name);
