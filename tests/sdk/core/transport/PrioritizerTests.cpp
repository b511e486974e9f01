// The CCT prioritizer: what each package holds under each condition, how deliveries end events, and
// how its archive is merged back.
#include <catch2/catch.hpp>

#include <filesystem>
#include <fstream>

#include "sdk/core/transport/RDTCCTPrioritizer.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"
#include "tests/sdk/core/transport/UploadRig.h"

using namespace transporttest;

namespace {

struct PrioritizerRig {
    ManualClock clock;
    TempDir dir;
    std::shared_ptr<RDTCCTPrioritizer> prioritizer =
        RDTCCTPrioritizer::create({dir.path, nullptr, {}, wifiRecord});

    // An event whose payload file exists, as the storage would offer it.
    std::shared_ptr<RDTCOREvent> offer(uint64_t id, RDTCORTarget target = RDTCORTargetFLL,
                                       RDTCOREventQoS tier = RDTCOREventQoSDefault) {
        auto e = makeEvent(id, "payload " + std::to_string(id), target, tier);
        foundation::ErrorPtr error;
        REQUIRE(e->writeToRDTPath(e->payloadFileName(), &error, dir.path));
        prioritizer->prioritizeEvent(e);
        prioritizer->queue()->drain();
        return e;
    }
    std::set<uint64_t> package(RDTCORTarget target, RDTCORUploadConditions conditions) {
        std::set<uint64_t> ids;
        for (const auto& e : prioritizer->uploadPackageWithTarget(target, conditions)->events())
            ids.insert(*e->eventID());
        return ids;
    }
    std::set<uint64_t> pending(RDTCORTarget target) {
        std::set<uint64_t> ids;
        auto events = prioritizer->eventsForTarget(target);
        for (const auto& e : events.value())
            ids.insert(*e->eventID());
        return ids;
    }
    std::shared_ptr<RDTCORUploadPackage> packageOf(std::set<uint64_t> ids, RDTCORTarget target) {
        auto p = RDTCORUploadPackage::initWithTarget(target, nullptr, {});
        RDTCOREventSet events;
        for (uint64_t id : ids)
            events.insert(makeEvent(id, "", target));
        p->setEvents(events);
        return p;
    }
};

constexpr RDTCORUploadConditions kWifi = RDTCORUploadConditionWifiData;
constexpr RDTCORUploadConditions kMobile = RDTCORUploadConditionMobileData;
constexpr RDTCORUploadConditions kNone = RDTCORUploadConditionNoNetwork;
constexpr RDTCORUploadConditions kForced = RDTCORUploadConditionHighPriority;

} // namespace

TEST_CASE("packages follow the network conditions and the tiers", "[transport][prioritizer]") {
    PrioritizerRig r;
    r.offer(1, RDTCORTargetFLL, RDTCOREventQoSTelemetry);
    r.offer(2, RDTCORTargetFLL, RDTCOREventQoSWifiOnly);
    r.offer(3, RDTCORTargetFLL, RDTCOREventQoSFast);
    r.offer(4, RDTCORTargetFLL, RDTCOREventQoSDefault);

    SECTION("wifi takes every tier") {
        CHECK(r.package(RDTCORTargetFLL, kWifi) == std::set<uint64_t>{1, 2, 3, 4});
    }
    SECTION("mobile: telemetry at the first request, then only once a day has passed") {
        CHECK(r.package(RDTCORTargetFLL, kMobile) == std::set<uint64_t>{1, 3, 4});
        CHECK(r.package(RDTCORTargetFLL, kMobile) == std::set<uint64_t>{3, 4});
        r.clock->advance(86400.0);
        CHECK(r.package(RDTCORTargetFLL, kMobile) == std::set<uint64_t>{3, 4}); // exactly a day is not more
        r.clock->advance(0.01);
        CHECK(r.package(RDTCORTargetFLL, kMobile) == std::set<uint64_t>{1, 3, 4});
        CHECK(r.package(RDTCORTargetFLL, kMobile) == std::set<uint64_t>{1, 3, 4}); // the reference stays
    }
    SECTION("a wifi-only event never goes out on mobile data unless forced") {
        CHECK(r.package(RDTCORTargetFLL, kMobile).count(2) == 0);
        CHECK(r.package(RDTCORTargetFLL, kNone).count(2) == 0);
        CHECK(r.package(RDTCORTargetFLL, kMobile | kForced) == std::set<uint64_t>{1, 2, 3, 4});
    }
    SECTION("choosing changes nothing held") {
        r.package(RDTCORTargetFLL, kWifi);
        CHECK(r.pending(RDTCORTargetFLL) == std::set<uint64_t>{1, 2, 3, 4});
    }
    SECTION("targets keep their own sets and daily references") {
        r.offer(10, RDTCORTargetCCT, RDTCOREventQoSTelemetry);
        r.offer(20, RDTCORTargetCSH, RDTCOREventQoSWifiOnly);
        CHECK(r.package(RDTCORTargetFLL, kMobile) == std::set<uint64_t>{1, 3, 4});
        CHECK(r.package(RDTCORTargetCCT, kMobile) == std::set<uint64_t>{10}); // its own first request
        CHECK(r.package(RDTCORTargetCSH, kNone) == std::set<uint64_t>{20});   // target 1002: always all
        CHECK(r.package(999, kWifi).empty());
        CHECK_FALSE(r.prioritizer->eventsForTarget(999));
    }
}

