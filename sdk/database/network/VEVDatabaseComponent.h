#pragma once
// Registers the realtime database client with the core. Nothing in the program asks for a database,
// so the component is registered and never made; when it is, it hears of its app's deletion.
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/core/SdkObject.h"
#include "sdk/core/VEVComponent.h"
#include "sdk/core/VEVLibrary.h"

class VEVApp;

class VEVDatabaseProvider {
  public:
    static constexpr const char* kProtocolName = "VEVDatabaseProvider";
    virtual ~VEVDatabaseProvider() = default;
};

inline constexpr const char* kVEVAuthInteropProtocolName = "VEVAuthInterop";

class VEVDatabaseComponent : public sdk::Object,
                             public VEVDatabaseProvider,
                             public VEVComponentLifecycleMaintainer {
  public:
    static constexpr const char* kClassName = "VEVDatabaseComponent";
    static constexpr const char* kLibraryName = "vev-db";

    static void load();
    static std::vector<VEVComponentPtr> componentsToRegister();

    explicit VEVDatabaseComponent(const std::shared_ptr<VEVApp>& app) : app_(app) {}
    void appWillBeDeleted(const std::shared_ptr<VEVApp>& app) override;
    // False once its app has been deleted.
    bool hasApp() const;

  private:
    mutable std::mutex mutex_;
    std::weak_ptr<VEVApp> app_;
};
