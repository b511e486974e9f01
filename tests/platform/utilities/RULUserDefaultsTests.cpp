#include <catch2/catch.hpp>

#include "platform/utilities/RULUserDefaults.h"
#include "tests/support/TestHome.h"

TEST_CASE("suite-scoped defaults keep flags per suite across launches", "[defaults]") {
    testsupport::TempHome home;
    RULUserDefaults defaults("com.example.VEVInstallations");
    RULUserDefaults group("TEAM.group.a");

    CHECK(defaults.objectForKey("id1").isNull());
    defaults.setBool(true, "id1");
    CHECK(defaults.objectForKey("id1").boolValue());
    CHECK(group.objectForKey("id1").isNull());

    home.relaunch();
    RULUserDefaults again("com.example.VEVInstallations");
    CHECK(again.objectForKey("id1").boolValue());
    again.removeObjectForKey("id1");
    CHECK(defaults.objectForKey("id1").isNull()); // both objects read the same suite
    home.relaunch();
    CHECK(again.objectForKey("id1").isNull());
}
