#include "platform/utilities/RULKeychainStorage.h"

#include <optional>

#include "platform/foundation/Log.h"
#include "platform/foundation/Plist.h"
#include "platform/utilities/Keychain.h"

using foundation::Value;
namespace keychain = utilities::keychain;

namespace {
// Property lists have no null. A null dictionary member is the same as an absent one, so it is left
// out; a null anywhere else has no faithful form, and storing "" in its place would change the data.
std::optional<Value> storable(const Value& v) {
    if (v.isNull()) return std::nullopt;
    if (auto d = v.dictionary()) {
        foundation::Dictionary out;
        for (const auto& [k, member] : *d) {
            if (member.isNull()) continue;
            auto m = storable(member);
            if (!m) return std::nullopt;
            out.emplace(k, std::move(*m));
        }
        return Value(std::move(out));
    }
    if (auto a = v.array()) {
        foundation::Array out;
        for (const auto& e : *a) {
            auto m = storable(e);
            if (!m) return std::nullopt;
            out.push_back(std::move(*m));
        }
        return Value(std::move(out));
    }
    return v;
}
} // namespace

RULKeychainStorage::RULKeychainStorage(std::string service)
    : service_(std::move(service)),
      queue_(foundation::SerialQueue::create("com.zaruvedez.utilities.keychain")) {}

foundation::Dictionary RULKeychainStorage::itemQuery(const std::string& key,
                                                     const std::string& accessGroup) const {
    foundation::Dictionary q{{keychain::kClass, keychain::kClassGenericPassword},
                             {keychain::kService, service_},
                             {keychain::kAccount, key}};
    if (!accessGroup.empty()) q[keychain::kAccessGroup] = accessGroup;
    return q;
}

RVLPromise<Value> RULKeychainStorage::getObjectForKey(const std::string& key, Value::Type objectClass,
                                                      const std::string& accessGroup) const {
    return RVLPromise<Value>::onQueueDo(
        queue_, [query = itemQuery(key, accessGroup), key, objectClass]() -> promises::Outcome<Value> {
            foundation::Data data;
            auto status = keychain::copyMatching(query, data);
            if (status == keychain::kReadFailed) return keychain::errorForStatus(status, "getObjectForKey");
            if (status != keychain::kSuccess) return Value();
            auto object = foundation::plist::parse(data);
            if (!object || object->type() != objectClass) {
                foundation::log(
                    "Keychain item %@ could not be read as the expected object; treating it as absent.", key);
                return Value();
            }
            return *object;
        });
}

RVLPromise<std::nullptr_t> RULKeychainStorage::setObject(const Value& object, const std::string& key,
                                                         const std::string& accessGroup) const {
    return RVLPromise<std::nullptr_t>::onQueueDo(
        queue_, [query = itemQuery(key, accessGroup), object]() -> promises::Outcome<std::nullptr_t> {
            auto plist = storable(object);
            if (!plist) return keychain::errorForStatus(keychain::kBadParameter, "setObject");
            auto status = keychain::setItem(query, foundation::plist::toBinary(*plist));
            if (status != keychain::kSuccess) return keychain::errorForStatus(status, "setObject");
            return nullptr;
        });
}

RVLPromise<std::nullptr_t> RULKeychainStorage::removeObjectForKey(const std::string& key,
                                                                  const std::string& accessGroup) const {
    return RVLPromise<std::nullptr_t>::onQueueDo(
        queue_, [query = itemQuery(key, accessGroup)]() -> promises::Outcome<std::nullptr_t> {
            auto status = keychain::deleteMatching(query);
            if (status != keychain::kSuccess && status != keychain::kItemNotFound)
                return keychain::errorForStatus(status, "removeObjectForKey");
            return nullptr;
        });
}
