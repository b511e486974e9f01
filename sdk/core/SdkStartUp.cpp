#include "sdk/core/SdkStartUp.h"

#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVCoreDiagnostics.h"
#include "sdk/core/VEVInstallations.h"
#include "sdk/core/transport/RDTCORLifecycle.h"
#include "sdk/crash/VEVRevavovudev.h"
#include "sdk/database/network/VEVDatabase.h"
#include "sdk/database/network/VEVDatabaseComponent.h"
#include "sdk/measurement/engine/RIZEvudezodo.h"
#include "sdk/measurement/engine/RIZEvudezodoConnector.h"

namespace sdk {

const std::vector<foundation::LoadHooks::Hook>& loadHooks() {
    static const std::vector<foundation::LoadHooks::Hook> hooks{
        &RIZEvudezodo::load,  &RIZEvudezodoConnector::load, &VEVRevavovudev::load,
        &VEVDatabase::load,   &VEVDatabaseComponent::load,  &VEVInstallations::load,
        &RDTCORTransportLoad, &VEVCoreDiagnostics::load,
    };
    return hooks;
}

void registerLoadHooks() {
    for (auto hook : loadHooks())
        foundation::LoadHooks::runOnce({hook});
}

void startUp() {
    registerLoadHooks();
    VEVApp::configure();
}

} // namespace sdk
