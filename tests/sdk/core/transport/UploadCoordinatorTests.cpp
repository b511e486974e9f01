#include <catch2/catch.hpp>

#include "platform/foundation/Log.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"
#include "tests/sdk/core/transport/StorageRig.h"

using namespace transporttest;

namespace {

// A storage rig whose coordinator runs on a manual clock and whose network can be switched.
struct CoordinatorRig {
    ManualClock clock;
    StorageRig rig;
    RDTCORUploadCoordinator& coordinator() { return *rig.coordinator; }
    // Work hops between the coordinator's and the storage's queues: let a few rounds of it finish.
    void settle() {
        for (int round = 0; round < 3; ++round) {
            rig.coordinator->coordinationQueue()->drain();
            rig.storage->waitUntilPersisted();
        }
    }
    void advance(double seconds) {
        clock->advance(seconds);
        settle();
    }
    size_t uploads() { return rig.uploader->packages().size(); }
};

} // namespace

TEST_CASE("upload conditions follow the reachability flags", "[transport][coordinator]") {
    CoordinatorRig c;
    c.rig.flags = 2;
    CHECK(c.coordinator().uploadConditions() == RDTCORUploadConditionWifiData);
    c.rig.flags = 0x40002;
    CHECK(c.coordinator().uploadConditions() == RDTCORUploadConditionMobileData);
    c.rig.flags = 6;
    CHECK(c.coordinator().uploadConditions() == RDTCORUploadConditionNoNetwork);
    c.rig.flags = 0;
    CHECK(c.coordinator().uploadConditions() == RDTCORUploadConditionNoNetwork);
    CHECK(c.coordinator().storageForTarget(RDTCORTargetCCT) == c.rig.storage);
}

TEST_CASE("in the foreground the timer uploads at start and then every 30 seconds",
          "[transport][coordinator]") {
    CoordinatorRig c;
    c.coordinator().startTimer();
    c.settle();
    CHECK(c.rig.uploader->asked().size() ==
          3); // the first check runs at once, for each target with an uploader
    REQUIRE(c.rig.store(c.rig.event("later")).written);
    c.settle();
    CHECK(c.uploads() == 0); // tier 3 waits for the timer

    c.advance(29.9);
    CHECK(c.uploads() == 0);
    c.advance(0.1);
    REQUIRE(c.uploads() == 1);
    CHECK(c.rig.prioritizer->askedConditions().back() == RDTCORUploadConditionWifiData);

    SECTION("a target with a package in flight is skipped") {
        c.advance(30);
        CHECK(c.uploads() == 1);
        c.rig.uploader->packages()[0]->retryDeliveryInTheFuture();
        c.advance(30);
        CHECK(c.uploads() == 2); // the events are offered again
        CHECK(c.rig.storage->storedEvents().size() == 1);
    }
    SECTION("restarting the timer stops the old one") {
        c.rig.uploader->packages()[0]->completeDelivery();
        c.settle();
        c.coordinator().startTimer();
        c.coordinator().startTimer();
        c.settle();
        CHECK(c.coordinator().isTimerRunning());
        size_t asked = c.rig.uploader->asked().size();
        c.advance(30);
        CHECK(c.rig.uploader->asked().size() == asked + 3); // one timer's worth, not three
    }
    SECTION("background stops the timer, foreground starts it again, terminate stops it") {
        c.coordinator().appWillBackground(*c.rig.app);
        c.settle();
        CHECK_FALSE(c.coordinator().isTimerRunning());
        size_t asked = c.rig.uploader->asked().size();
        c.advance(120);
        CHECK(c.rig.uploader->asked().size() == asked);
        c.coordinator().appWillForeground(*c.rig.app);
        c.settle();
        CHECK(c.coordinator().isTimerRunning());
        CHECK(c.rig.uploader->asked().size() == asked + 2); // the target with a package in flight is skipped
        c.coordinator().appWillTerminate(*c.rig.app);
        CHECK_FALSE(c.coordinator().isTimerRunning());
    }
}

TEST_CASE("the timer skips its work while the app is in the background", "[transport][coordinator]") {
    ManualClock clock;
    auto center = std::make_shared<foundation::NotificationCenter>();
    auto app = RDTCORApplication::create(center);
    auto registrar = RDTCORRegistrar::create();
    auto uploader = std::make_shared<FakeUploader>();
    registrar->registerUploader(uploader, RDTCORTargetCCT);
    auto coordinator = RDTCORUploadCoordinator::create({registrar, app, [] { return 2u; }});
    center->post(foundation::kApplicationDidEnterBackgroundNotification);
    coordinator->startTimer();
    clock->advance(60);
    coordinator->coordinationQueue()->drain();
    CHECK(uploader->asked().empty());
    center->post(foundation::kApplicationWillEnterForegroundNotification);
    clock->advance(30);
    coordinator->coordinationQueue()->drain();
    CHECK(uploader->asked().size() == 1);
    coordinator->stopTimer();
}

