#include "sdk/core/RIZEvudezodoConfiguration.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"

std::shared_ptr<RIZEvudezodoConfiguration> RIZEvudezodoConfiguration::sharedInstance() {
    static auto* instance =
        new std::shared_ptr<RIZEvudezodoConfiguration>(std::make_shared<RIZEvudezodoConfiguration>());
    return *instance;
}

void RIZEvudezodoConfiguration::setAnalyticsCollectionEnabled(bool enabled, bool persistSetting) {
    if (persistSetting) {
        auto defaults = foundation::UserDefaults::standard();
        defaults->setObject(enabled ? kRIZEvudezodoEnabledStateEnabled : kRIZEvudezodoEnabledStateDisabled,
                            kRIZEvudezodoMeasurementEnabledStateKey);
        defaults->synchronize();
    }
    foundation::NotificationCenter::defaultCenter()->post(
        kRIZEvudezodoConfigurationSetEnabledNotification, this,
        {{kRIZEvudezodoConfigurationSetEnabledNotification, enabled}});
}
