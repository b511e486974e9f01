#include <catch2/catch.hpp>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <sys/stat.h>
#include <thread>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORClock.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "tests/sdk/core/transport/TransportFakes.h"
#include "tests/support/TestHome.h"

using namespace transporttest;
using foundation::Dictionary;
using foundation::Value;

TEST_CASE("clock snapshots order moments within and across boots", "[transport][clock]") {
    ManualClock clock;
    auto earlier = RDTCORClock::snapshot();
    clock->advance(1.5);
    auto later = RDTCORClock::snapshot();

    CHECK(later.timeMillis() - earlier.timeMillis() == 1500);
    CHECK(later.kernelBootTime() == earlier.kernelBootTime());
    CHECK(later.uptime() - earlier.uptime() == 1500000);
    CHECK(later.timezoneOffsetSeconds() == RDTCORTimezoneOffsetAtReferenceDate());
    CHECK(later.isAfter(earlier));
    CHECK_FALSE(earlier.isAfter(later));
    CHECK_FALSE(later.isAfter(later));

    SECTION("a snapshot in the future is later by exactly the given milliseconds") {
        auto future = RDTCORClock::clockSnapshotInTheFuture(180000);
        CHECK(future.timeMillis() == later.timeMillis() + 180000);
        CHECK(future.isAfter(later));
    }
    SECTION("any moment of a later boot is after any moment of an earlier boot") {
        clock->setBootTime(clock->bootTimeMicros() + 60000000);
        clock->advance(-3600); // the wall clock was set back, yet the boot is later
        auto nextBoot = RDTCORClock::snapshot();
        CHECK(nextBoot.isAfter(later));
        CHECK_FALSE(later.isAfter(nextBoot));
    }
    SECTION("archive keys round-trip all four values") {
        auto back = RDTCORClock::decode(later.encodeToArchive());
        REQUIRE(back);
        CHECK(*back == later);
        CHECK(back->hash() == later.hash());
        CHECK(later.encodeToArchive()["RDTCORClockTimeMillis"].intValue() == later.timeMillis());
        CHECK_FALSE(RDTCORClock::decode(Value("nope")));
    }
}

TEST_CASE("the system clock keeps one boot time within a boot", "[transport][clock]") {
    auto a = RDTCORClock::snapshot();
    auto b = RDTCORClock::snapshot();
    CHECK(a.kernelBootTime() > 0);
    CHECK(a.kernelBootTime() == b.kernelBootTime());
    CHECK(b.timeMillis() >= a.timeMillis());
    CHECK(a.uptime() > 0);
}

TEST_CASE("events: creation, copies, identity and payload files", "[transport][event]") {
    TempDir dir;
    SECTION("an empty mapping ID or a target below 1 gives no event") {
        CHECK_FALSE(RDTCOREvent::initWithMappingID("", 1001));
        CHECK_FALSE(RDTCOREvent::initWithMappingID("137", 0));
        auto e = RDTCOREvent::initWithMappingID("137", 1001);
        REQUIRE(e);
        CHECK(e->qosTier() == RDTCOREventQoSDefault);
        CHECK(e->eventID().has_value());
    }
    SECTION("two events in a row get consecutive IDs") {
        auto a = RDTCOREvent::initWithMappingID("137", 1001);
        auto b = RDTCOREvent::initWithMappingID("137", 1001);
        CHECK(*b->eventID() == *a->eventID() + 1);
    }
    SECTION("a copy carries every field and is the same event; other IDs are other events") {
        auto e = makeEvent(42);
        e->setClockSnapshot(RDTCORClock(1, 2, 3, 4));
        e->setCustomBytes(foundation::Data{9, 8});
        e->setQosTier(4);
        auto c = e->copy();
        CHECK(c.get() != e.get());
        CHECK(*c == *e);
        CHECK(c->hash() == e->hash());
        CHECK(c->mappingID() == "137");
        CHECK(c->dataObject() == e->dataObject());
        CHECK(c->clockSnapshot() == e->clockSnapshot());
        CHECK(c->customBytes() == e->customBytes());
        CHECK(c->qosTier() == 4);
        auto other = makeEvent(43);
        other->setClockSnapshot(e->clockSnapshot());
        CHECK_FALSE(*other == *e);
    }
    SECTION("the payload file is named by the event's ID") {
        auto e = makeEvent(7, "hello");
        foundation::ErrorPtr error;
        REQUIRE(e->writeToRDTPath(e->payloadFileName(), &error, dir.path));
        CHECK_FALSE(error);
        CHECK(e->RDTFilePath() == std::optional<std::string>("event-7"));
        CHECK(e->fileURL() == RDTCORRootDirectory() + "/event-7");
        CHECK(foundation::readTextFile(e->fileURL(dir.path)) == std::optional<std::string>("hello"));
        CHECK_FALSE(e->dataObject()); // released once written
        auto unwritten = makeEvent(8);
        CHECK(unwritten->fileURL() == RDTCORRootDirectory() + "/event-8");
    }
    SECTION("an empty payload or none at all is refused with an error and writes nothing") {
        auto e = makeEvent(9, "");
        foundation::ErrorPtr error;
        CHECK_FALSE(e->writeToRDTPath("event-9", &error, dir.path));
        CHECK(error);
        CHECK_FALSE(e->RDTFilePath());
        CHECK_FALSE(foundation::fileExists(dir.path + "/event-9"));
        auto none = std::make_shared<RDTCOREvent>("137", 1001);
        error.reset();
        CHECK_FALSE(none->writeToRDTPath("event-10", &error, dir.path));
        CHECK(error);
    }
    SECTION("a failed write reports its error and a warning") {
        foundation::LogCapture log;
        auto e = makeEvent(11);
        foundation::ErrorPtr error;
        std::filesystem::create_directories(dir.path + "/event-11"); // a folder where the file goes
        CHECK_FALSE(e->writeToRDTPath("event-11", &error, dir.path));
        CHECK(error);
        CHECK(log.contains("[RuvaraDataTransport][I-RDTCOR001002] An event file could not be written:"));
    }
}

