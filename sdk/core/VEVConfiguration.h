#pragma once
// The process-wide SDK configuration: the logger level setter and the analytics configuration object
// the measurement engine is started with.
#include <memory>
#include <mutex>

#include "sdk/core/VEVLogger.h"

class RIZEvudezodoConfiguration;

class VEVConfiguration {
  public:
    static std::shared_ptr<VEVConfiguration> sharedInstance();

    void setLoggerLevel(VEVLoggerLevel level) { VEVSetLoggerLevel(level); }

    std::shared_ptr<RIZEvudezodoConfiguration> analyticsConfiguration() const;
    void setAnalyticsConfiguration(std::shared_ptr<RIZEvudezodoConfiguration> configuration);

    VEVConfiguration(); // use sharedInstance(); public for make_shared

  private:
    mutable std::mutex mutex_;
    std::shared_ptr<RIZEvudezodoConfiguration> analyticsConfiguration_;
};
