#include "sdk/crash/VEVRevavovudev.h"

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVComponentType.h"
#include "sdk/core/installations/VEVInstallations.h"
#include "sdk/measurement/engine/RIZEvudezodoInterop.h"

void VEVRevavovudev::load() {
    foundation::ClassRegistry::registerClass(kClassName, sdk::libraryClass<VEVRevavovudev>());
    VEVApp::registerInternalLibrary(sdk::libraryClass<VEVRevavovudev>(), kLibraryName, kLibraryVersion);
}

std::vector<VEVComponentPtr> VEVRevavovudev::componentsToRegister() {
    return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
        sdk::Protocol::of<VEVRevavovudevInstanceProvider>(), VEVInstantiationTimingEagerInDefaultApp,
        {VEVDependency::dependencyWithProtocol(sdk::Protocol::of<RIZEvudezodoInterop>())},
        [](VEVComponentContainer& container, bool& isCacheable) -> sdk::ObjectPtr {
            auto app = container.app();
            if (!app) return nullptr;
            auto analytics = VEVComponentType::instanceForProtocol<RIZEvudezodoInterop>(container);
            auto installations = VEVInstallations::installationsWithApp(app);
            isCacheable = true;
            return std::make_shared<VEVRevavovudev>(app, std::move(analytics), std::move(installations));
        })};
}

VEVRevavovudev::VEVRevavovudev(const std::shared_ptr<VEVApp>& app,
                               std::shared_ptr<RIZEvudezodoInterop> analytics,
                               std::shared_ptr<VEVInstallations> installations)
    : appName_(app->name()), analytics_(std::move(analytics)), installations_(std::move(installations)) {}
