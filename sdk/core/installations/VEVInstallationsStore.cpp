#include "sdk/core/installations/VEVInstallationsStore.h"

#include "sdk/core/installations/VEVInstallationsErrors.h"

using foundation::ErrorPtr;
using foundation::Value;

namespace {
// The keychain layer's own errors become the client's keychain error, keeping the status.
ErrorPtr keychainError(const ErrorPtr& error, const char* function) {
    auto mapped = VEVInstallationsErrorUtil::keychainErrorWithFunction(function, error ? error->code() : 0);
    mapped->underlying = error;
    return mapped;
}
} // namespace

VEVInstallationsStore::VEVInstallationsStore(std::shared_ptr<RULKeychainStorage> secureStorage,
                                             std::string accessGroup)
    : secureStorage_(std::move(secureStorage)), accessGroup_(std::move(accessGroup)),
      queue_(foundation::SerialQueue::create("com.vevurizo.VEVInstallationsStore")),
      userDefaults_(std::make_shared<RULUserDefaults>(
          accessGroup_.empty() ? kVEVInstallationsStoreUserDefaultsID : accessGroup_)) {}

RVLPromise<VEVInstallationsItem> VEVInstallationsStore::installationForAppID(const std::string& appID,
                                                                             const std::string& appName) {
    std::string itemID = VEVInstallationsItem::identifierWithAppID(appID, appName);
    return installationExistsForAppID(appID, appName)
        .then([storage = secureStorage_, itemID, group = accessGroup_] {
            return storage->getObjectForKey(itemID, Value::Type::Dictionary, group)
                .recover([](const ErrorPtr& e) -> promises::Outcome<Value> {
                    return keychainError(e, "SecItemCopyMatching");
                });
        })
        .then([appID, appName](const Value& stored) -> promises::Outcome<VEVInstallationsItem> {
            // An absent or undecodable entry is no record: a new one will be made over it.
            auto item = VEVInstallationsStoredItem::decode(stored);
            if (!item) return VEVInstallationsErrorUtil::installationItemNotFoundForAppID(appID, appName);
            VEVInstallationsItem installation(appID, appName);
            installation.updateWithStoredItem(*item);
            return installation;
        });
}

RVLPromise<std::nullptr_t>
VEVInstallationsStore::saveInstallation(const VEVInstallationsItem& installationItem) {
    std::string itemID = installationItem.identifier();
    auto coded = installationItem.storedItem().encode();
    auto storage = secureStorage_;
    return storage->setObject(coded, itemID, accessGroup_)
        .recover([](const ErrorPtr& e) -> promises::Outcome<std::nullptr_t> {
            return keychainError(e, "SecItemAdd");
        })
        .then([q = queue_, defaults = userDefaults_, itemID] {
            return RVLPromise<std::nullptr_t>::onQueueDo(q, [defaults, itemID] {
                defaults->setBool(true, itemID);
                return nullptr;
            });
        });
}

RVLPromise<std::nullptr_t> VEVInstallationsStore::removeInstallationForAppID(const std::string& appID,
                                                                             const std::string& appName) {
    std::string itemID = VEVInstallationsItem::identifierWithAppID(appID, appName);
    return secureStorage_->removeObjectForKey(itemID, accessGroup_)
        .recover([](const ErrorPtr& e) -> promises::Outcome<std::nullptr_t> {
            return keychainError(e, "SecItemDelete");
        })
        .then([q = queue_, defaults = userDefaults_, itemID] {
            return RVLPromise<std::nullptr_t>::onQueueDo(q, [defaults, itemID] {
                defaults->removeObjectForKey(itemID);
                return nullptr;
            });
        });
}

RVLPromise<std::nullptr_t> VEVInstallationsStore::installationExistsForAppID(const std::string& appID,
                                                                             const std::string& appName) {
    return RVLPromise<std::nullptr_t>::onQueueDo(
        queue_, [defaults = userDefaults_, appID, appName]() -> promises::Outcome<std::nullptr_t> {
            std::string itemID = VEVInstallationsItem::identifierWithAppID(appID, appName);
            if (defaults->objectForKey(itemID).isNull())
                return VEVInstallationsErrorUtil::installationItemNotFoundForAppID(appID, appName);
            return nullptr;
        });
}

RVLPromise<std::nullptr_t> VEVInstallationsStore::setInstallationExists(bool exists,
                                                                        const std::string& itemID) {
    return RVLPromise<std::nullptr_t>::onQueueDo(queue_, [defaults = userDefaults_, exists, itemID] {
        if (exists)
            defaults->setBool(true, itemID);
        else
            defaults->removeObjectForKey(itemID);
        return nullptr;
    });
}
