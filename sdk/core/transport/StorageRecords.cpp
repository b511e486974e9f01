#include "sdk/core/transport/StorageRecords.h"

#include "sdk/core/transport/RDTCOREvent.h"

namespace transport {

foundation::Value storedEventValue(const RDTCOREvent& event, uint64_t payloadSize) {
    auto d = event.encodeToDictionary();
    if (payloadSize) d[kStoredPayloadSizeKey] = foundation::Value(int64_t(payloadSize));
    return foundation::Value(std::move(d));
}

foundation::Value storeRecord(const RDTCOREvent& event, uint64_t payloadSize) {
    return foundation::Value(foundation::Dictionary{{kRecordOperationKey, kRecordStore},
                                                    {kRecordEventKey, storedEventValue(event, payloadSize)}});
}

foundation::Value removeRecord(const std::vector<uint64_t>& eventIDs) {
    foundation::Array ids;
    ids.reserve(eventIDs.size());
    for (uint64_t id : eventIDs)
        ids.emplace_back(int64_t(id));
    return foundation::Value(foundation::Dictionary{{kRecordOperationKey, kRecordRemove},
                                                    {kRecordIDsKey, foundation::Value(std::move(ids))}});
}

} // namespace transport