TEST_CASE("events archive in the current and the older formats", "[transport][event][archive]") {
    uint64_t fresh = 1000;
    auto newID = [&] { return fresh++; };

    SECTION("current format round-trips every field") {
        auto e = makeEvent(5);
        e->setClockSnapshot(RDTCORClock(10, 20, 30, 40));
        e->setCustomBytes(foundation::Data{1, 2, 3});
        e->setRDTFilePath("event-5");
        e->setQosTier(4);
        Value v = e->encodeToArchive();
        CHECK(v["_eventID"].intValue() == 5);
        CHECK(v["_mappingID"] == Value("137"));
        CHECK(v["_RDTFilePath"] == Value("event-5"));
        auto back = RDTCOREvent::decode(v, newID);
        REQUIRE(back);
        CHECK(*back->eventID() == 5);
        CHECK(back->target() == RDTCORTargetCCT);
        CHECK(back->qosTier() == 4);
        CHECK(back->clockSnapshot() == e->clockSnapshot());
        CHECK(back->customBytes() == e->customBytes());
        CHECK(back->RDTFilePath() == e->RDTFilePath());
    }
    SECTION("an older file URL gives its last path component; a missing ID gets a new one") {
        Value v(Dictionary{{"$class", "RDTCOREvent"},
                           {"_mappingID", "1206"},
                           {"_target", 1002},
                           {"_qosTier", 4},
                           {"_fileURL", RDTCORArchiveFileURL("/old/place/event-123456")}});
        auto back = RDTCOREvent::decode(v, newID);
        REQUIRE(back);
        CHECK(back->RDTFilePath() == std::optional<std::string>("event-123456"));
        CHECK(*back->eventID() == 1000);
    }
    SECTION("the older stored-event format, also under its old class name") {
        RDTCORArchiveSetClassName("RDTCORStoredEvent", "RDTCOREvent");
        Value future(Dictionary{{"$class", "RDTCORDataFuture"},
                                {"RDTCORDataFutureFileURLKey", RDTCORArchiveFileURL("/x/event-77")}});
        Value v(Dictionary{{"$class", "RDTCORStoredEvent"},
                           {"RDTCORStoredEventDataFutureKey", future},
                           {"RDTCORStoredEventMappingIDKey", "137"},
                           {"RDTCORStoredEventTargetKey", 1001},
                           {"_eventID", 77},
                           {"RDTCORStoredEventQosTierKey", 1},
                           {"RDTCORStoredEventClockSnapshotKey", RDTCORClock(5, 6, 7, 8).encodeToArchive()},
                           {"RDTCOREventCustomDataKey", foundation::Data{4}}});
        auto back = RDTCOREvent::decode(v, newID);
        REQUIRE(back);
        CHECK(*back->eventID() == 77);
        CHECK(back->mappingID() == "137");
        CHECK(back->target() == 1001);
        CHECK(back->qosTier() == 1);
        CHECK(back->clockSnapshot() == RDTCORClock(5, 6, 7, 8));
        CHECK(back->RDTFilePath() == std::optional<std::string>("event-77"));
        CHECK(back->customBytes() == foundation::Data{4});
    }
    SECTION("things that are not events are refused with a reason") {
        std::string why;
        CHECK_FALSE(
            RDTCOREvent::decode(Value(Dictionary{{"$class", "RDTCOREvent"}, {"_target", 1}}), newID, &why));
        CHECK(why == "no mapping ID");
        CHECK_FALSE(RDTCOREvent::decode(
            Value(Dictionary{{"$class", "RDTCOREvent"}, {"_mappingID", "1"}, {"_target", 0}}), newID, &why));
        CHECK_FALSE(RDTCOREvent::decode(Value(Dictionary{{"$class", "Other"}}), newID));
        CHECK_FALSE(RDTCOREvent::decode(Value(42), newID));
    }
    SECTION("only plain event file names are taken as payload files") {
        CHECK(RDTCORIsSafePayloadFileName("event-12"));
        for (auto bad : {"", "event-", "../event-1", "event-1/../../x", "count",
                         "RDTCORFlatFileStorageArchive", "event-..", "/etc/passwd"})
            CHECK_FALSE(RDTCORIsSafePayloadFileName(bad));
    }
}

