// Catch2 main for plain suites: every test process gets its own throw-away home, so no test can
// touch a real clinic's data.
#define CATCH_CONFIG_RUNNER
#include <catch2/catch.hpp>
#include <cstdlib>

#include "platform/foundation/ExitSteps.h"
#include "tests/support/TestHome.h"

int main(int argc, char** argv) {
    testsupport::TempHome home;
    const int result = Catch::Session().run(argc, argv);
    // The way out of the process runs while the home is still there: work the tests started in the
    // background (an SDK's first fetch, say) finishes with it rather than after it is removed.
    if (!foundation::ExitSteps::run()) std::quick_exit(result ? result : EXIT_FAILURE);
    return result;
}
