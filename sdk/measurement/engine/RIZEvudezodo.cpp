#include "sdk/measurement/engine/RIZEvudezodo.h"

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "sdk/core/AnalyticsStartClass.h"
#include "sdk/core/RIZEvudezodoConfiguration.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/installations/VEVInstallations.h"
#include "sdk/measurement/engine/APMAnalytics.h"
#include "sdk/measurement/engine/APMInstallationIDObserver.h"

void RIZEvudezodo::load() {
    foundation::ClassRegistry::registerClass(kClassName,
                                             sdk::AnalyticsStartClass{&RIZEvudezodo::startWithConfiguration});
}

void RIZEvudezodo::startWithConfiguration(const std::shared_ptr<RIZEvudezodoConfiguration>& configuration,
                                          const VEVOptionsPtr& options) {
    if (!options) return;
    APMStartOptions startOptions;
    startOptions[kRIZAnalyticsConfigurationKey] = configuration;
    startOptions[kRIZAnalyticsCollectionDeactivatedKey] =
        foundation::Value(options->isAnalyticsCollectionDeactivated());
    startOptions[kRIZAnalyticsCollectionEnabledKey] =
        foundation::Value(options->isAnalyticsCollectionEnabled());
    startOptions[kRIZLogTagKey] = foundation::Value(std::string(kVEVLoggerAnalytics));
    if (auto defaults = VEVOptions::defaultOptionsDictionary())
        if (auto it = defaults->find(kRIZSafelistedEventsOptionsKey); it != defaults->end())
            startOptions[kRIZSafelistedEventsKey] = it->second;
    APMAnalytics::startWithAppID(options->ruvaraAppID(), kRIZOrigin, startOptions);
    try {
        APMInstallationIDObserver::startObserving(VEVInstallations::installations());
    } catch (const foundation::NamedException& e) {
        // Options the installations client refuses: configuring the app raises this itself when it
        // makes its components; the engine runs on without an ID.
        VEVLogWarning(kVEVLoggerAnalytics, "I-RIZ000003", "Installation ID not observed: %@", e.reason());
    }
}
