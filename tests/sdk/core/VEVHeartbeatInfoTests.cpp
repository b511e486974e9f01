// Whether a request carries the day's heartbeat mark, per SDK tag and for all SDKs together.
#include <catch2/catch.hpp>
#include <chrono>
#include <filesystem>
#include <limits>

#include "platform/foundation/Plist.h"
#include "platform/utilities/RULHeartbeatDateStorage.h"
#include "sdk/core/VEVHeartbeatInfo.h"
#include "tests/support/TestHome.h"

TEST_CASE("Heartbeats are due once per 86400 seconds, per tag and globally", "[heartbeat]") {
    testsupport::TempHome home;
    RULHeartbeatDateStorage storage(kVEVHeartbeatStorageName);
    using namespace std::chrono;
    auto now = [] { return duration<double>(system_clock::now().time_since_epoch()).count(); };

    CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("vev-installations") == VEVHeartbeatInfoCodeCombined);
    CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("vev-installations") == VEVHeartbeatInfoCodeNone);
    CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("other") == VEVHeartbeatInfoCodeSDK);

    SECTION("86399 s ago is not due and keeps the date; 86400 s ago is") {
        foundation::Date recent{now() - 86399};
        REQUIRE(storage.setHearbeatDate(recent, "t"));
        CHECK_FALSE(VEVHeartbeatInfo::updateIfNeededHeartbeatDateForTag("t"));
        CHECK(storage.heartbeatDateForTag("t")->secondsSince1970 ==
              Approx(recent.secondsSince1970).margin(1e-3));
        REQUIRE(storage.setHearbeatDate(foundation::Date{now() - 86400}, "t"));
        CHECK(VEVHeartbeatInfo::updateIfNeededHeartbeatDateForTag("t"));
        CHECK(storage.heartbeatDateForTag("t")->secondsSince1970 > now() - 5);
    }
    SECTION("the global heartbeat alone") {
        REQUIRE(storage.setHearbeatDate(foundation::Date{now() - 90000}, "GLOBAL"));
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("vev-installations") == VEVHeartbeatInfoCodeGlobal);
    }
}

TEST_CASE("Heartbeat codes for fresh and old tags and for GLOBAL", "[heartbeat]") {
    testsupport::TempHome home;
    RULHeartbeatDateStorage storage(kVEVHeartbeatStorageName);
    using namespace std::chrono;
    double now = duration<double>(system_clock::now().time_since_epoch()).count();

    SECTION("an old tag (a day ago) with the global one recent, and the other way round") {
        REQUIRE(storage.setHearbeatDate({now - 86400}, "sdk"));
        REQUIRE(storage.setHearbeatDate({now - 10}, kVEVHeartbeatGlobalTag));
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("sdk") == VEVHeartbeatInfoCodeSDK);
        REQUIRE(storage.setHearbeatDate({now - 10}, "sdk"));
        REQUIRE(storage.setHearbeatDate({now - 86400}, kVEVHeartbeatGlobalTag));
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("sdk") == VEVHeartbeatInfoCodeGlobal);
    }
    SECTION("GLOBAL as the tag: its own update takes the day's mark") {
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag(kVEVHeartbeatGlobalTag) == VEVHeartbeatInfoCodeSDK);
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("sdk") == VEVHeartbeatInfoCodeSDK);
    }
    SECTION("a stored date that is not one (+inf) is no date: the heartbeat is due and now replaces it") {
        const foundation::Value never(foundation::Date{std::numeric_limits<double>::infinity()});
        REQUIRE(foundation::plist::writeFile(
            storage.filePath(),
            foundation::Value(foundation::Dictionary{{"sdk", never}, {kVEVHeartbeatGlobalTag, never}})));
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("sdk") == VEVHeartbeatInfoCodeCombined);
        REQUIRE(storage.heartbeatDateForTag("sdk"));
        CHECK(storage.heartbeatDateForTag("sdk")->secondsSince1970 == Approx(now).margin(60));
        CHECK(storage.heartbeatDateForTag(kVEVHeartbeatGlobalTag)->secondsSince1970 ==
              Approx(now).margin(60));
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("sdk") == VEVHeartbeatInfoCodeNone);
    }
    SECTION("dates that cannot be stored are never due") {
        std::filesystem::create_directories(storage.filePath() + "/blocked");
        CHECK(VEVHeartbeatInfo::heartbeatCodeForTag("sdk") == VEVHeartbeatInfoCodeNone);
    }
}
