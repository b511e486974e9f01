#include "sdk/SdkStartUp.h"

#include "platform/foundation/ExitSteps.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/diagnostics/VEVCoreDiagnostics.h"
#include "sdk/core/installations/VEVInstallations.h"
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

namespace {
constexpr int kOrderTransportTerminates = 100;

void addExitSteps() {
    foundation::ExitSteps::add(
        kOrderTransportTerminates, "the event transport terminates",
        [](foundation::ExitSteps::Deadline) { RDTCORLifecycle::sharedInstance()->appWillTerminate(); });
}
} // namespace

void registerLoadHooks() {
    for (auto hook : loadHooks())
        foundation::LoadHooks::runOnce({hook});
    foundation::LoadHooks::runOnce({&addExitSteps});
}

void startUp() {
    registerLoadHooks();
    VEVApp::configure();
}

} // namespace sdk