TEST_CASE("network info is added to events that ask for it", "[transport][prioritizer]") {
    PrioritizerRig r;
    auto asks = makeEvent(1, "p", RDTCORTargetCCT);
    asks->setNeedsNetworkConnectionInfoPopulated(true);
    auto plain = makeEvent(2, "p", RDTCORTargetCCT);
    r.prioritizer->prioritizeEvent(asks);
    r.prioritizer->prioritizeEvent(plain);
    CHECK(asks->networkConnectionInfoData() == std::optional<foundation::Data>(wifiRecord())); // at once
    CHECK_FALSE(plain->networkConnectionInfoData());
}

TEST_CASE("events are held by ID: offering one again changes nothing", "[transport][prioritizer]") {
    PrioritizerRig r;
    auto first = r.offer(1, RDTCORTargetCCT);
    first->setEventCode(5);
    r.prioritizer->prioritizeEvent(first->copy());                          // the storage's offer at load
    r.prioritizer->prioritizeEvent(makeEvent(1, "other", RDTCORTargetCCT)); // an expired package's
    r.prioritizer->queue()->drain();
    auto held = *r.prioritizer->eventsForTarget(RDTCORTargetCCT);
    REQUIRE(held.size() == 1);
    CHECK(*held.begin() == first);
    r.prioritizer->prioritizeEvent(makeEvent(7, "elsewhere", 4242)); // a target it does not serve
    auto noID = std::make_shared<RDTCOREvent>("137", RDTCORTargetCCT);
    r.prioritizer->prioritizeEvent(noID);
    r.prioritizer->queue()->drain();
    CHECK(r.pending(RDTCORTargetCCT) == std::set<uint64_t>{1});
}

TEST_CASE("only a successful delivery ends events", "[transport][prioritizer]") {
    PrioritizerRig r;
    r.offer(1, RDTCORTargetCCT);
    r.offer(2, RDTCORTargetCCT);
    r.offer(3, RDTCORTargetCSH);
    SECTION("a failed delivery leaves them for the next package") {
        r.prioritizer->packageDelivered(r.packageOf({1, 2}, RDTCORTargetCCT), false);
        r.prioritizer->queue()->drain();
        CHECK(r.package(RDTCORTargetCCT, kWifi) == std::set<uint64_t>{1, 2});
    }
    SECTION("an expired package was not delivered: its events stay") {
        r.prioritizer->packageExpired(r.packageOf({1, 2}, RDTCORTargetCCT));
        r.prioritizer->queue()->drain();
        CHECK(r.package(RDTCORTargetCCT, kWifi) == std::set<uint64_t>{1, 2});
    }
    SECTION("a delivered package's events leave every set") {
        r.prioritizer->packageDelivered(r.packageOf({1, 3}, RDTCORTargetCCT), true);
        r.prioritizer->queue()->drain();
        CHECK(r.pending(RDTCORTargetCCT) == std::set<uint64_t>{2});
        CHECK(r.pending(RDTCORTargetCSH).empty());
    }
}

