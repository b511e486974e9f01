#pragma once
// Whether today's request of an SDK should carry a heartbeat mark: per SDK tag and for all SDKs
// together ("GLOBAL"), at most once per 86400 seconds, over the dates in "HEARTBEAT_INFO_STORAGE".
#include <string>

inline constexpr const char* kVEVHeartbeatStorageName = "HEARTBEAT_INFO_STORAGE";
inline constexpr const char* kVEVHeartbeatGlobalTag = "GLOBAL";

enum VEVHeartbeatInfoCode : int {
    VEVHeartbeatInfoCodeNone = 0,
    VEVHeartbeatInfoCodeSDK = 1,
    VEVHeartbeatInfoCodeGlobal = 2,
    VEVHeartbeatInfoCodeCombined = 3,
};

class VEVHeartbeatInfo {
  public:
    // Stores now for the tag and answers its result when the last date is 86400 s or more ago (or
    // absent); otherwise NO, leaving the stored date alone.
    static bool updateIfNeededHeartbeatDateForTag(const std::string& tag);
    static VEVHeartbeatInfoCode heartbeatCodeForTag(const std::string& tag);
};
