#include <catch2/catch.hpp>

#include <filesystem>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <utility>

#include "platform/foundation/Log.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "tests/sdk/core/transport/StorageRig.h"

using namespace transporttest;
using foundation::Dictionary;
using foundation::Value;
namespace fs = std::filesystem;

namespace {
std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file()) names.insert(e.path().filename().string());
    return names;
}
} // namespace

TEST_CASE("stored events are payload files plus archive entries that outlive the process",
          "[transport][storage]") {
    StorageRig rig;
    auto a = rig.event("first", RDTCORTargetCCT);
    auto b = rig.event("second", RDTCORTargetFLL);
    auto c = rig.event("third", RDTCORTargetFLL);
    for (auto& e : {a, b, c}) {
        auto out = rig.store(e);
        CHECK(out.written);
        CHECK_FALSE(out.error);
    }
    CHECK(rig.read(*a->eventID()) == std::optional<std::string>("first"));
    CHECK(rig.read(*c->eventID()) == std::optional<std::string>("third"));
    CHECK(rig.storage->storedEvents().size() == 3);
    auto byTarget = rig.storage->targetToEventSet();
    CHECK(byTarget[RDTCORTargetCCT].size() == 1);
    CHECK(byTarget[RDTCORTargetFLL].size() == 2);
    CHECK(rig.prioritizer->pending() == 3);
    CHECK(rig.prioritizer->saves == 3); // a completion was given each time
    CHECK(rig.app->openBackgroundTaskCount() == 0);
    // Each reported store is already on disk, with no life-cycle notification.
    CHECK(persistedIDs(rig.root) == std::set<uint64_t>{*a->eventID(), *b->eventID(), *c->eventID()});

    SECTION("a new process sees them without any life-cycle notification and offers them for upload") {
        uint64_t lastID = *c->eventID();
        rig.relaunch();
        auto stored = rig.storage->storedEvents();
        REQUIRE(stored.size() == 3);
        CHECK(stored.at(*b->eventID())->RDTFilePath() == std::optional<std::string>(b->payloadFileName()));
        CHECK(stored.at(*b->eventID())->clockSnapshot() == b->clockSnapshot());
        CHECK(rig.storage->targetToEventSet()[RDTCORTargetFLL].size() == 2);
        CHECK(rig.prioritizer->pending() == 3);
        CHECK(rig.counter->next() > lastID);

        rig.coordinator->uploadTargets({RDTCORTargetFLL}, RDTCORUploadConditionWifiData);
        rig.coordinator->coordinationQueue()->drain();
        auto packages = rig.uploader->packages();
        REQUIRE(packages.size() == 1);
        CHECK(packages[0]->events().size() == 2);
        packages[0]->completeDelivery();
        rig.coordinator->coordinationQueue()->drain();
        rig.storage->waitUntilPersisted();
        CHECK(rig.storage->storedEvents().size() == 1);
        CHECK_FALSE(fs::exists(rig.file(*b->eventID())));
        rig.relaunch();
        CHECK(rig.storage->storedEvents().size() == 1); // delivered ones stay gone
    }
    SECTION("removal deletes files and entries; unknown IDs change nothing") {
        rig.storage->removeEvents({*a->eventID(), *b->eventID(), 987654});
        rig.storage->waitUntilPersisted();
        CHECK(persistedIDs(rig.root) == std::set<uint64_t>{*c->eventID()}); // the removal is on disk
        CHECK(rig.storage->storedEvents().size() == 1);
        CHECK_FALSE(fs::exists(rig.file(*a->eventID())));
        CHECK(fs::exists(rig.file(*c->eventID())));
        CHECK(rig.storage->targetToEventSet().count(RDTCORTargetCCT) == 0);
        rig.relaunch();
        auto stored = rig.storage->storedEvents();
        REQUIRE(stored.size() == 1);
        CHECK(stored.count(*c->eventID()) == 1);
    }
    SECTION("getters hand out copies") {
        auto stored = rig.storage->storedEvents();
        stored.begin()->second->setQosTier(99);
        stored.clear();
        auto again = rig.storage->storedEvents();
        REQUIRE(again.size() == 3);
        CHECK(again.begin()->second->qosTier() == RDTCOREventQoSDefault);
    }
    SECTION("will-enter-foreground keeps the newer state in memory") {
        auto d = rig.event("fourth");
        rig.store(d);
        rig.storage->appWillForeground(*rig.app);
        rig.storage->storageQueue()->drain();
        CHECK(rig.storage->storedEvents().size() == 4);
    }
    SECTION("background and terminate leave the whole state in the archive") {
        fs::remove(rig.storage->archiveFilePath());
        rig.storage->appWillBackground(*rig.app);
        rig.storage->storageQueue()->drain();
        auto archived = RDTCORDecodeArchive("RDTCORFlatFileStorage", rig.storage->archiveFilePath(), nullptr);
        REQUIRE(archived);
        CHECK((*archived)["RDTCORStorageStoredEventsKey"].dictionary()->size() == 3);
        rig.storage->appWillTerminate(*rig.app);
        CHECK(rig.app->openBackgroundTaskCount() == 0);
    }
}

