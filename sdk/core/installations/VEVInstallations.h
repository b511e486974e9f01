#pragma once
// The installation-identity client of one configured app: its installation ID (FID), an auth token
// that is refreshed when due, and deletion. Made eagerly for every configured app.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "sdk/core/SdkObject.h"
#include "sdk/core/VEVComponent.h"
#include "sdk/core/VEVOptions.h"
#include "sdk/core/installations/VEVInstallationsIDController.h"
#include "sdk/core/installations/VEVInstallationsItem.h"

class VEVApp;

class VEVInstallationsInstanceProvider {
  public:
    static constexpr const char* kProtocolName = "VEVInstallationsInstanceProvider";
    virtual ~VEVInstallationsInstanceProvider() = default;
};

// Name of the exceptions the client raises on misuse.
inline constexpr const char* kVEVInstallationsExceptionName = "com.vevurizo.installations";

// What a registered "VEVInstanceID" class tells of itself; one that does not answer usesVIS is too old.
struct VEVInstanceIDClass {
    bool respondsToUsesVIS = false;
};

class VEVInstallations : public sdk::Object, public VEVInstallationsInstanceProvider {
  public:
    static constexpr const char* kClassName = "VEVInstallations";
    static constexpr const char* kLibraryName = "vev-install";
    static constexpr const char* kLibraryVersion = "1.4.0";

    using IDCompletion =
        std::function<void(std::optional<std::string> identifier, foundation::ErrorPtr error)>;
    using TokenCompletion = std::function<void(std::shared_ptr<VEVInstallationsAuthTokenResult> tokenResult,
                                               foundation::ErrorPtr error)>;
    using DeleteCompletion = std::function<void(foundation::ErrorPtr error)>;

    static void load();
    static std::vector<VEVComponentPtr> componentsToRegister();
    // The default app's client; raises when there is no default app.
    static std::shared_ptr<VEVInstallations> installations();
    // The app's instance, made on first request; nil for a nil app.
    static std::shared_ptr<VEVInstallations> installationsWithApp(const std::shared_ptr<VEVApp>& app);

    // Raises kVEVInstallationsExceptionName naming every missing option.
    static void validateAppOptions(const VEVOptionsPtr& options, const std::string& appName);
    static void assertCompatibleIIDVersion();

    explicit VEVInstallations(const std::shared_ptr<VEVApp>& app);
    static std::shared_ptr<VEVInstallations> initWitAppOptions(const VEVOptionsPtr& options,
                                                               const std::string& appName);
    VEVInstallations(const VEVOptionsPtr& options, const std::string& appName,
                     std::shared_ptr<VEVInstallationsIDController> installationsIDController,
                     bool prefetchAuthToken);

    // Completions run on the promise queue; errors are of the client's domain.
    void installationIDWithCompletion(IDCompletion completion) const;
    void authTokenWithCompletion(TokenCompletion completion) const;
    void authTokenForcingRefresh(bool forceRefresh, TokenCompletion completion) const;
    void deleteWithCompletion(DeleteCompletion completion) const;

    const std::string& appName() const { return appName_; }
    const VEVOptionsPtr& appOptions() const { return appOptions_; }
    const std::shared_ptr<VEVInstallationsIDController>& installationsIDController() const {
        return installationsIDController_;
    }
    std::shared_ptr<VEVApp> app() const { return app_.lock(); }

  private:
    VEVOptionsPtr appOptions_;
    std::string appName_;
    std::shared_ptr<VEVInstallationsIDController> installationsIDController_;
    std::weak_ptr<VEVApp> app_; // the app's container keeps this object: a strong reference would be a cycle
};
