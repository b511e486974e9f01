// Catch2 main for plain suites: every test process gets its own throw-away home, so no test can
// touch a real clinic's data.
#define CATCH_CONFIG_RUNNER
#include <catch2/catch.hpp>
#include <cstdlib>

#include "tests/support/TestHome.h"

int main(int argc, char** argv) {
    testsupport::TempHome home;
    return Catch::Session().run(argc, argv);
}
