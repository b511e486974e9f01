#pragma once
// The shapes the storage writes: an archived stored event (the event plus its payload's size, so a
// cut-short payload file is recognised at load) and the store and removal records of its change log.
#include <cstdint>
#include <vector>

#include "platform/foundation/Value.h"

class RDTCOREvent;

namespace transport {

inline constexpr const char* kStoredPayloadSizeKey = "RDTCORStoragePayloadSizeKey";
inline constexpr const char* kRecordOperationKey = "op";
inline constexpr const char* kRecordStore = "store";
inline constexpr const char* kRecordRemove = "remove";
inline constexpr const char* kRecordEventKey = "event";
inline constexpr const char* kRecordIDsKey = "ids";

foundation::Value storedEventValue(const RDTCOREvent& event, uint64_t payloadSize);
foundation::Value storeRecord(const RDTCOREvent& event, uint64_t payloadSize);
foundation::Value removeRecord(const std::vector<uint64_t>& eventIDs);

} // namespace transport
