#include "sdk/core/VEVHeartbeatInfo.h"

#include <chrono>
#include <mutex>

#include "platform/utilities/RULHeartbeatDateStorage.h"

namespace {
constexpr double kHeartbeatInterval = 86400;
std::mutex classLock;
} // namespace

bool VEVHeartbeatInfo::updateIfNeededHeartbeatDateForTag(const std::string& tag) {
    std::lock_guard lock(classLock);
    RULHeartbeatDateStorage storage(kVEVHeartbeatStorageName);
    auto last = storage.heartbeatDateForTag(tag);
    using namespace std::chrono;
    foundation::Date now{duration<double>(system_clock::now().time_since_epoch()).count()};
    if (last && now.secondsSince1970 - last->secondsSince1970 < kHeartbeatInterval) return false;
    return storage.setHearbeatDate(now, tag);
}

VEVHeartbeatInfoCode VEVHeartbeatInfo::heartbeatCodeForTag(const std::string& tag) {
    // Both are updated, whatever the first one answers.
    bool sdk = updateIfNeededHeartbeatDateForTag(tag);
    bool global = updateIfNeededHeartbeatDateForTag(kVEVHeartbeatGlobalTag);
    if (sdk && global) return VEVHeartbeatInfoCodeCombined;
    if (sdk) return VEVHeartbeatInfoCodeSDK;
    if (global) return VEVHeartbeatInfoCodeGlobal;
    return VEVHeartbeatInfoCodeNone;
}
