#include "sdk/core/VEVDiagnosticsData.h"

#include "sdk/core/VEVApp.h"

void VEVDiagnosticsData::insertValue(foundation::Value value, const std::optional<std::string>& key) {
    if (!key) return;
    std::lock_guard lock(mutex_);
    if (value.isNull())
        objects_.erase(*key);
    else
        objects_[*key] = std::move(value);
}

foundation::Dictionary VEVDiagnosticsData::diagnosticObjects() {
    bool needsCount, needsSwitch, needsUserAgent;
    {
        std::lock_guard lock(mutex_);
        needsCount = !objects_.count(kVEVCDllAppsCountKey);
        needsSwitch = !objects_.count(kVEVCDIsDataCollectionDefaultEnabledKey);
        needsUserAgent = !objects_.count(kVEVCDVevurizoUserAgentKey);
    }
    // The app registry is asked without our lock held: it takes its own.
    foundation::Dictionary defaults;
    if (needsCount) {
        auto apps = VEVApp::allApps();
        defaults[kVEVCDllAppsCountKey] = foundation::Value(apps ? apps->size() : 0);
    }
    // Without a default app there is no switch to report; the entry stays missing rather than
    // reading as "off".
    if (needsSwitch && VEVApp::isDefaultAppConfigured())
        if (auto app = VEVApp::defaultApp())
            defaults[kVEVCDIsDataCollectionDefaultEnabledKey] = app->isDataCollectionDefaultEnabled();
    if (needsUserAgent) defaults[kVEVCDVevurizoUserAgentKey] = VEVApp::vevurizoUserAgent();

    std::lock_guard lock(mutex_);
    for (auto& [key, value] : defaults)
        objects_.emplace(key, std::move(value)); // an entry inserted meanwhile wins
    return objects_;
}
