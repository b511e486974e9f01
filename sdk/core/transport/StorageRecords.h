#pragma once
// How the storage archives one stored event: the event plus its payload's size, so a payload file cut
// short or replaced behind the storage's back is recognised at load.
#include <cstdint>

#include "platform/foundation/Value.h"

class RDTCOREvent;

namespace transport {

inline constexpr const char* kStoredPayloadSizeKey = "RDTCORStoragePayloadSizeKey";

foundation::Value storedEventValue(const RDTCOREvent& event, uint64_t payloadSize);

} // namespace transport