TEST_CASE("a store without a completion is archived too", "[transport][storage]") {
    StorageRig rig;
    auto e = rig.event("quiet");
    rig.storage->storeEvent(e, nullptr);
    rig.storage->waitUntilPersisted();
    CHECK(rig.prioritizer->saves == 0);
    rig.relaunch();
    CHECK(rig.storage->storedEvents().count(*e->eventID()) == 1);
}

TEST_CASE("a burst of stores is made durable and saved once, and completes only when durable",
          "[transport][storage]") {
    StorageRig rig;
    // Hold the storage's queue so the whole burst is queued before any of it runs.
    std::promise<void> release;
    auto gate = release.get_future().share();
    rig.storage->storageQueue()->async([gate] { gate.wait(); });
    std::atomic<int> done{0};
    std::vector<uint64_t> ids;
    for (int i = 0; i < 20; ++i) {
        auto e = rig.event("burst " + std::to_string(i), RDTCORTargetCSH, RDTCOREventQoSFast);
        ids.push_back(*e->eventID());
        rig.storage->storeEvent(e, [&](bool written, foundation::ErrorPtr) { done += written; });
    }
    release.set_value();
    rig.storage->waitUntilPersisted();
    rig.coordinator->coordinationQueue()->drain();
    CHECK(done == 20);
    CHECK(rig.prioritizer->saves == 1);
    CHECK(rig.uploader->asked().size() == 1); // one forced upload for the target, not twenty
    rig.relaunch();
    CHECK(rig.storage->storedEvents().size() == 20);
}

TEST_CASE("events that cannot be stored are reported so and leave nothing behind", "[transport][storage]") {
    StorageRig rig;
    foundation::LogCapture log;
    SECTION("an empty payload") {
        auto e = rig.event("");
        auto out = rig.store(e);
        CHECK_FALSE(out.written);
        CHECK(out.error);
        CHECK_FALSE(fs::exists(rig.file(*e->eventID())));
        CHECK(log.contains("[I-RDTCOR001002] Event failed to save to disk:"));
    }
    SECTION("a failed write") {
        auto e = rig.event("x");
        fs::create_directories(rig.file(*e->eventID())); // a folder where the file should go
        auto out = rig.store(e);
        CHECK_FALSE(out.written);
        CHECK(out.error);
    }
    SECTION("a second event with an ID already stored does not replace the first's payload") {
        auto e = rig.event("original");
        REQUIRE(rig.store(e).written);
        auto twin = makeEvent(*e->eventID(), "impostor");
        auto out = rig.store(twin);
        CHECK_FALSE(out.written);
        CHECK(out.error);
        CHECK(rig.read(*e->eventID()) == std::optional<std::string>("original"));
    }
    SECTION("a nil event completes with failure") {
        auto out = rig.store(nullptr);
        CHECK_FALSE(out.written);
        CHECK(log.contains("The event was nil, so it was not saved."));
    }
    rig.storage->waitUntilPersisted();
    CHECK(rig.prioritizer->pending() == rig.storage->storedEvents().size());
    CHECK(rig.app->openBackgroundTaskCount() == 0);
}

