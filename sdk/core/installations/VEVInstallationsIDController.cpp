#include "sdk/core/installations/VEVInstallationsIDController.h"

#include <chrono>
#include <tuple>

#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"

using foundation::ErrorPtr;
using Item = VEVInstallationsItem;

namespace {

template <class T> RVLPromise<T> gone() {
    return RVLPromise<T>::resolvedWith(VEVInstallationsIDController::controllerGoneError());
}

bool isRegistrationRefusal(const ErrorPtr& error) {
    for (long status : {400L, 401L, 403L, 404L})
        if (VEVInstallationsErrorUtil::isAPIError(error, status)) return true;
    return false;
}

} // namespace

// MARK: construction

std::shared_ptr<VEVInstallationsIDController> VEVInstallationsIDController::initWithRuvaraAppID(
    const std::string& appID, const std::string& appName, const std::string& APIKey,
    const std::string& projectID, const std::string& RCMSenderID, const std::string& accessGroup) {
    auto keychain = std::make_shared<RULKeychainStorage>(keychainServiceWithAppID(appID));
    auto store = std::make_shared<VEVInstallationsStore>(keychain, accessGroup);
    auto service =
        std::make_shared<VEVInstallationsAPIService>(APIKey, projectID.empty() ? RCMSenderID : projectID);
    return create(appID, appName, store, service, std::make_shared<VEVInstallationsIIDStore>(),
                  std::make_shared<VEVInstallationsIIDTokenStore>(RCMSenderID));
}

std::shared_ptr<VEVInstallationsIDController>
VEVInstallationsIDController::create(std::string appID, std::string appName,
                                     std::shared_ptr<VEVInstallationsStore> installationsStore,
                                     std::shared_ptr<VEVInstallationsAPIService> APIService,
                                     std::shared_ptr<VEVInstallationsIIDStore> IIDStore,
                                     std::shared_ptr<VEVInstallationsIIDTokenStore> IIDTokenStore) {
    auto controller = std::make_shared<VEVInstallationsIDController>(
        Key(), std::move(appID), std::move(appName), std::move(installationsStore), std::move(APIService),
        std::move(IIDStore), std::move(IIDTokenStore));
    controller->makeCaches();
    return controller;
}

VEVInstallationsIDController::VEVInstallationsIDController(
    Key, std::string appID, std::string appName, std::shared_ptr<VEVInstallationsStore> installationsStore,
    std::shared_ptr<VEVInstallationsAPIService> APIService,
    std::shared_ptr<VEVInstallationsIIDStore> IIDStore,
    std::shared_ptr<VEVInstallationsIIDTokenStore> IIDTokenStore)
    : appID_(std::move(appID)), appName_(std::move(appName)),
      installationsStore_(std::move(installationsStore)), APIService_(std::move(APIService)),
      IIDStore_(std::move(IIDStore)), IIDTokenStore_(std::move(IIDTokenStore)) {}

std::string VEVInstallationsIDController::keychainServiceWithAppID(const std::string&) {
    return kVEVInstallationsKeychainService;
}

ErrorPtr VEVInstallationsIDController::controllerGoneError() {
    return VEVInstallationsErrorUtil::installationsErrorWithCode(
        VEVInstallationsErrorCodeUnknown,
        "The installations client was released before the operation finished.", nullptr);
}

void VEVInstallationsIDController::makeCaches() {
    // The caches belong to the controller; their handlers must not keep it alive.
    Weak weak = weak_from_this();
    using ItemCache = VEVInstallationsSingleOperationPromiseCache<Item>;
    getInstallationPromiseCache_ = std::make_unique<ItemCache>([weak] {
        auto self = weak.lock();
        return self ? self->createGetInstallationItemPromise() : gone<Item>();
    });
    authTokenPromiseCache_ = std::make_unique<ItemCache>([weak] {
        auto self = weak.lock();
        return self ? self->installationWithValidAuthTokenForcingRefresh(false, true) : gone<Item>();
    });
    authTokenForcingRefreshPromiseCache_ = std::make_unique<ItemCache>([weak] {
        auto self = weak.lock();
        return self ? self->installationWithValidAuthTokenForcingRefresh(true, true) : gone<Item>();
    });
    deleteInstallationPromiseCache_ =
        std::make_unique<VEVInstallationsSingleOperationPromiseCache<std::nullptr_t>>([weak] {
            auto self = weak.lock();
            return self ? self->createDeleteInstallationPromise() : gone<std::nullptr_t>();
        });
}

