#include "sdk/database/network/VEVDatabaseComponent.h"

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/VEVApp.h"
#include "sdk/database/network/VEVDatabase.h"

void VEVDatabase::load() {
    foundation::ClassRegistry::registerClass(kClassName, &VEVDatabase::sdkVersion);
}

void VEVDatabaseComponent::load() {
    foundation::ClassRegistry::registerClass(kClassName, sdk::libraryClass<VEVDatabaseComponent>());
    VEVApp::registerInternalLibrary(sdk::libraryClass<VEVDatabaseComponent>(), kLibraryName,
                                    VEVDatabase::sdkVersion());
}

std::vector<VEVComponentPtr> VEVDatabaseComponent::componentsToRegister() {
    return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
        sdk::Protocol::of<VEVDatabaseProvider>(), VEVInstantiationTimingLazy,
        {VEVDependency::dependencyWithProtocolIsRequired(sdk::Protocol(kVEVAuthInteropProtocolName), false)},
        [](VEVComponentContainer& container, bool& isCacheable) -> sdk::ObjectPtr {
            auto app = container.app();
            if (!app) return nullptr;
            isCacheable = true;
            return std::make_shared<VEVDatabaseComponent>(app);
        })};
}

void VEVDatabaseComponent::appWillBeDeleted(const std::shared_ptr<VEVApp>&) {
    // The app's databases go with it; a later request must make new ones for a new app.
    std::lock_guard lock(mutex_);
    app_.reset();
}

bool VEVDatabaseComponent::hasApp() const {
    std::lock_guard lock(mutex_);
    return !app_.expired();
}
