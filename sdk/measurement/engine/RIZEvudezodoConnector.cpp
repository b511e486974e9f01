#include "sdk/measurement/engine/RIZEvudezodoConnector.h"

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/VEVApp.h"

void RIZEvudezodoConnector::load() {
    foundation::ClassRegistry::registerClass(kClassName, sdk::libraryClass<RIZEvudezodoConnector>());
    VEVApp::registerInternalLibrary(sdk::libraryClass<RIZEvudezodoConnector>(), kLibraryName,
                                    kLibraryVersion);
}

std::vector<VEVComponentPtr> RIZEvudezodoConnector::componentsToRegister() {
    return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
        sdk::Protocol::of<RIZEvudezodoInterop>(), VEVInstantiationTimingLazy, {},
        [](VEVComponentContainer&, bool& isCacheable) -> sdk::ObjectPtr {
            isCacheable = true;
            return std::make_shared<RIZEvudezodoConnector>();
        })};
}
