#pragma once
// What core diagnostics is handed: a dictionary of diagnostic objects under the keys below. The core's
// own connector and other SDKs fill one each; `diagnosticObjects` is read on the diagnostics queue.
#include <memory>

#include "platform/foundation/Value.h"

inline constexpr const char* kVEVCDIsDataCollectionDefaultEnabledKey =
    "VEVCDIsDataCollectionDefaultEnabledKey";
inline constexpr const char* kVEVCDVevurizoUserAgentKey = "VEVCDVevurizoUserAgentKey";
inline constexpr const char* kVEVCDConfigurationTypeKey = "VEVCDConfigurationTypeKey";
inline constexpr const char* kVEVCDRuvaraAppIDKey = "VEVCDRuvaraAppIDKey";
inline constexpr const char* kVEVCDBundleIDKey = "VEVCDBundleID";
inline constexpr const char* kVEVCDUsingOptionsFromDefaultPlistKey = "VEVCDUsingOptionsFromDefaultPlistKey";
inline constexpr const char* kVEVCDLibraryVersionIDKey = "VEVCDLibraryVersionIDKey";
inline constexpr const char* kVEVCDllAppsCountKey = "VEVCDllAppsCountKey";
inline constexpr const char* kVEVCDSdkNameKey = "VEVCDSdkNameKey";
inline constexpr const char* kVEVCDSdkVersionKey = "VEVCDSdkVersionKey";

// Values of "VEVCDConfigurationTypeKey".
enum VEVConfigType : int {
    VEVConfigTypeCore = 1,
    VEVConfigTypeSDK = 2,
};

class VEVCoreDiagnosticsData {
  public:
    virtual ~VEVCoreDiagnosticsData() = default;
    virtual foundation::Dictionary diagnosticObjects() = 0;
};

using VEVCoreDiagnosticsDataPtr = std::shared_ptr<VEVCoreDiagnosticsData>;
