// A program that starts the SDK and returns from main at once, with no waiting of its own: the SDK's
// background work (the installation's first fetch, its logging, user defaults, the diagnostics record,
// the event storage) must end or be waited for on the way out, before static destruction. The exit
// tests run it many times, under AddressSanitizer in the sanitizer build. Its home is ZARUVEDEZ_HOME.
#include <cstdlib>
#include <string>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/LaunchArguments.h"
#include "sdk/SdkStartUp.h"

int main(int argc, char** argv) {
    foundation::launch::setArguments(argc, argv);
    foundation::home::ensureLayout();
    sdk::startUp();
    return 0;
}