TEST_CASE("without network nothing is uploaded, forced or not", "[transport][coordinator]") {
    CoordinatorRig c;
    c.rig.flags = 0;
    REQUIRE(c.rig.store(c.rig.event("urgent", RDTCORTargetCSH, RDTCOREventQoSFast)).written);
    c.coordinator().forceUploadForTarget(RDTCORTargetCCT);
    c.coordinator().startTimer();
    c.advance(90);
    CHECK(c.rig.uploader->asked().empty());
    CHECK(c.uploads() == 0);
    CHECK(c.rig.storage->storedEvents().size() == 1);

    SECTION("once the network is back the events go") {
        c.rig.flags = 0x40002;
        c.advance(30);
        REQUIRE(c.uploads() == 1);
        CHECK(c.rig.prioritizer->askedConditions().back() == RDTCORUploadConditionMobileData);
    }
}

TEST_CASE("a forced upload asks with the high-priority bit, once per target in flight",
          "[transport][coordinator]") {
    CoordinatorRig c;
    REQUIRE(c.rig.store(c.rig.event("a", RDTCORTargetCSH, RDTCOREventQoSFast)).written);
    REQUIRE(c.rig.store(c.rig.event("b", RDTCORTargetCSH, RDTCOREventQoSFast)).written);
    c.settle();
    REQUIRE(c.uploads() >= 1);
    CHECK(c.rig.uploader->asked().front() ==
          (RDTCORUploadConditionWifiData | RDTCORUploadConditionHighPriority));
    SECTION("an uploader that is not ready gets nothing") {
        auto first = c.rig.uploader->packages()[0];
        first->completeDelivery();
        c.settle();
        c.rig.uploader->setReady(false);
        size_t before = c.uploads();
        c.coordinator().forceUploadForTarget(RDTCORTargetCSH);
        c.settle();
        CHECK(c.uploads() == before);
    }
}

TEST_CASE("a forced target that came back while another package was out is asked again when it ends",
          "[transport][coordinator]") {
    CoordinatorRig c;
    REQUIRE(c.rig.store(c.rig.event("log", RDTCORTargetFLL)).written);
    c.coordinator().uploadTargets({RDTCORTargetFLL}, RDTCORUploadConditionWifiData);
    c.settle();
    REQUIRE(c.uploads() == 1);
    auto slow = c.rig.uploader->packages()[0];

    // A crash report forces its target; the uploader, busy with the other package, hands it back.
    REQUIRE(c.rig.store(c.rig.event("crash", RDTCORTargetCSH, RDTCOREventQoSFast)).written);
    c.settle();
    REQUIRE(c.uploads() == 2);
    c.rig.uploader->packages()[1]->retryDeliveryInTheFuture();
    c.settle();
    CHECK(c.uploads() == 2); // nothing further until the uploader is free

    SECTION("the other package ending, however it ends, brings the forced target's next try") {
        auto end = GENERATE(0, 1, 2);
        if (end == 0) slow->completeDelivery();
        if (end == 1) slow->retryDeliveryInTheFuture();
        if (end == 2) c.advance(RDTCORUploadPackage::kDeliverWithinMillis / 1000.0 + 5); // expired
        c.settle();
        REQUIRE(c.uploads() == 3);
        auto again = c.rig.uploader->packages()[2];
        CHECK(again->target() == RDTCORTargetCSH);
        CHECK(c.rig.uploader->asked().back() ==
              (RDTCORUploadConditionWifiData | RDTCORUploadConditionHighPriority));
        // Failing again on its own, it waits for the timer or the next forced upload: no loop.
        again->retryDeliveryInTheFuture();
        c.settle();
        CHECK(c.uploads() == 3);
    }
    SECTION("termination drops what is owed and uploads nothing more until the app comes back") {
        c.coordinator().appWillTerminate(*c.rig.app);
        slow->retryDeliveryInTheFuture();
        c.settle();
        CHECK(c.uploads() == 2);
        c.coordinator().forceUploadForTarget(RDTCORTargetCSH);
        c.settle();
        CHECK(c.uploads() == 2);
        c.coordinator().appWillForeground(*c.rig.app); // a new life: the timer checks at once
        c.settle();
        CHECK(c.uploads() > 2);
        c.coordinator().stopTimer();
    }
}

