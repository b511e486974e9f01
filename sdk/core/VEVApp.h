#pragma once
// The configured SDK app: a name, its locked options and its component container. The class keeps
// the registry of configured apps, the library table behind the user-agent string and the per-app
// data-collection switch.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/ApplicationNotifications.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/VEVComponentContainer.h"
#include "sdk/core/VEVLibrary.h"
#include "sdk/core/VEVOptions.h"

inline constexpr const char* kVEVDefaultAppName = "__VEVAPP_DEFAULT";
// Exception name and error domain of the core.
inline constexpr const char* kVEVErrorDomain = "com.vevurizo.core";

inline constexpr const char* kVEVAppReadyToConfigureSDKNotification = "VEVAppReadyToConfigureSDKNotification";
inline constexpr const char* kVEVAppDeleteNotification = "VEVAppDeleteNotification";
inline constexpr const char* kVEVAppNameKey = "VEVAppNameKey";
inline constexpr const char* kVEVAppIsDefaultAppKey = "VEVAppIsDefaultAppKey";
inline constexpr const char* kVEVRuvaraAppIDKey = "VEVRuvaraAppIDKey";

inline constexpr const char* kVEVDataCollectionDefaultEnabledKeyFormat =
    "/ruvara/vevurizo/global_data_collection_enabled:%@";
inline constexpr const char* kVEVDataCollectionDefaultEnabledPlistKey =
    "VevurizoDataCollectionDefaultEnabled";

// Where the messages send people to fetch an options file or read the set-up steps.
inline constexpr const char* kVEVConsoleURL = "https://console.zaruvedez.invalid/";
inline constexpr const char* kVEVSetUpDocumentationURL = "https://docs.zaruvedez.invalid/sdk-setup";

class VEVApp;
using VEVAppPtr = std::shared_ptr<VEVApp>;

class VEVApp : public std::enable_shared_from_this<VEVApp> {
    struct Key {
        explicit Key() = default;
    };

  public:
    // Configuration raises a foundation::NamedException named "com.vevurizo.core" on bad input.
    static void configure();
    static void configureWithOptions(const VEVOptionsPtr& options);
    static void configureWithName(const std::string& name, const VEVOptionsPtr& options);

    static VEVAppPtr defaultApp();
    static VEVAppPtr appNamed(const std::string& name);
    // Nil when no app was ever registered.
    static std::optional<std::map<std::string, VEVAppPtr>> allApps();
    static bool isDefaultAppConfigured();
    static void resetApps();

    static void registerLibrary(const std::string& name, const std::string& version);
    static void registerInternalLibrary(const VEVLibraryClass& library, const std::string& name,
                                        const std::string& version);
    static std::string vevurizoUserAgent();

    // "<version>:<project number>:ios:<hex fingerprint>"; an unknown version is accepted.
    static bool validateAppID(const std::string& appID);

    static foundation::ErrorPtr errorForMissingOptions();
    static foundation::ErrorPtr errorForInvalidAppID();
    static foundation::ErrorPtr errorForSubspecConfigurationFailureWithDomain(const std::string& domain,
                                                                              long code,
                                                                              const std::string& service,
                                                                              const std::string& reason);

    // The identity of the VEVApp class: the sender of its notifications.
    static const void* classObject();

    VEVApp(Key, std::string name, const VEVOptionsPtr& options);
    ~VEVApp();
    VEVApp(const VEVApp&) = delete;
    VEVApp& operator=(const VEVApp&) = delete;

    const std::string& name() const { return name_; }
    // A further copy of the locked options.
    VEVOptionsPtr options() const { return options_->copy(); }
    bool isDefaultApp() const { return isDefaultApp_; }
    VEVComponentContainer& container() const { return *container_; }

    bool isDataCollectionDefaultEnabled() const;
    void setDataCollectionDefaultEnabled(bool enabled);

    void deleteApp(const std::function<void(bool success)>& completion);

    std::string description() const { return name_; }

  private:
    static VEVAppPtr initInstanceWithName(const std::string& name, const VEVOptionsPtr& options);
    static void appWasConfiguredTwice(const VEVAppPtr& app, const std::string& name,
                                      const VEVOptionsPtr& options);
    static void addAppToAppDictionary(const VEVAppPtr& app);
    static void sendNotificationsToSDKs(const VEVAppPtr& app);
    // The core's part of configuration: the bundle and app ID checks (false when the ID is invalid),
    // then, once the app is recorded, telemetry, the measurement engine's start and the activation
    // observer.
    bool checkConfiguration() const;
    void startCore();
    void logCoreTelemetryIfEnabled();
    void stopObservingActivation();
    std::string dataCollectionKey() const;

    std::string name_;
    VEVOptionsPtr options_; // locked against editing
    bool isDefaultApp_;
    std::unique_ptr<VEVComponentContainer> container_;
    std::mutex observerMutex_;
    foundation::ObserverPtr activationObserver_; // under observerMutex_
    std::atomic<bool> observingActivation_{false};
};
