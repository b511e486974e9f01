#pragma once
// The installations client as the component registry sees it: one object per app, made eagerly when
// any app is configured. Its identity work (installation IDs, auth tokens) builds on this object.
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/SdkObject.h"
#include "sdk/core/VEVComponent.h"

class VEVApp;

class VEVInstallationsInstanceProvider {
  public:
    static constexpr const char* kProtocolName = "VEVInstallationsInstanceProvider";
    virtual ~VEVInstallationsInstanceProvider() = default;
};

class VEVInstallations : public sdk::Object, public VEVInstallationsInstanceProvider {
  public:
    static constexpr const char* kClassName = "VEVInstallations";
    static constexpr const char* kLibraryName = "vev-install";
    static constexpr const char* kLibraryVersion = "1.4.0";

    static void load();
    static std::vector<VEVComponentPtr> componentsToRegister();
    // The app's instance, made on first request; nil for a nil app.
    static std::shared_ptr<VEVInstallations> installationsWithApp(const std::shared_ptr<VEVApp>& app);

    explicit VEVInstallations(const std::shared_ptr<VEVApp>& app);
    const std::string& appName() const { return appName_; }
    std::shared_ptr<VEVApp> app() const { return app_.lock(); }

  private:
    std::string appName_;
    std::weak_ptr<VEVApp> app_; // the app's container keeps this object: a strong reference would be a cycle
};