TEST_CASE("delivery removes the events, while retry and expiry keep them for a later upload",
          "[transport][coordinator][package]") {
    CoordinatorRig c;
    auto e1 = c.rig.event("one");
    auto e2 = c.rig.event("two");
    REQUIRE(c.rig.store(e1).written);
    REQUIRE(c.rig.store(e2).written);
    c.coordinator().uploadTargets({RDTCORTargetCCT}, RDTCORUploadConditionWifiData);
    c.settle();
    REQUIRE(c.uploads() == 1);
    auto package = c.rig.uploader->packages()[0];
    CHECK(package->events().size() == 2);
    CHECK(c.coordinator().targetToInFlightPackages().count(RDTCORTargetCCT) == 1);

    SECTION("successful delivery") {
        package->completeDelivery();
        c.settle();
        CHECK(c.coordinator().targetToInFlightPackages().empty());
        CHECK(c.rig.storage->storedEvents().empty());
        CHECK(c.rig.prioritizer->pending() == 0);
        CHECK(c.rig.prioritizer->delivered == 1);
    }
    SECTION("a retry frees the target and keeps everything") {
        package->retryDeliveryInTheFuture();
        c.settle();
        CHECK(c.coordinator().targetToInFlightPackages().empty());
        CHECK(c.rig.storage->storedEvents().size() == 2);
        CHECK(c.rig.prioritizer->pending() == 2);
        SECTION("a later delivery of the same package does not reach the handler again") {
            package->completeDelivery();
            c.settle();
            CHECK(c.rig.prioritizer->delivered == 0);
            CHECK(c.rig.storage->storedEvents().size() == 2);
        }
    }
    SECTION("a package not answered within 180 s expires on its timer within the next 5 s check") {
        c.advance(179);
        CHECK_FALSE(package->isHandled());
        c.advance(6);
        CHECK(package->isHandled());
        CHECK_FALSE(package->isExpiryTimerRunning());
        CHECK(c.coordinator().targetToInFlightPackages().empty());
        CHECK(c.rig.uploader->expired == 1);
        // The events were not delivered: they stay stored and are offered again.
        CHECK(c.rig.storage->storedEvents().size() == 2);
        CHECK(c.rig.prioritizer->pending() == 2);
        c.coordinator().uploadTargets({RDTCORTargetCCT}, RDTCORUploadConditionWifiData);
        c.settle();
        REQUIRE(c.uploads() == 2);
        CHECK(c.rig.uploader->packages()[1]->events().size() == 2);
        SECTION("a late answer about the expired package cannot free the new one's slot") {
            package->completeDelivery(); // already handled: nothing
            c.settle();
            c.coordinator().packageDelivered(package->copy(), false); // a stale word about it
            c.settle();
            CHECK(c.coordinator().targetToInFlightPackages().count(RDTCORTargetCCT) == 1);
        }
    }
    SECTION("a second completeDelivery is logged as misuse and reaches the handler once") {
        foundation::LogCapture log;
        package->completeDelivery();
        package->completeDelivery();
        c.settle();
        CHECK(log.contains("[I-RDTCOR001004] It's an API violation to call -completeDelivery twice."));
        CHECK(c.rig.prioritizer->delivered == 1);
    }
    SECTION("a prioritizer missing at delivery is logged") {
        foundation::LogCapture log;
        c.rig.registrar->registerPrioritizer(nullptr, RDTCORTargetCCT);
        package->completeDelivery();
        c.settle();
        CHECK(log.contains("[I-RDTCOR001003] A prioritizer should be registered for this target: 1000"));
        CHECK(c.rig.storage->storedEvents().empty());
    }
}

TEST_CASE("an empty package is completed at once and nothing goes in flight",
          "[transport][coordinator][package]") {
    CoordinatorRig c;
    c.coordinator().uploadTargets({RDTCORTargetFLL}, RDTCORUploadConditionWifiData);
    c.settle();
    CHECK(c.uploads() == 0);
    CHECK(c.rig.prioritizer->delivered == 1);
    CHECK(c.coordinator().targetToInFlightPackages().empty());
}