bool VEVInstallationsIDController::isDefaultApp() const {
    return appName_ == kVEVDefaultAppName;
}

void VEVInstallationsIDController::setDateProvider(DateProvider now) {
    std::lock_guard lock(clockMutex_);
    now_ = std::move(now);
}

foundation::Date VEVInstallationsIDController::now() const {
    DateProvider provider;
    {
        std::lock_guard lock(clockMutex_);
        provider = now_;
    }
    if (provider) return provider();
    using namespace std::chrono;
    return {duration<double>(system_clock::now().time_since_epoch()).count()};
}

// MARK: get or create

RVLPromise<Item> VEVInstallationsIDController::getInstallationItem() {
    return getInstallationPromiseCache_->getExistingPendingOrCreateNewPromise();
}

RVLPromise<Item> VEVInstallationsIDController::createGetInstallationItemPromise() {
    VEVLogDebug(kVEVLoggerInstallations, "I-VIS002000", "%s, appName: %@",
                "-[VEVInstallationsIDController createGetInstallationItemPromise]", appName_);
    Weak weak = weak_from_this();
    auto installation = getStoredInstallation().recover([weak](const ErrorPtr& error) -> RVLPromise<Item> {
        // Only an absent, undecodable or unusable record is replaced; a keychain that cannot be read
        // must not cost the installation its identity.
        if (!VEVInstallationsErrorUtil::isItemNotFoundError(error))
            return RVLPromise<Item>::resolvedWith(error);
        auto self = weak.lock();
        return self ? self->createAndSaveFID() : gone<Item>();
    });
    // Registration and a first token follow every first use; the outcome is nobody's business here.
    installation.then([weak] {
        if (auto self = weak.lock()) self->getAuthTokenForcingRefresh(false);
    });
    return installation;
}

RVLPromise<Item> VEVInstallationsIDController::getStoredInstallation() {
    return installationsStore_->installationForAppID(appID_, appName_)
        .then([appID = appID_, appName = appName_](const Item& item) -> promises::Outcome<Item> {
            if (item.registrationStatus == VEVInstallationStatusUnregistered ||
                item.registrationStatus == VEVInstallationStatusRegistered)
                return item;
            return VEVInstallationsErrorUtil::installationItemNotFoundForAppID(appID, appName);
        });
}

RVLPromise<Item> VEVInstallationsIDController::createAndSaveFID() {
    Weak weak = weak_from_this();
    return migrateOrGenerateInstallation().then([weak](const Item& item) -> RVLPromise<Item> {
        auto self = weak.lock();
        if (!self) return gone<Item>();
        return self->installationsStore_->saveInstallation(item).then(
            [weak, item]() -> promises::Outcome<Item> {
                auto self = weak.lock();
                if (!self) return controllerGoneError();
                self->postFIDDidChangeNotification();
                return item;
            });
    });
}

RVLPromise<Item> VEVInstallationsIDController::migrateOrGenerateInstallation() {
    Item generated(appID_, appName_);
    generated.vevurizoInstallationID = Item::generateFID();
    generated.registrationStatus = VEVInstallationStatusUnregistered;
    if (!isDefaultApp()) return RVLPromise<Item>::resolvedWith(generated);
    return promises::all(IIDStore_->existingIID(), IIDTokenStore_->existingIIDDefaultToken())
        .then([generated](const std::tuple<std::string, std::string>& legacy) {
            Item migrated = generated;
            migrated.vevurizoInstallationID = std::get<0>(legacy);
            migrated.IIDDefaultToken = std::get<1>(legacy);
            return migrated;
        })
        .recover([generated](const ErrorPtr&) { return generated; });
}

// MARK: auth token

