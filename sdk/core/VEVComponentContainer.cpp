#include "sdk/core/VEVComponentContainer.h"

#include <algorithm>

#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVLogger.h"

namespace {
std::mutex registrantsMutex;
VEVRegistrantSet& sharedRegistrants() {
    static auto* set = new VEVRegistrantSet; // never destroyed, like the apps that use it
    return *set;
}
} // namespace

void VEVComponentContainer::registerAsComponentRegistrant(const VEVLibraryClass& library) {
    std::lock_guard lock(registrantsMutex);
    registerAsComponentRegistrantInSet(library, sharedRegistrants());
}

void VEVComponentContainer::registerAsComponentRegistrantInSet(const VEVLibraryClass& library,
                                                               VEVRegistrantSet& set) {
    if (library && std::find(set.begin(), set.end(), library) == set.end()) set.push_back(library);
}

VEVRegistrantSet VEVComponentContainer::registrants() {
    std::lock_guard lock(registrantsMutex);
    return sharedRegistrants();
}

VEVComponentContainer::VEVComponentContainer(const std::shared_ptr<VEVApp>& app)
    : VEVComponentContainer(app, registrants()) {}

VEVComponentContainer::VEVComponentContainer(const std::shared_ptr<VEVApp>& app,
                                             const VEVRegistrantSet& registrants)
    : app_(app) {
    populateComponentsFromRegisteredClasses(registrants, app && app->isDefaultApp());
}

void VEVComponentContainer::populateComponentsFromRegisteredClasses(const VEVRegistrantSet& registrants,
                                                                    bool isDefaultApp) {
    eagerProtocolsToInstantiate_.emplace();
    for (const auto& library : registrants) {
        for (const auto& component : library->componentsToRegister()) {
            if (!component) continue;
            const std::string& key = component->protocol().name();
            if (components_.count(key)) {
                VEVLogError(kVEVLoggerCore, "I-COR000029",
                            "Attempted to register protocol %@, but it already has an implementation.", key);
                continue;
            }
            components_.emplace(key, Entry{component->protocol(), component->creationBlock()});
            auto timing = component->instantiationTiming();
            if (timing == VEVInstantiationTimingAlwaysEager ||
                (timing == VEVInstantiationTimingEagerInDefaultApp && isDefaultApp))
                eagerProtocolsToInstantiate_->push_back(component->protocol());
        }
    }
}

void VEVComponentContainer::instantiateEagerComponents() {
    std::lock_guard lock(mutex_);
    if (!eagerProtocolsToInstantiate_) return;
    // Taken out first so a block that throws cannot make a later call create the same instances twice.
    auto eager = std::move(*eagerProtocolsToInstantiate_);
    eagerProtocolsToInstantiate_.reset();
    for (const auto& protocol : eager)
        instanceForProtocol(protocol);
}

sdk::ObjectPtr VEVComponentContainer::instanceForProtocol(const sdk::Protocol& protocol) {
    std::lock_guard lock(mutex_);
    const std::string& name = protocol.name();
    if (auto it = cachedInstances_.find(name); it != cachedInstances_.end()) return it->second;
    auto entry = components_.find(name);
    if (entry == components_.end() || !entry->second.creationBlock) return nullptr;
    // Copied: the block may ask for other protocols, and removeAllComponents may run inside it.
    Entry component = entry->second;
    bool isCacheable = false;
    sdk::ObjectPtr instance = component.creationBlock(*this, isCacheable);
    if (!instance) return nullptr;
    if (!component.protocol.isAdoptedBy(*instance) || !protocol.isAdoptedBy(*instance))
        VEVLogError(
            kVEVLoggerCore, "I-COR000030",
            "An instance conforming to %@ was requested, but the instance provided does not conform to the "
            "protocol",
            name);
    if (isCacheable) cachedInstances_[name] = instance;
    return instance;
}

void VEVComponentContainer::removeAllCachedInstances() {
    std::lock_guard lock(mutex_);
    auto app = app_.lock();
    auto instances = std::move(cachedInstances_);
    cachedInstances_.clear();
    for (const auto& [name, instance] : instances)
        if (auto* maintainer = dynamic_cast<VEVComponentLifecycleMaintainer*>(instance.get()))
            maintainer->appWillBeDeleted(app);
}

void VEVComponentContainer::removeAllComponents() {
    std::lock_guard lock(mutex_);
    components_.clear();
}
