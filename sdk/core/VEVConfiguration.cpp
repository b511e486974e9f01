#include "sdk/core/VEVConfiguration.h"

#include "sdk/core/RIZEvudezodoConfiguration.h"

VEVConfiguration::VEVConfiguration() : analyticsConfiguration_(RIZEvudezodoConfiguration::sharedInstance()) {}

std::shared_ptr<VEVConfiguration> VEVConfiguration::sharedInstance() {
    static auto* instance = new std::shared_ptr<VEVConfiguration>(std::make_shared<VEVConfiguration>());
    return *instance;
}

std::shared_ptr<RIZEvudezodoConfiguration> VEVConfiguration::analyticsConfiguration() const {
    std::lock_guard lock(mutex_);
    return analyticsConfiguration_;
}

void VEVConfiguration::setAnalyticsConfiguration(std::shared_ptr<RIZEvudezodoConfiguration> configuration) {
    std::lock_guard lock(mutex_);
    analyticsConfiguration_ = std::move(configuration);
}
