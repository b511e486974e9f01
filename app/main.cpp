#include "app/shell/ProcessEntry.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/LaunchArguments.h"
#include "sdk/core/SdkStartUp.h"

int main(int argc, char** argv) {
    foundation::installUncaughtExceptionLogger();
    foundation::launch::setArguments(argc, argv);
    foundation::home::ensureLayout();
    // The SDK's load-time registrations; the delegate configures the SDK during launch.
    sdk::registerLoadHooks();
    return shell::processEntry(argc, argv);
}
