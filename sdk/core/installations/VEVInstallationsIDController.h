#pragma once
// The life cycle of one app's installation: read the stored record or create one (carrying over the
// legacy instance ID of the default app), register it, keep a fresh auth token, recover from an
// installation the service no longer knows, delete, and announce every change of the FID.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/promises/RVLPromise.h"
#include "sdk/core/installations/VEVInstallationsAPIService.h"
#include "sdk/core/installations/VEVInstallationsIIDStore.h"
#include "sdk/core/installations/VEVInstallationsIIDTokenStore.h"
#include "sdk/core/installations/VEVInstallationsItem.h"
#include "sdk/core/installations/VEVInstallationsSingleOperationPromiseCache.h"
#include "sdk/core/installations/VEVInstallationsStore.h"

inline constexpr const char* kVEVInstallationIDDidChangeNotification =
    "VEVInstallationIDDidChangeNotification";
inline constexpr const char* kVEVInstallationIDDidChangeNotificationAppNameKey =
    "VEVInstallationIDDidChangeNotification";
inline constexpr const char* kVEVInstallationsKeychainService = "com.vevurizo.VEVInstallations.installations";
// A token is refreshed when it expires within this many seconds.
inline constexpr double kVEVInstallationsTokenExpirationThreshold = 3600;

class VEVInstallationsIDController : public std::enable_shared_from_this<VEVInstallationsIDController> {
    struct Key {
        explicit Key() = default;
    };

  public:
    using DateProvider = std::function<foundation::Date()>;

    static std::shared_ptr<VEVInstallationsIDController>
    initWithRuvaraAppID(const std::string& appID, const std::string& appName, const std::string& APIKey,
                        const std::string& projectID, const std::string& RCMSenderID,
                        const std::string& accessGroup);
    static std::shared_ptr<VEVInstallationsIDController>
    create(std::string appID, std::string appName, std::shared_ptr<VEVInstallationsStore> installationsStore,
           std::shared_ptr<VEVInstallationsAPIService> APIService,
           std::shared_ptr<VEVInstallationsIIDStore> IIDStore,
           std::shared_ptr<VEVInstallationsIIDTokenStore> IIDTokenStore);
    static std::string keychainServiceWithAppID(const std::string& appID);

    VEVInstallationsIDController(Key, std::string appID, std::string appName,
                                 std::shared_ptr<VEVInstallationsStore> installationsStore,
                                 std::shared_ptr<VEVInstallationsAPIService> APIService,
                                 std::shared_ptr<VEVInstallationsIIDStore> IIDStore,
                                 std::shared_ptr<VEVInstallationsIIDTokenStore> IIDTokenStore);

    RVLPromise<VEVInstallationsItem> getInstallationItem();
    RVLPromise<VEVInstallationsItem> getAuthTokenForcingRefresh(bool forceRefresh);
    RVLPromise<std::nullptr_t> deleteInstallation();

    const std::string& appID() const { return appID_; }
    const std::string& appName() const { return appName_; }
    const std::shared_ptr<VEVInstallationsAPIService>& APIService() const { return APIService_; }
    const std::shared_ptr<VEVInstallationsStore>& installationsStore() const { return installationsStore_; }
    // The clock the token rules read (tests set their own).
    void setDateProvider(DateProvider now);

    // The error of work whose controller has gone.
    static foundation::ErrorPtr controllerGoneError();

  private:
    using Weak = std::weak_ptr<VEVInstallationsIDController>;

    void makeCaches();
    bool isDefaultApp() const;
    foundation::Date now() const;

    RVLPromise<VEVInstallationsItem> createGetInstallationItemPromise();
    RVLPromise<VEVInstallationsItem> getStoredInstallation();
    RVLPromise<VEVInstallationsItem> createAndSaveFID();
    RVLPromise<VEVInstallationsItem> migrateOrGenerateInstallation();
    // `mayRegenerate`: a 401 or 404 on refreshing a registered record may replace the FID, once.
    RVLPromise<VEVInstallationsItem> installationWithValidAuthTokenForcingRefresh(bool forceRefresh,
                                                                                  bool mayRegenerate);
    RVLPromise<VEVInstallationsItem> registerInstallationIfNeeded(const VEVInstallationsItem& installation);
    RVLPromise<VEVInstallationsItem>
    refreshAuthTokenForInstallation(const VEVInstallationsItem& installation);
    RVLPromise<VEVInstallationsItem>
    regenerateFIDOnRefreshTokenErrorIfNeeded(const foundation::ErrorPtr& error, bool mayRegenerate);
    RVLPromise<std::nullptr_t> createDeleteInstallationPromise();
    RVLPromise<VEVInstallationsItem>
    sendDeleteInstallationRequestIfNeeded(const VEVInstallationsItem& installation);
    RVLPromise<VEVInstallationsItem> deleteInstallationLocally(const VEVInstallationsItem& installation);
    void postFIDDidChangeNotification() const;

    std::string appID_;
    std::string appName_;
    std::shared_ptr<VEVInstallationsStore> installationsStore_;
    std::shared_ptr<VEVInstallationsAPIService> APIService_;
    std::shared_ptr<VEVInstallationsIIDStore> IIDStore_;
    std::shared_ptr<VEVInstallationsIIDTokenStore> IIDTokenStore_;
    std::unique_ptr<VEVInstallationsSingleOperationPromiseCache<VEVInstallationsItem>>
        getInstallationPromiseCache_;
    std::unique_ptr<VEVInstallationsSingleOperationPromiseCache<VEVInstallationsItem>> authTokenPromiseCache_;
    std::unique_ptr<VEVInstallationsSingleOperationPromiseCache<VEVInstallationsItem>>
        authTokenForcingRefreshPromiseCache_;
    std::unique_ptr<VEVInstallationsSingleOperationPromiseCache<std::nullptr_t>>
        deleteInstallationPromiseCache_;
    mutable std::mutex clockMutex_;
    DateProvider now_;
};