TEST_CASE("tier 4 forces an upload of its target right after it is stored",
          "[transport][storage][coordinator]") {
    StorageRig rig;
    SECTION("tier 4") {
        REQUIRE(rig.store(rig.event("urgent", RDTCORTargetCSH, RDTCOREventQoSFast)).written);
        rig.coordinator->coordinationQueue()->drain();
        auto packages = rig.uploader->packages();
        REQUIRE(packages.size() == 1);
        CHECK(packages[0]->target() == RDTCORTargetCSH);
        CHECK(rig.prioritizer->askedConditions().at(0) ==
              (RDTCORUploadConditionWifiData | RDTCORUploadConditionHighPriority));
    }
    SECTION("tier 3 does not") {
        REQUIRE(rig.store(rig.event("calm", RDTCORTargetCSH)).written);
        rig.coordinator->coordinationQueue()->drain();
        CHECK(rig.uploader->packages().empty());
    }
}

TEST_CASE("a burst with removals leaves the archive holding exactly what is stored", "[transport][storage]") {
    StorageRig rig;
    std::vector<uint64_t> ids;
    for (int i = 0; i < 120; ++i) {
        auto e = rig.event("p" + std::to_string(i));
        e->setCustomBytes(foundation::Data(4096, uint8_t(i)));
        ids.push_back(*e->eventID());
        rig.storage->storeEvent(e, nullptr);
    }
    rig.storage->removeEvents({ids[0], ids[1]}); // queued after their stores, maybe before their archiving
    rig.storage->waitUntilPersisted();
    std::set<uint64_t> expected(ids.begin() + 2, ids.end());
    CHECK(persistedIDs(rig.root) == expected);
    CHECK_FALSE(fs::exists(rig.file(ids[0])));
    rig.relaunch();
    auto stored = rig.storage->storedEvents();
    CHECK(stored.size() == 118);
    CHECK(stored.count(ids[0]) == 0);
    CHECK(stored.at(ids[119])->customBytes()->size() == 4096);
    CHECK(filesIn(rig.root).size() == 118 + 3); // the payloads, the archive, the journal and the count file
}

namespace {
// Runs `whenRead` once when the storage reads its bytes, that is while its batch is being written.
class ActsWhenRead : public RDTCOREventDataObject {
  public:
    std::function<void()> whenRead;
    foundation::Data transportBytes() override {
        if (auto act = std::exchange(whenRead, nullptr)) act();
        return {'f', 'i', 'r', 's', 't'};
    }
};
} // namespace

TEST_CASE("a store that arrives while a batch is written shares its sync", "[transport][storage]") {
    StorageRig rig;
    auto first = rig.event();
    auto second = rig.event("second");
    const uint64_t secondID = *second->eventID();
    std::promise<bool> secondDone, secondStoredWithFirst;
    auto object = std::make_shared<ActsWhenRead>();
    object->whenRead = [&] {
        rig.storage->storeEvent(second,
                                [&](bool written, foundation::ErrorPtr) { secondDone.set_value(written); });
    };
    first->setDataObject(object);
    rig.storage->storeEvent(first, [&](bool written, foundation::ErrorPtr) {
        // Answered in order, after the one sync of both.
        secondStoredWithFirst.set_value(written && rig.storage->storedEvents().count(secondID) == 1);
    });
    CHECK(secondStoredWithFirst.get_future().get());
    CHECK(secondDone.get_future().get());
    rig.relaunch();
    CHECK(rig.storage->storedEvents().size() == 2);
    CHECK(rig.read(secondID) == std::optional<std::string>("second"));
}