TEST_CASE("upload packages: copies, equality and their archive", "[transport][package]") {
    ManualClock clock;
    auto p = RDTCORUploadPackage::initWithTarget(RDTCORTargetFLL, nullptr,
                                                 std::weak_ptr<RDTCORUploadPackageProtocol>());
    p->setEvents({makeEvent(1), makeEvent(2)});
    CHECK(p->deliverByTime().timeMillis() == RDTCORClock::snapshot().timeMillis() + 180000);
    CHECK(p->isExpiryTimerRunning());

    auto c = p->copy();
    CHECK(*c == *p);
    CHECK(c->hash() == p->hash());
    CHECK(c->packageID() == p->packageID());
    CHECK(c->deliverByTime() == p->deliverByTime());
    CHECK(c->isExpiryTimerRunning());
    c->setEvents({makeEvent(1)});
    CHECK_FALSE(*c == *p);

    SECTION("a package nobody keeps takes its timer with it") {
        size_t timers = clock->liveTimers();
        p.reset();
        CHECK(clock->liveTimers() == timers - 1);
    }
    SECTION("archive round trip") {
        auto back = RDTCORUploadPackage::decode(p->encodeToArchive(), nullptr,
                                                std::weak_ptr<RDTCORUploadPackageProtocol>());
        REQUIRE(back);
        CHECK(back->target() == RDTCORTargetFLL);
        CHECK(*back == *p);
        CHECK(back->deliverByTime() == p->deliverByTime());
        CHECK_FALSE(back->isHandled());
    }
}

TEST_CASE("the coordinator's in-flight table goes into the storage's archive",
          "[transport][coordinator][archive]") {
    CoordinatorRig c;
    SECTION("with no package in flight the table comes back empty") {
        auto v = c.coordinator().encodeToArchive();
        CHECK(v["RDTCORUploadCoordinatortargetToInFlightPackages"].isNull());
        c.coordinator().decodeFromArchive(v, nullptr);
        CHECK(c.coordinator().targetToInFlightPackages().empty());
    }
    SECTION("a package in flight comes back with the events still stored") {
        auto e1 = c.rig.event("one");
        REQUIRE(c.rig.store(e1).written);
        c.coordinator().uploadTargets({RDTCORTargetCCT}, RDTCORUploadConditionWifiData);
        c.settle();
        REQUIRE(c.uploads() == 1);
        c.rig.storage->appWillTerminate(*c.rig.app);
        c.rig.relaunch();
        auto table = c.coordinator().targetToInFlightPackages();
        REQUIRE(table.count(RDTCORTargetCCT) == 1);
        CHECK(table[RDTCORTargetCCT]->events().size() == 1);
        // Nobody will answer for it in this run: it expires and the events are offered again.
        c.advance(190);
        CHECK(c.coordinator().targetToInFlightPackages().empty());
        CHECK(c.rig.prioritizer->pending() == 1);
    }
    SECTION("an archived package already handled, or one for a target busy now, is not restored") {
        auto e1 = c.rig.event("one");
        auto e2 = c.rig.event("two", RDTCORTargetFLL);
        REQUIRE(c.rig.store(e1).written);
        REQUIRE(c.rig.store(e2).written);
        auto handled = RDTCORUploadPackage::initWithTarget(RDTCORTargetCCT, c.rig.storage, c.rig.coordinator);
        handled->setEvents({e1});
        auto other = RDTCORUploadPackage::initWithTarget(RDTCORTargetFLL, c.rig.storage, c.rig.coordinator);
        other->setEvents({e2});
        auto archivedOther = other->encodeToArchive();
        handled->retryDeliveryInTheFuture(); // handled: its outcome was told already
        c.settle();
        foundation::Value archive(
            foundation::Dictionary{{"$class", "RDTCORUploadCoordinator"},
                                   {"RDTCORUploadCoordinatortargetToInFlightPackages",
                                    foundation::Value(foundation::Dictionary{
                                        {"1000", handled->encodeToArchive()}, {"1001", archivedOther}})}});
        // Target 1001 has a package of this run in flight.
        c.coordinator().uploadTargets({RDTCORTargetFLL}, RDTCORUploadConditionWifiData);
        c.settle();
        REQUIRE(c.uploads() == 1);
        auto live = c.rig.uploader->packages()[0];
        c.coordinator().decodeFromArchive(archive, nullptr);
        auto table = c.coordinator().targetToInFlightPackages();
        CHECK(table.count(RDTCORTargetCCT) == 0); // would otherwise hold the target for good
        REQUIRE(table.count(RDTCORTargetFLL) == 1);
        CHECK(table[RDTCORTargetFLL]->packageID() == live->packageID());
        live->completeDelivery();
        c.settle();
        CHECK(c.coordinator().targetToInFlightPackages().empty());
    }
}