RVLPromise<Item> VEVInstallationsIDController::getAuthTokenForcingRefresh(bool forceRefresh) {
    if (forceRefresh) return authTokenForcingRefreshPromiseCache_->getExistingPendingOrCreateNewPromise();
    // A forced refresh in flight gives a fresh token anyway.
    if (auto forced = authTokenForcingRefreshPromiseCache_->getExistingPendingPromise()) return *forced;
    return authTokenPromiseCache_->getExistingPendingOrCreateNewPromise();
}

RVLPromise<Item>
VEVInstallationsIDController::installationWithValidAuthTokenForcingRefresh(bool forceRefresh,
                                                                           bool mayRegenerate) {
    VEVLogDebug(
        kVEVLoggerInstallations, "I-VIS002001",
        "-[VEVInstallationsIDController installationWithValidAuthTokenForcingRefresh:%@], appName: %@",
        forceRefresh ? 1 : 0, appName_);
    Weak weak = weak_from_this();
    // Whether the record was registered when the work began: only such a record can have been revoked.
    auto wasRegistered = std::make_shared<std::atomic<bool>>(false);
    return getInstallationItem()
        .then([weak, wasRegistered](const Item& item) -> RVLPromise<Item> {
            auto self = weak.lock();
            if (!self) return gone<Item>();
            *wasRegistered = item.registrationStatus == VEVInstallationStatusRegistered;
            return self->registerInstallationIfNeeded(item);
        })
        .then([weak, forceRefresh](const Item& item) -> RVLPromise<Item> {
            auto self = weak.lock();
            if (!self) return gone<Item>();
            const auto& token = item.authToken;
            bool fresh = !token.token.empty() && token.expirationDate &&
                         token.expirationDate->secondsSince1970 - self->now().secondsSince1970 >=
                             kVEVInstallationsTokenExpirationThreshold;
            if (!forceRefresh && fresh) return RVLPromise<Item>::resolvedWith(item);
            return self->refreshAuthTokenForInstallation(item);
        })
        .recover([weak, wasRegistered, mayRegenerate](const ErrorPtr& error) -> RVLPromise<Item> {
            auto self = weak.lock();
            if (!self) return gone<Item>();
            return self->regenerateFIDOnRefreshTokenErrorIfNeeded(error, mayRegenerate && *wasRegistered);
        });
}

RVLPromise<Item> VEVInstallationsIDController::regenerateFIDOnRefreshTokenErrorIfNeeded(const ErrorPtr& error,
                                                                                        bool mayRegenerate) {
    bool revoked = VEVInstallationsErrorUtil::isAPIError(error, 401) ||
                   VEVInstallationsErrorUtil::isAPIError(error, 404);
    if (!revoked || !mayRegenerate) return RVLPromise<Item>::resolvedWith(error);
    // The service no longer knows the installation: drop it and start over with a new FID, once.
    Weak weak = weak_from_this();
    return getInstallationItem()
        .then([weak](const Item& item) -> RVLPromise<Item> {
            auto self = weak.lock();
            return self ? self->deleteInstallationLocally(item) : gone<Item>();
        })
        .then([weak]() -> RVLPromise<Item> {
            auto self = weak.lock();
            return self ? self->installationWithValidAuthTokenForcingRefresh(false, false) : gone<Item>();
        });
}

RVLPromise<Item> VEVInstallationsIDController::registerInstallationIfNeeded(const Item& installation) {
    if (installation.registrationStatus == VEVInstallationStatusRegistered)
        return RVLPromise<Item>::resolvedWith(installation);
    Weak weak = weak_from_this();
    std::string appName = appName_;
    return APIService_->registerInstallation(installation)
        .catch_([appName](const ErrorPtr& error) {
            if (isRegistrationRefusal(error))
                VEVLogError(
                    kVEVLoggerInstallations, "I-VIS002003",
                    "Vevurizo Installation registration failed for app with name: %@, error:\n%@\nPlease "
                    "make sure you use valid RuvaraService-Info.plist",
                    appName, VEVInstallationsErrorUtil::failureReason(error));
        })
        .then([weak,
               sentFID = installation.vevurizoInstallationID](const Item& registered) -> RVLPromise<Item> {
            auto self = weak.lock();
            if (!self) return gone<Item>();
            return self->installationsStore_->saveInstallation(registered)
                .then([weak, registered, sentFID]() -> promises::Outcome<Item> {
                    auto self = weak.lock();
                    if (!self) return controllerGoneError();
                    if (registered.vevurizoInstallationID != sentFID) self->postFIDDidChangeNotification();
                    return registered;
                });
        });
}

