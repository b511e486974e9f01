#include "sdk/core/VEVInstallations.h"

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVComponentType.h"

void VEVInstallations::load() {
    foundation::ClassRegistry::registerClass(kClassName, sdk::libraryClass<VEVInstallations>());
    VEVApp::registerInternalLibrary(sdk::libraryClass<VEVInstallations>(), kLibraryName, kLibraryVersion);
}

std::vector<VEVComponentPtr> VEVInstallations::componentsToRegister() {
    return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
        sdk::Protocol::of<VEVInstallationsInstanceProvider>(), VEVInstantiationTimingAlwaysEager, {},
        [](VEVComponentContainer& container, bool& isCacheable) -> sdk::ObjectPtr {
            auto app = container.app();
            if (!app) return nullptr;
            isCacheable = true;
            return std::make_shared<VEVInstallations>(app);
        })};
}

std::shared_ptr<VEVInstallations> VEVInstallations::installationsWithApp(const std::shared_ptr<VEVApp>& app) {
    if (!app) return nullptr;
    return std::dynamic_pointer_cast<VEVInstallations>(
        VEVComponentType::instanceForProtocol<VEVInstallationsInstanceProvider>(app->container()));
}

VEVInstallations::VEVInstallations(const std::shared_ptr<VEVApp>& app) : appName_(app->name()), app_(app) {}
