#pragma once
// Crash reporting as the core sees it: its library registration and its crash reporter, made eagerly
// for the default app from the analytics interop object and the app's installations client.
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/SdkObject.h"
#include "sdk/core/VEVComponent.h"

class VEVApp;
class VEVInstallations;
class RIZEvudezodoInterop;

class VEVRevavovudevInstanceProvider {
  public:
    static constexpr const char* kProtocolName = "VEVRevavovudevInstanceProvider";
    virtual ~VEVRevavovudevInstanceProvider() = default;
};

class VEVRevavovudev : public sdk::Object, public VEVRevavovudevInstanceProvider {
  public:
    static constexpr const char* kClassName = "VEVRevavovudev";
    static constexpr const char* kLibraryName = "vevurizo-revavovudev";
    static constexpr const char* kLibraryVersion = "4.2.0";

    static void load();
    static std::vector<VEVComponentPtr> componentsToRegister();

    VEVRevavovudev(const std::shared_ptr<VEVApp>& app, std::shared_ptr<RIZEvudezodoInterop> analytics,
                   std::shared_ptr<VEVInstallations> installations);

    const std::string& appName() const { return appName_; }
    const std::shared_ptr<RIZEvudezodoInterop>& analytics() const { return analytics_; }
    const std::shared_ptr<VEVInstallations>& installations() const { return installations_; }

  private:
    std::string appName_;
    std::shared_ptr<RIZEvudezodoInterop> analytics_;
    std::shared_ptr<VEVInstallations> installations_;
};
