#pragma once
// Objects kept in the keychain for one service, stored as property lists under (access group, key).
// Every call does its work on the storage's own serial queue and answers with a promise.
#include <cstddef>
#include <string>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"
#include "platform/promises/RVLPromise.h"

class RULKeychainStorage {
  public:
    explicit RULKeychainStorage(std::string service);

    const std::string& service() const { return service_; }

    // The stored object, or a null Value when there is none; an item that is damaged or not of
    // `objectClass` counts as none. An empty access group is the app's own.
    RVLPromise<foundation::Value> getObjectForKey(const std::string& key, foundation::Value::Type objectClass,
                                                  const std::string& accessGroup) const;
    // Rejects with a keychain error when the item cannot be written, or when the object is (or holds,
    // outside a dictionary member) a null. Null dictionary members are left out.
    RVLPromise<std::nullptr_t> setObject(const foundation::Value& object, const std::string& key,
                                         const std::string& accessGroup) const;
    // Removing an absent object succeeds.
    RVLPromise<std::nullptr_t> removeObjectForKey(const std::string& key,
                                                  const std::string& accessGroup) const;

  private:
    foundation::Dictionary itemQuery(const std::string& key, const std::string& accessGroup) const;

    std::string service_;
    foundation::QueuePtr queue_;
};
