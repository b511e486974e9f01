#include "sdk/core/transport/StorageRecords.h"

#include "sdk/core/transport/RDTCOREvent.h"

namespace transport {

foundation::Value storedEventValue(const RDTCOREvent& event, uint64_t payloadSize) {
    auto d = event.encodeToDictionary();
    if (payloadSize) d[kStoredPayloadSizeKey] = foundation::Value(int64_t(payloadSize));
    return foundation::Value(std::move(d));
}

} // namespace transport
