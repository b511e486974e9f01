#pragma once
// One per app: maps each protocol offered by the registrants to the block that makes its instance,
// makes the eager ones at configuration and the others on first request, and keeps the instances
// their blocks allow it to keep.
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/VEVLibrary.h"

class VEVApp;

// The registrants in registration order (the first to offer a protocol wins), each once.
using VEVRegistrantSet = std::vector<VEVLibraryClass>;

class VEVComponentContainer {
  public:
    static void registerAsComponentRegistrant(const VEVLibraryClass& library);
    static void registerAsComponentRegistrantInSet(const VEVLibraryClass& library, VEVRegistrantSet& set);
    // A snapshot of the shared registrant set.
    static VEVRegistrantSet registrants();

    explicit VEVComponentContainer(const std::shared_ptr<VEVApp>& app);
    VEVComponentContainer(const std::shared_ptr<VEVApp>& app, const VEVRegistrantSet& registrants);

    std::shared_ptr<VEVApp> app() const { return app_.lock(); }

    void instantiateEagerComponents();
    sdk::ObjectPtr instanceForProtocol(const sdk::Protocol& protocol);
    void removeAllCachedInstances();
    void removeAllComponents();

  private:
    struct Entry {
        sdk::Protocol protocol;
        VEVComponent::CreationBlock creationBlock;
    };
    void populateComponentsFromRegisteredClasses(const VEVRegistrantSet& registrants, bool isDefaultApp);

    std::weak_ptr<VEVApp> app_;
    // Re-entrant: creation blocks run under it and may ask this container for other protocols.
    std::recursive_mutex mutex_;
    std::map<std::string, Entry> components_;
    std::map<std::string, sdk::ObjectPtr> cachedInstances_;
    std::optional<std::vector<sdk::Protocol>> eagerProtocolsToInstantiate_;
};