TEST_CASE("the archive is merged back by event ID", "[transport][prioritizer][archive]") {
    PrioritizerRig r;
    r.offer(1, RDTCORTargetCCT);
    r.offer(2, RDTCORTargetFLL, RDTCOREventQoSTelemetry);
    r.offer(3, RDTCORTargetCSH);
    auto app = RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
    r.prioritizer->appWillBackground(*app);
    r.prioritizer->queue()->drain();
    CHECK(app->openBackgroundTaskCount() == 0);

    SECTION("a new launch with foreground holds the archived events") {
        auto next = RDTCCTPrioritizer::create({r.dir.path, nullptr, {}, wifiRecord});
        next->appWillForeground(*app);
        next->queue()->drain();
        CHECK(next->eventsForTarget(RDTCORTargetCCT)->size() == 1);
        auto fll = *next->eventsForTarget(RDTCORTargetFLL);
        REQUIRE(fll.size() == 1);
        CHECK((*fll.begin())->qosTier() == RDTCOREventQoSTelemetry);
        CHECK(next->eventsForTarget(RDTCORTargetCSH)->size() == 1);
    }
    SECTION("events that came after the archive are kept; delivered ones do not come back") {
        r.offer(4, RDTCORTargetCCT);
        r.prioritizer->packageDelivered(r.packageOf({1}, RDTCORTargetCCT), true); // its file still waits
        r.prioritizer->queue()->drain();
        r.prioritizer->appWillForeground(*app);
        r.prioritizer->queue()->drain();
        CHECK(r.pending(RDTCORTargetCCT) == std::set<uint64_t>{4});
    }
    SECTION("archived events whose payload file is gone are skipped") {
        auto next = RDTCCTPrioritizer::create({r.dir.path, nullptr, {}, wifiRecord});
        std::filesystem::remove(r.dir.path + "/event-2");
        std::filesystem::remove(r.dir.path + "/event-3");
        std::filesystem::create_directory(r.dir.path + "/event-3"); // not a file either
        next->appWillForeground(*app);
        next->queue()->drain();
        CHECK(next->eventsForTarget(RDTCORTargetCCT)->size() == 1);
        CHECK(next->eventsForTarget(RDTCORTargetFLL)->empty());
        CHECK(next->eventsForTarget(RDTCORTargetCSH)->empty());
    }
    SECTION("a payload path that leaves the folder is not accepted") {
        auto sneaky = makeEvent(9, "p", RDTCORTargetCCT);
        sneaky->setRDTFilePath("../outside");
        std::ofstream(r.dir.path + "/../outside") << "x";
        auto bytes =
            RDTCOREncodeArchiveValue(foundation::Value(foundation::Dictionary{
                                         {kRDTCORArchiveClassKey, "RDTCCTPrioritizer"},
                                         {"RDTCCTUploaderCCTEventsKey",
                                          RDTCORArchiveSet({sneaky->encodeToArchive()}, "NSMutableSet")}}),
                                     "");
        REQUIRE(bytes);
        auto next = RDTCCTPrioritizer::create({r.dir.path, nullptr, {}, wifiRecord});
        foundation::ErrorPtr error;
        CHECK(next->readArchive(&*bytes, &error));
        CHECK(next->eventsForTarget(RDTCORTargetCCT)->empty());
        std::filesystem::remove(r.dir.path + "/../outside");
    }
    SECTION("damaged archives are refused and change nothing") {
        auto bytes = foundation::readFile(r.prioritizer->archivePath());
        REQUIRE(bytes);
        (*bytes)[bytes->size() / 2] ^= 0x40;
        foundation::ErrorPtr error;
        CHECK_FALSE(r.prioritizer->readArchive(&*bytes, &error));
        CHECK(error);
        CHECK(r.pending(RDTCORTargetCCT) == std::set<uint64_t>{1});
    }
    SECTION("saveState and termination write the archive") {
        std::filesystem::remove(r.prioritizer->archivePath());
        r.prioritizer->saveState();
        CHECK(std::filesystem::exists(r.prioritizer->archivePath()));
        std::filesystem::remove(r.prioritizer->archivePath());
        r.prioritizer->appWillTerminate(*app);
        CHECK(std::filesystem::exists(r.prioritizer->archivePath()));
    }
}
