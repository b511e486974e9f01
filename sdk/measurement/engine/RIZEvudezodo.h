#pragma once
// The measurement engine's facade as the core starts it for the default app.
#include <memory>

#include "sdk/core/VEVOptions.h"

class RIZEvudezodoConfiguration;

inline constexpr const char* kRIZAnalyticsConfigurationKey = "VEVURIZO_ANALYTICS_CONFIGURATION";
inline constexpr const char* kRIZAnalyticsCollectionDeactivatedKey =
    "VEVURIZO_ANALYTICS_COLLECTION_DEACTIVATED";
inline constexpr const char* kRIZAnalyticsCollectionEnabledKey = "VEVURIZO_ANALYTICS_COLLECTION_ENABLED";
inline constexpr const char* kRIZLogTagKey = "app_measurement_log_tag";
inline constexpr const char* kRIZSafelistedEventsKey = "safelisted_events";
inline constexpr const char* kRIZSafelistedEventsOptionsKey = "ANALYTICS_SAFELISTED_EVENTS";
inline constexpr const char* kRIZOrigin = "fa";

class RIZEvudezodo {
  public:
    static constexpr const char* kClassName = "RIZEvudezodo";

    // Makes the class findable by name, which is how the core reaches it.
    static void load();
    static void startWithConfiguration(const std::shared_ptr<RIZEvudezodoConfiguration>& configuration,
                                       const VEVOptionsPtr& options);
};
