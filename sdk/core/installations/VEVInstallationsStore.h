#pragma once
// Installation records in the keychain, one per app, with a flag in the user defaults that says the
// record belongs to this installation of the program (a keychain entry without it counts as absent).
#include <cstddef>
#include <memory>
#include <string>

#include "platform/foundation/SerialQueue.h"
#include "platform/promises/RVLPromise.h"
#include "platform/utilities/RULKeychainStorage.h"
#include "platform/utilities/RULUserDefaults.h"
#include "sdk/core/installations/VEVInstallationsItem.h"

inline constexpr const char* kVEVInstallationsStoreUserDefaultsID = "com.vevurizo.VEVInstallations";

class VEVInstallationsStore {
  public:
    // An empty access group is the app's own.
    VEVInstallationsStore(std::shared_ptr<RULKeychainStorage> secureStorage, std::string accessGroup);

    // Rejects with the not-found error when there is no record (or no flag), with a keychain error
    // when the keychain cannot be read.
    RVLPromise<VEVInstallationsItem> installationForAppID(const std::string& appID,
                                                          const std::string& appName);
    RVLPromise<std::nullptr_t> saveInstallation(const VEVInstallationsItem& installationItem);
    RVLPromise<std::nullptr_t> removeInstallationForAppID(const std::string& appID,
                                                          const std::string& appName);
    RVLPromise<std::nullptr_t> installationExistsForAppID(const std::string& appID,
                                                          const std::string& appName);
    RVLPromise<std::nullptr_t> setInstallationExists(bool exists, const std::string& itemID);

    const std::string& accessGroup() const { return accessGroup_; }

  private:
    std::shared_ptr<RULKeychainStorage> secureStorage_;
    std::string accessGroup_;
    foundation::QueuePtr queue_;
    std::shared_ptr<RULUserDefaults> userDefaults_;
};
