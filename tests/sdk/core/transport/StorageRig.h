#pragma once
// A storage over a folder of its own, with its own registrar, prioritizer and counter; `relaunch`
// drops it and opens the folder again the way a new process would.
#include <filesystem>
#include <future>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"
#include "sdk/core/transport/StorageJournal.h"
#include "tests/sdk/core/transport/TransportFakes.h"

namespace transporttest {

// What another process would find on disk: the events of the archive with the journal's stores and
// removals replayed over them, in order. `journalProblem` hears why a damaged journal tail was dropped.
inline std::map<uint64_t, std::shared_ptr<RDTCOREvent>>
persistedEvents(const std::string& root, std::string* journalProblem = nullptr,
                foundation::ErrorPtr* archiveError = nullptr) {
    std::map<uint64_t, std::shared_ptr<RDTCOREvent>> events;
    auto noNewID = [] { return uint64_t(0); };
    auto archived = RDTCORDecodeArchive("RDTCORFlatFileStorage", root + "/RDTCORFlatFileStorageArchive",
                                        nullptr, archiveError);
    if (archived)
        if (const auto* stored = (*archived)["RDTCORStorageStoredEventsKey"].dictionary())
            for (const auto& [key, value] : *stored)
                if (auto e = RDTCOREvent::decode(value, noNewID)) events[*e->eventID()] = e;
    auto journal = transport::StorageJournal::read(root + "/RDTCORFlatFileStorageJournal");
    for (const auto& record : journal.records) {
        if (record.kind == transport::JournalRecord::Kind::Store) {
            if (auto e = RDTCOREvent::decode(record.value, noNewID)) events[*e->eventID()] = e;
        } else if (const auto* ids = record.value.array()) {
            for (const auto& id : *ids)
                events.erase(uint64_t(id.intValue()));
        }
    }
    if (journalProblem) *journalProblem = journal.problem;
    return events;
}

inline std::set<uint64_t> persistedIDs(const std::string& root) {
    std::set<uint64_t> ids;
    for (const auto& [id, event] : persistedEvents(root))
        ids.insert(id);
    return ids;
}

struct StoreOutcome {
    bool written = false;
    foundation::ErrorPtr error;
};

struct StorageRig {
    TempDir dir;
    std::string root = dir.path + "/ruvara-sdks-events";
    std::shared_ptr<RDTCORApplication> app =
        RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
    std::shared_ptr<RDTCORRegistrar> registrar;
    std::shared_ptr<FakePrioritizer> prioritizer;
    std::shared_ptr<FakeUploader> uploader;
    std::shared_ptr<RDTCORUploadCoordinator> coordinator;
    std::shared_ptr<transport::EventIDCounter> counter;
    std::shared_ptr<RDTCORFlatFileStorage> storage;
    uint32_t flags = 2;
    uint64_t journalLimit = 0; // the storage's default

    StorageRig() { open(); }
    ~StorageRig() { close(); }

    void open() {
        registrar = RDTCORRegistrar::create();
        prioritizer = std::make_shared<FakePrioritizer>();
        uploader = std::make_shared<FakeUploader>();
        coordinator = RDTCORUploadCoordinator::create({registrar, app, [this] { return flags; }});
        counter = std::make_shared<transport::EventIDCounter>(root);
        // The prioritizer and uploader first, as the transport's load has them: the storage offers
        // the events of earlier runs to the prioritizer as soon as it has read them, on its own queue.
        for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH}) {
            registrar->registerPrioritizer(prioritizer, t);
            registrar->registerUploader(uploader, t);
        }
        storage = RDTCORFlatFileStorage::create({root, registrar, coordinator, app, counter, journalLimit});
        prioritizer->storage = storage;
        prioritizer->handler = coordinator;
        for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
            registrar->registerStorage(storage, t);
        storage->storageQueue()->drain(); // loaded
    }
    void close() {
        if (storage) storage->waitUntilPersisted();
        registrar.reset();
        storage.reset();
        coordinator.reset();
        prioritizer.reset();
        uploader.reset();
        counter.reset();
    }
    void relaunch() {
        close();
        open();
    }

    StoreOutcome store(std::shared_ptr<RDTCOREvent> e) {
        std::promise<StoreOutcome> done;
        storage->storeEvent(std::move(e), [&](bool written, foundation::ErrorPtr error) {
            done.set_value({written, error});
        });
        return done.get_future().get();
    }
    std::shared_ptr<RDTCOREvent> event(const std::string& payload = "payload",
                                       RDTCORTarget target = RDTCORTargetCCT,
                                       RDTCOREventQoS tier = RDTCOREventQoSDefault) {
        return makeEvent(counter->next(), payload, target, tier);
    }
    std::string file(uint64_t id) const { return root + "/event-" + std::to_string(id); }
    std::string archive() const { return root + "/RDTCORFlatFileStorageArchive"; }
    std::string journal() const { return root + "/RDTCORFlatFileStorageJournal"; }
    std::optional<std::string> read(uint64_t id) const { return foundation::readTextFile(file(id)); }
};

// Opens the rig over stored events 1 to 4 whose paths point outside the folder (1: "../victim"), at the
// counter (2), or share a file (3 and 4 on "event-3"): only 3 is kept, and removing them all leaves the
// files they pointed at alone.
inline void checkOnlyTheSoundPathKept(StorageRig& rig) {
    foundation::LogCapture log;
    rig.open();
    auto stored = rig.storage->storedEvents();
    CHECK(stored.size() == 1);
    CHECK(stored.count(3) == 1);
    CHECK(log.count("was dropped") == 3);
    rig.storage->removeEvents({1, 2, 3, 4});
    rig.storage->waitUntilPersisted();
    CHECK(foundation::readTextFile(rig.dir.path + "/victim") == std::optional<std::string>("keep me"));
    CHECK(std::filesystem::exists(rig.root + "/count"));
}

} // namespace transporttest