TEST_CASE("the event-ID counter persists and never restarts below a stored ID",
          "[transport][event][counter]") {
    TempDir dir;
    std::string root = dir.path + "/events";
    {
        transport::EventIDCounter counter(root);
        CHECK(counter.next() == 0);
        CHECK(counter.next() == 1);
        CHECK(counter.next() == 2);
        CHECK(foundation::readTextFile(root + "/count") == std::optional<std::string>("3"));
    }
    SECTION("after a restart the first new ID follows the last issued one") {
        transport::EventIDCounter counter(root);
        CHECK(counter.next() == 3);
    }
    SECTION("a lost count file does not bring back IDs that name payload files") {
        std::filesystem::remove(root + "/count");
        foundation::writeFileAtomically(root + "/event-41", std::string("x"));
        transport::EventIDCounter counter(root);
        CHECK(counter.next() == 42);
    }
    SECTION("a damaged count file is logged and IDs continue above the stored ones") {
        foundation::LogCapture log;
        foundation::writeFileAtomically(root + "/count", std::string("\x01garbage"));
        foundation::writeFileAtomically(root + "/event-9", std::string("x"));
        transport::EventIDCounter counter(root);
        CHECK(counter.next() == 10);
        CHECK(log.contains("I-RDTCOR001007] The event ID counter"));
        counter.ensureAbove(500);
        CHECK(counter.next() == 501);
        counter.ensureAbove(3); // never moves back
        CHECK(counter.next() == 502);
    }
    SECTION("foreign names and absurd numbers are not taken as event IDs") {
        uint64_t id;
        CHECK(transport::parseEventFileName("event-5", id));
        CHECK(id == 5);
        CHECK_FALSE(transport::parseEventFileName("event-5x", id));
        CHECK_FALSE(transport::parseEventFileName("event-18446744073709551615", id));
        CHECK_FALSE(transport::parseEventFileName("count", id));
    }
}

TEST_CASE("the count file is replaced whole, so a reader never sees part of it",
          "[transport][event][counter]") {
    TempDir dir;
    std::string root = dir.path + "/events";
    auto counter = std::make_unique<transport::EventIDCounter>(root);
    CHECK(counter->next() == 0);
    const std::string path = root + "/count";

    SECTION("a reader holding the old file keeps the whole old number; the name gets the new one") {
        struct stat before;
        REQUIRE(::stat(path.c_str(), &before) == 0);
        FILE* old = std::fopen(path.c_str(), "re");
        REQUIRE(old);
        CHECK(counter->next() == 1);
        char text[32] = {};
        size_t n = std::fread(text, 1, sizeof text - 1, old);
        std::fclose(old);
        CHECK(std::string(text, n) == "1");
        CHECK(foundation::readTextFile(path) == std::optional<std::string>("2"));
        struct stat after;
        REQUIRE(::stat(path.c_str(), &after) == 0);
        CHECK(after.st_ino != before.st_ino);
    }
    SECTION("while IDs are handed out, every read finds a whole number that only grows") {
        std::atomic<bool> done{false};
        std::vector<std::string> bad;
        std::thread reader([&] {
            uint64_t last = 0;
            while (!done) {
                auto text = foundation::readTextFile(path).value_or("(missing)");
                uint64_t v = 0;
                bool whole = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
                if (whole) v = std::stoull(text);
                if (!whole || v < last) bad.push_back(text);
                last = std::max(last, v);
            }
        });
        for (int i = 0; i < 3000; ++i)
            counter->next();
        done = true;
        reader.join();
        CHECK(bad.empty());
        CHECK(foundation::readTextFile(path) == std::optional<std::string>("3001"));
    }
    // Only the count file itself is left: no temporary stays behind.
    counter.reset();
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(root))
        files += e.path().filename() != "count";
    CHECK(files == 0);
}