TEST_CASE("damaged files give log lines and a working storage", "[transport][storage][corrupt]") {
    StorageRig rig;
    auto a = rig.event("aaaa");
    auto b = rig.event("bbbb");
    auto c = rig.event("cccc");
    for (auto& e : {a, b, c})
        REQUIRE(rig.store(e).written);
    rig.storage->appWillTerminate(*rig.app); // everything in the archive proper
    rig.close();
    foundation::LogCapture log;

    SECTION("a damaged archive") {
        foundation::writeFileAtomically(rig.root + "/RDTCORFlatFileStorageArchive",
                                        std::string("RDTA\x01garbage"));
        rig.open();
        CHECK(log.contains("[I-RDTCOR001007] The archive"));
        CHECK(rig.storage->storedEvents().empty());
        // Payloads nobody refers to any more are accounted for, and no ID is handed out again.
        CHECK(log.contains("belonged to no stored event and was removed"));
        CHECK_FALSE(fs::exists(rig.file(*a->eventID())));
        auto d = rig.event("dddd");
        CHECK(*d->eventID() > *c->eventID());
        CHECK(rig.store(d).written);
        rig.relaunch();
        CHECK(rig.storage->storedEvents().size() == 1);
    }
    SECTION("a payload file gone, cut short or replaced by a folder") {
        fs::remove(rig.file(*a->eventID()));
        fs::resize_file(rig.file(*b->eventID()), 2);
        rig.open();
        auto stored = rig.storage->storedEvents();
        CHECK(stored.size() == 1);
        CHECK(stored.count(*c->eventID()) == 1);
        CHECK(log.count("was dropped: its payload file is") == 2);
        CHECK_FALSE(fs::exists(rig.file(*b->eventID()))); // the cut-short file went with its event
        rig.close();
        fs::remove(rig.file(*c->eventID()));
        fs::create_directories(rig.file(*c->eventID()));
        rig.open();
        CHECK(rig.storage->storedEvents().empty());
    }
    SECTION("a damaged count file") {
        foundation::writeFileAtomically(rig.root + "/count", std::string("-12"));
        rig.open();
        CHECK(log.contains("The event ID counter"));
        CHECK(rig.counter->next() > *c->eventID());
        CHECK(rig.storage->storedEvents().size() == 3);
    }
    SECTION("leftover files are cleaned up at the next start") {
        foundation::writeFileAtomically(rig.root + "/event-999999", std::string("orphan"));
        foundation::writeFileAtomically(rig.root + "/count.tmp-1-77", std::string("5"));
        foundation::writeFileAtomically(rig.root + "/RDTCCTPrioritizer", std::string("not ours to touch"));
        rig.open();
        auto names = filesIn(rig.root);
        CHECK(names.count("event-999999") == 0);
        CHECK(names.count("count.tmp-1-77") == 0);
        CHECK(names.count("RDTCCTPrioritizer") == 1);
        CHECK(rig.counter->next() == 1000000);
    }
}

TEST_CASE("paths and keys from outside cannot leave the transport's folder", "[transport][storage][paths]") {
    StorageRig rig;
    rig.close();
    foundation::writeFileAtomically(rig.dir.path + "/victim", std::string("keep me"));
    foundation::writeFileAtomically(rig.root + "/count", std::string("100"));
    auto archived = [&](uint64_t id, const std::string& path) {
        auto e = makeEvent(id);
        e->setRDTFilePath(path);
        return e->encodeToArchive();
    };
    foundation::writeFileAtomically(rig.root + "/event-3", std::string("fine"));
    Value storage(
        Dictionary{{"$class", "RDTCORFlatFileStorage"},
                   {"RDTCORStorageStoredEventsKey", Value(Dictionary{{"1", archived(1, "../victim")},
                                                                     {"2", archived(2, "count")},
                                                                     {"3", archived(3, "event-3")},
                                                                     {"4", archived(4, "event-3")}})}});
    REQUIRE(RDTCOREncodeArchiveValue(storage, rig.root + "/RDTCORFlatFileStorageArchive"));
    transporttest::checkOnlyTheSoundPathKept(rig);

    SECTION("library data keys name one file inside the library folder") {
        auto storeData = [&](const std::string& key) {
            std::promise<foundation::ErrorPtr> done;
            rig.storage->storeLibraryData(foundation::Data{1, 2}, key,
                                          [&](foundation::ErrorPtr e) { done.set_value(e); });
            return done.get_future().get();
        };
        for (auto bad : {"", ".", "..", "../victim", "a/b", "/etc/passwd"})
            CHECK(storeData(bad));
        CHECK(foundation::readTextFile(rig.dir.path + "/victim") == std::optional<std::string>("keep me"));
        CHECK_FALSE(storeData("settings"));
        CHECK(fs::exists(rig.storage->libraryDataDirectory() + "/settings"));
    }
}

