// Catch2 main for plain suites: every test process gets its own throw-away home, so no test can
// touch a real clinic's data.
#define CATCH_CONFIG_RUNNER
#include <catch2/catch.hpp>
#include <cstdlib>

#include "platform/foundation/SerialQueue.h"
#include "tests/support/TestHome.h"

int main(int argc, char** argv) {
    testsupport::TempHome home;
    const int result = Catch::Session().run(argc, argv);
    // Work the tests started in the background (an SDK's first fetch, say) finishes with the home and
    // the process's statics still there; a chain of tasks may take a few rounds.
    for (int round = 0; round < 3; ++round)
        foundation::SerialQueue::drainAll();
    return result;
}
