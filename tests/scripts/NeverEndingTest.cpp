// A test program whose one test never ends, for the test of scripts/run-limited.sh: a hang must fail
// and name its test. Hidden, and never given to ctest, so no run of the suite starts it.
#include <catch2/catch.hpp>
#include <future>

TEST_CASE("a test that never ends", "[.]") {
    SECTION("it waits for what never comes") {
        std::promise<void> never;
        never.get_future().wait();
    }
}
