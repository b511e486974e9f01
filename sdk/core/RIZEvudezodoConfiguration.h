#pragma once
// The process-wide analytics configuration: the switch that turns measurement collection on and off.
#include <memory>

inline constexpr const char* kRIZEvudezodoConfigurationSetEnabledNotification =
    "RIZEvudezodoConfigurationSetEnabledNotification";
inline constexpr const char* kRIZEvudezodoMeasurementEnabledStateKey =
    "/ruvara/measurement/measurement_enabled_state";
// Stored values of the persisted switch.
inline constexpr int kRIZEvudezodoEnabledStateEnabled = 1;
inline constexpr int kRIZEvudezodoEnabledStateDisabled = 2;

class RIZEvudezodoConfiguration : public std::enable_shared_from_this<RIZEvudezodoConfiguration> {
  public:
    static std::shared_ptr<RIZEvudezodoConfiguration> sharedInstance();

    // Persisting stores the choice for later launches; the engine always hears of it through
    // the notification (user info: the flag under the notification's name).
    void setAnalyticsCollectionEnabled(bool enabled, bool persistSetting);
};
