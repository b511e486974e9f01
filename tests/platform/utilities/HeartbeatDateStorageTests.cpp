#include <catch2/catch.hpp>

#include <filesystem>
#include <fstream>

#include "platform/foundation/AppHome.h"
#include "platform/utilities/RULHeartbeatDateStorage.h"
#include "tests/support/PlistSamples.h"
#include "tests/support/TestHome.h"

using foundation::Date;

TEST_CASE("heartbeat dates are kept per tag in a named file", "[heartbeat]") {
    testsupport::TempHome home;
    RULHeartbeatDateStorage storage("HEARTBEAT_INFO_STORAGE");

    SECTION("nothing stored reads as none") {
        CHECK_FALSE(storage.heartbeatDateForTag("vev-installations"));
        CHECK_FALSE(std::filesystem::exists(storage.filePath()));
    }
    SECTION("dates round-trip per tag and survive a relaunch") {
        REQUIRE(storage.setHearbeatDate(Date{1700000000.25}, "a"));
        REQUIRE(storage.setHearbeatDate(Date{1600000000}, "b"));
        REQUIRE(storage.setHearbeatDate(Date{1700086400}, "a")); // a later date replaces the earlier
        CHECK(storage.filePath() == foundation::home::applicationSupport() + "/HEARTBEAT_INFO_STORAGE");
        home.relaunch();
        RULHeartbeatDateStorage fresh("HEARTBEAT_INFO_STORAGE");
        REQUIRE(fresh.heartbeatDateForTag("a"));
        CHECK(fresh.heartbeatDateForTag("a")->secondsSince1970 == Approx(1700086400));
        CHECK(fresh.heartbeatDateForTag("b")->secondsSince1970 == Approx(1600000000));
        CHECK_FALSE(fresh.heartbeatDateForTag("c"));
    }
    SECTION("fractions of a second are kept") {
        REQUIRE(storage.setHearbeatDate(Date{1700000000.5}, "a"));
        CHECK(storage.heartbeatDateForTag("a")->secondsSince1970 == Approx(1700000000.5).margin(1e-3));
    }
    SECTION("files of different names are independent") {
        RULHeartbeatDateStorage other("VEVURIZO_DIAGNOSTICS_HEARTBEAT_DATE");
        REQUIRE(storage.setHearbeatDate(Date{1}, "VEVCoreDiagnostics"));
        CHECK_FALSE(other.heartbeatDateForTag("VEVCoreDiagnostics"));
    }
    SECTION("a damaged file reads as empty and the next date repairs it") {
        std::ofstream(storage.filePath()) << "garbage";
        CHECK_FALSE(storage.heartbeatDateForTag("a"));
        REQUIRE(storage.setHearbeatDate(Date{42}, "a"));
        CHECK(storage.heartbeatDateForTag("a")->secondsSince1970 == Approx(42));
    }
    SECTION("every kind of damaged plist reads as empty") {
        for (const auto& [what, bytes] : testsupport::damagedPlists()) {
            INFO(what);
            std::ofstream(storage.filePath(), std::ios::binary | std::ios::trunc)
                .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            CHECK_FALSE(storage.heartbeatDateForTag("a"));
        }
    }
    SECTION("a name that is not a plain file name stores nothing") {
        RULHeartbeatDateStorage bad("../escape");
        CHECK_FALSE(bad.setHearbeatDate(Date{1}, "a"));
        CHECK_FALSE(bad.heartbeatDateForTag("a"));
        CHECK_FALSE(RULHeartbeatDateStorage("").setHearbeatDate(Date{1}, "a"));
    }
}
