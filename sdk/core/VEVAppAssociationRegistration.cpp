#include "sdk/core/VEVAppAssociationRegistration.h"

#include <map>
#include <mutex>
#include <variant>

#include "platform/foundation/Exception.h"

namespace {

struct InProgress {};
using Slot = std::variant<InProgress, sdk::ObjectPtr>;

struct Association {
    std::weak_ptr<const void> host; // the association dies with its host, even if its address is reused
    std::map<std::string, Slot> objects;
};

std::recursive_mutex classMutex;
std::map<const void*, Association> associations;

Association& associationFor(const std::shared_ptr<const void>& host) {
    std::erase_if(associations, [](const auto& entry) { return entry.second.host.expired(); });
    auto& association = associations[host.get()];
    association.host = host;
    return association;
}

} // namespace

sdk::ObjectPtr VEVAppAssociationRegistration::registeredObjectWithHost(
    const std::shared_ptr<const void>& host, const std::string& key,
    const std::function<sdk::ObjectPtr()>& creationBlock) {
    std::lock_guard lock(classMutex);
    auto& objects = associationFor(host).objects;
    if (auto it = objects.find(key); it != objects.end()) {
        if (std::holds_alternative<InProgress>(it->second))
            foundation::raise("Reentering registeredObjectWithHost:key:creationBlock: not allowed",
                              "host: %@ key: %@", host.get(), key);
        return std::get<sdk::ObjectPtr>(it->second);
    }
    objects[key] = InProgress{};
    sdk::ObjectPtr object;
    try {
        object = creationBlock ? creationBlock() : nullptr;
    } catch (...) {
        // A failed creation must not leave the marker behind: every later request would raise.
        associationFor(host).objects.erase(key);
        throw;
    }
    auto& after = associationFor(host).objects; // the block may have added other hosts
    if (object)
        after[key] = object;
    else
        after.erase(key);
    return object;
}