TEST_CASE("library data is stored, read and removed by key", "[transport][storage][library]") {
    StorageRig rig;
    auto store = [&](foundation::Data d, const std::string& key) {
        std::promise<foundation::ErrorPtr> done;
        rig.storage->storeLibraryData(d, key, [&](foundation::ErrorPtr e) { done.set_value(e); });
        return done.get_future().get();
    };
    auto read = [&](const std::string& key) {
        std::promise<std::pair<std::optional<foundation::Data>, foundation::ErrorPtr>> done;
        rig.storage->libraryDataForKey(key, [&](auto d, auto e) { done.set_value({d, e}); });
        return done.get_future().get();
    };
    CHECK_FALSE(store(foundation::Data{1, 2, 3}, "k"));
    CHECK(read("k").first == foundation::Data{1, 2, 3});
    CHECK_FALSE(read("k").second);

    auto empty = store({}, "k");
    REQUIRE(empty);
    CHECK(empty->domain() == "NSInternalInconsistencyException");
    CHECK(empty->code() == -1);

    auto missing = read("never");
    CHECK_FALSE(missing.first);
    CHECK(missing.second);

    std::atomic<int> calls{0};
    rig.storage->removeLibraryDataForKey("never", [&](foundation::ErrorPtr) { ++calls; });
    std::promise<foundation::ErrorPtr> removed;
    rig.storage->removeLibraryDataForKey("k", [&](foundation::ErrorPtr e) { removed.set_value(e); });
    CHECK_FALSE(removed.get_future().get());
    rig.storage->storageQueue()->drain();
    CHECK(calls == 0); // nothing to remove: the completion is never called
    CHECK_FALSE(read("k").first);
}

TEST_CASE("an archive from before an upgrade decodes its ordered set of events",
          "[transport][storage][archive]") {
    StorageRig rig;
    rig.close();
    foundation::writeFileAtomically(rig.root + "/event-5", std::string("five"));
    foundation::writeFileAtomically(rig.root + "/event-6", std::string("six"));
    auto older = [&](uint64_t id) {
        Value v = makeEvent(id)->encodeToArchive();
        Dictionary d = *v.dictionary();
        d["$class"] = "RDTCORStoredEvent";
        d["_RDTFilePath"] = "event-" + std::to_string(id);
        return Value(d);
    };
    Value storage(Dictionary{
        {"$class", "RDTCORStorage"},
        {"RDTCORStorageStoredEventsKey", RDTCORArchiveSet({older(5), older(6)}, "NSOrderedSet")},
        {"RDTCORStorageTargetToEventSetKey", Value(Dictionary{{"1000", RDTCORArchiveSet({older(5)})}})}});
    REQUIRE(RDTCOREncodeArchiveValue(storage, rig.root + "/RDTCORFlatFileStorageArchive"));
    rig.open();
    auto stored = rig.storage->storedEvents();
    REQUIRE(stored.size() == 2);
    CHECK(stored.at(6)->RDTFilePath() == std::optional<std::string>("event-6"));
    CHECK(rig.storage->targetToEventSet()[RDTCORTargetCCT].size() == 2);
}
