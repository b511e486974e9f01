#include <cstdlib>

#include "app/ProcessEntry.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/ExitSteps.h"
#include "platform/foundation/LaunchArguments.h"
#include "sdk/SdkStartUp.h"

int main(int argc, char** argv) {
    foundation::installUncaughtExceptionLogger();
    foundation::launch::setArguments(argc, argv);
    // Without a home to write in the SDK stays off (it writes under the home); the delegate says why
    // and quits.
    if (!foundation::home::ensureLayout()) {
        // The SDK's load-time registrations; the delegate configures the SDK during launch.
        sdk::registerLoadHooks();
    }
    const int status = app::processEntry(argc, argv);
    // The application has terminated: the SDK's and the app's background work ends, or is waited for,
    // in a fixed order before static destruction; should it overrun, the process leaves without it.
    if (!foundation::ExitSteps::run()) std::quick_exit(status);
    return status;
}