RVLPromise<Item> VEVInstallationsIDController::refreshAuthTokenForInstallation(const Item& installation) {
    auto store = installationsStore_;
    return APIService_->refreshAuthTokenForInstallation(installation).then([store](const Item& refreshed) {
        return store->saveInstallation(refreshed).then([refreshed] { return refreshed; });
    });
}

// MARK: deletion

RVLPromise<std::nullptr_t> VEVInstallationsIDController::deleteInstallation() {
    return deleteInstallationPromiseCache_->getExistingPendingOrCreateNewPromise();
}

RVLPromise<std::nullptr_t> VEVInstallationsIDController::createDeleteInstallationPromise() {
    VEVLogDebug(kVEVLoggerInstallations, "I-VIS002002", "%s, appName: %@",
                "-[VEVInstallationsIDController createDeleteInstallationPromise]", appName_);
    // The most recent state of the record: what an operation in flight will leave, else what is stored.
    std::optional<RVLPromise<Item>> start = authTokenForcingRefreshPromiseCache_->getExistingPendingPromise();
    if (!start) start = authTokenPromiseCache_->getExistingPendingPromise();
    if (!start) start = getInstallationPromiseCache_->getExistingPendingPromise();
    Weak weak = weak_from_this();
    if (start) {
        // An operation in flight that fails (a refused registration, a server error) leaves the stored
        // record as it was: the deletion goes on from that, instead of failing with someone else's error.
        start = start->recover([weak](const ErrorPtr&) -> RVLPromise<Item> {
            auto self = weak.lock();
            return self ? self->installationsStore_->installationForAppID(self->appID_, self->appName_)
                        : gone<Item>();
        });
    } else {
        start = installationsStore_->installationForAppID(appID_, appName_);
    }
    return start
        ->then([weak](const Item& item) -> RVLPromise<Item> {
            auto self = weak.lock();
            return self ? self->sendDeleteInstallationRequestIfNeeded(item) : gone<Item>();
        })
        .then([weak](const Item& item) -> RVLPromise<Item> {
            auto self = weak.lock();
            return self ? self->deleteInstallationLocally(item) : gone<Item>();
        })
        .then([] { return nullptr; });
}

RVLPromise<Item>
VEVInstallationsIDController::sendDeleteInstallationRequestIfNeeded(const Item& installation) {
    if (installation.registrationStatus != VEVInstallationStatusRegistered)
        return RVLPromise<Item>::resolvedWith(installation);
    return APIService_->deleteInstallation(installation)
        .recover([installation](const ErrorPtr& error) -> promises::Outcome<Item> {
            // The service does not know it: it is deleted as far as the service is concerned.
            if (VEVInstallationsErrorUtil::isAPIError(error, 404)) return installation;
            return error;
        });
}

RVLPromise<Item> VEVInstallationsIDController::deleteInstallationLocally(const Item& installation) {
    Weak weak = weak_from_this();
    return installationsStore_->removeInstallationForAppID(installation.appID, installation.doraveziZodName)
        .then([weak, installation]() -> RVLPromise<Item> {
            auto self = weak.lock();
            if (!self) return gone<Item>();
            // The record is gone: say so now, whatever the legacy clean-up below then meets.
            self->postFIDDidChangeNotification();
            if (!self->isDefaultApp()) return RVLPromise<Item>::resolvedWith(installation);
            return self->IIDStore_->deleteExistingIID().then([installation] { return installation; });
        });
}

void VEVInstallationsIDController::postFIDDidChangeNotification() const {
    foundation::NotificationCenter::defaultCenter()->post(
        kVEVInstallationIDDidChangeNotification, nullptr,
        {{kVEVInstallationIDDidChangeNotificationAppNameKey, appName_}});
}
