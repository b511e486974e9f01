// The storage's journal: what a store costs, how acknowledgements flow out of a backlog, when the
// journal is folded into the archive, and what a start makes of archives and journals left behind.
#include <catch2/catch.hpp>

#include <filesystem>
#include <sys/stat.h>

#include "platform/foundation/Log.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "tests/sdk/core/transport/StorageRig.h"

using namespace transporttest;
using foundation::Data;
namespace fs = std::filesystem;

namespace {

// From the source tree, not __FILE__: a compiler cache may hand the compiler a relative path.
const fs::path kFixtures = fs::path(ZARUVEDEZ_SOURCE_DIR) / "tests/sdk/core/transport/fixtures";

// The events of the archive alone, without the journal.
std::set<uint64_t> archiveOnlyIDs(const std::string& path) {
    std::set<uint64_t> ids;
    auto archived = RDTCORDecodeArchive("RDTCORFlatFileStorage", path, nullptr);
    if (archived)
        if (const auto* events = (*archived)["RDTCORStorageStoredEventsKey"].dictionary())
            for (const auto& [key, value] : *events)
                ids.insert(uint64_t(value["_eventID"].intValue()));
    return ids;
}

uint64_t journalRecordBytes(const StorageRig& rig) {
    return fs::file_size(rig.journal()) - transport::StorageJournal::kHeaderSize;
}

ino_t inodeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_ino;
}

size_t eventFilesIn(const std::string& dir) {
    size_t n = 0;
    for (const auto& e : fs::directory_iterator(dir))
        n += e.path().filename().string().rfind("event-", 0) == 0;
    return n;
}

} // namespace

TEST_CASE("a store appends one journal record and leaves the archive alone",
          "[transport][storage][journal]") {
    StorageRig rig;
    for (int i = 0; i < 50; ++i)
        REQUIRE(rig.store(rig.event("earlier " + std::to_string(i))).written);
    rig.storage->appWillTerminate(*rig.app); // all of it in the archive, the journal empty
    REQUIRE(journalRecordBytes(rig) == 0);
    const auto archived = foundation::readFile(rig.archive());
    const ino_t archiveInode = inodeOf(rig.archive());

    auto e = rig.event("one more");
    REQUIRE(rig.store(e).written);
    // Its cost does not depend on the fifty already stored: the archive is not rewritten.
    CHECK(foundation::readFile(rig.archive()) == archived);
    CHECK(inodeOf(rig.archive()) == archiveInode);
    CHECK(journalRecordBytes(rig) > 0);
    CHECK(persistedIDs(rig.root).count(*e->eventID()) == 1);
    rig.relaunch();
    CHECK(rig.storage->storedEvents().size() == 51);
}

TEST_CASE("acknowledgements keep coming, in the order asked, while a backlog is stored",
          "[transport][storage][journal]") {
    StorageRig rig;
    QueueGate gate(rig.storage->storageQueue());
    std::mutex m;
    std::vector<uint64_t> issued, answered;
    size_t payloadsAtFirstAnswer = 0;
    for (int i = 0; i < 200; ++i) {
        auto e = rig.event("backlog " + std::to_string(i));
        uint64_t id = *e->eventID();
        issued.push_back(id);
        rig.storage->storeEvent(e, [&, id](bool written, foundation::ErrorPtr) {
            std::lock_guard lock(m);
            if (answered.empty()) payloadsAtFirstAnswer = eventFilesIn(rig.root);
            if (written) answered.push_back(id);
        });
    }
    gate.release();
    rig.storage->waitUntilPersisted();
    std::lock_guard lock(m);
    CHECK(answered == issued);
    // The first answer came before most of the backlog was even written, not after all of it.
    CHECK(payloadsAtFirstAnswer <= RDTCORFlatFileStorage::kRequestsPerBatch);
    CHECK(rig.app->openBackgroundTaskCount() == 0);
}

TEST_CASE("a removal asked for before a store is on disk before that store is answered",
          "[transport][storage][journal]") {
    StorageRig rig;
    auto a = rig.event("delivered");
    REQUIRE(rig.store(a).written);
    QueueGate gate(rig.storage->storageQueue());
    rig.storage->removeEvents({*a->eventID()});
    auto b = rig.event("later");
    std::set<uint64_t> onDiskWhenAnswered;
    rig.storage->storeEvent(b,
                            [&](bool, foundation::ErrorPtr) { onDiskWhenAnswered = persistedIDs(rig.root); });
    gate.release();
    rig.storage->waitUntilPersisted();
    CHECK(onDiskWhenAnswered == std::set<uint64_t>{*b->eventID()});
    CHECK_FALSE(fs::exists(rig.file(*a->eventID())));
}

TEST_CASE("the journal is folded into the archive past its bound, or past the archive's size",
          "[transport][storage][journal]") {
    StorageRig rig;
    rig.close();
    rig.journalLimit = 2048;
    rig.open();
    int folds = 0;
    uint64_t journalBefore = 0;
    std::set<uint64_t> ids;
    for (int i = 0; i < 80; ++i) {
        auto e = rig.event(std::string(100, char('a' + i % 26)));
        ids.insert(*e->eventID());
        REQUIRE(rig.store(e).written);
        rig.storage->storageQueue()->drain(); // the fold comes right after the answers
        const uint64_t archiveSize = fs::exists(rig.archive()) ? fs::file_size(rig.archive()) : 0;
        const uint64_t journal = journalRecordBytes(rig);
        CHECK(journal <= std::max<uint64_t>(2048, archiveSize));
        folds += journal < journalBefore;
        journalBefore = journal;
    }
    CHECK(folds > 2); // rewritten now and then, not after every store
    CHECK(folds < 40);
    CHECK(persistedIDs(rig.root) == ids);
    rig.relaunch();
    CHECK(rig.storage->storedEvents().size() == 80);
}

TEST_CASE("the journal is folded into the archive at background, termination and close",
          "[transport][storage][journal]") {
    StorageRig rig;
    auto a = rig.event("a");
    auto b = rig.event("b");
    REQUIRE(rig.store(a).written);
    REQUIRE(rig.store(b).written);
    rig.storage->removeEvents({*a->eventID()});
    rig.storage->waitUntilPersisted();
    REQUIRE(journalRecordBytes(rig) > 0);
    SECTION("background") {
        rig.storage->appWillBackground(*rig.app);
        rig.storage->storageQueue()->drain();
        CHECK(rig.app->openBackgroundTaskCount() == 0);
    }
    SECTION("termination") {
        rig.storage->appWillTerminate(*rig.app);
    }
    SECTION("the storage closing") {
        rig.close();
    }
    CHECK(journalRecordBytes(rig) == 0);
    CHECK(archiveOnlyIDs(rig.archive()) == std::set<uint64_t>{*b->eventID()});
}

TEST_CASE("an archive written before the journal existed loads with nothing lost",
          "[transport][storage][journal][archive]") {
    // Written by the storage as it was before it kept a journal: events 0, 1 and 3 stored, 2 removed.
    StorageRig rig;
    rig.close();
    for (const auto& f : fs::directory_iterator(kFixtures / "storage-before-journal"))
        fs::copy_file(f.path(), fs::path(rig.root) / f.path().filename(),
                      fs::copy_options::overwrite_existing);
    foundation::LogCapture log;
    rig.open();
    auto stored = rig.storage->storedEvents();
    REQUIRE(stored.size() == 3);
    CHECK(stored.count(0) == 1);
    CHECK(stored.count(1) == 1);
    CHECK(stored.count(3) == 1);
    CHECK(stored.at(0)->clockSnapshot()->timeMillis() == 1700000000123);
    CHECK(stored.at(1)->target() == RDTCORTargetFLL);
    CHECK(stored.at(1)->qosTier() == RDTCOREventQoSTelemetry);
    CHECK(stored.at(1)->customBytes() == Data{1, 2, 3, 250});
    CHECK(stored.at(3)->RDTFilePath() == std::optional<std::string>("event-3"));
    CHECK(rig.read(3) == std::optional<std::string>("fourth payload"));
    auto byTarget = rig.storage->targetToEventSet();
    CHECK(byTarget[RDTCORTargetCCT].size() == 1);
    CHECK(byTarget[RDTCORTargetFLL].size() == 2);
    CHECK(rig.prioritizer->pending() == 3);
    CHECK(log.count("was dropped") == 0);
    auto next = rig.event("after the upgrade");
    CHECK(*next->eventID() == 4);
    REQUIRE(rig.store(next).written);
    rig.relaunch();
    CHECK(rig.storage->storedEvents().size() == 4);
}

TEST_CASE("a torn or damaged journal tail is dropped and the records before it are kept",
          "[transport][storage][journal][corrupt]") {
    StorageRig rig;
    auto a = rig.event("in the archive");
    REQUIRE(rig.store(a).written);
    rig.storage->appWillTerminate(*rig.app);
    auto b = rig.event("journaled first");
    auto c = rig.event("journaled second");
    REQUIRE(rig.store(b).written);
    REQUIRE(rig.store(c).written);
    const uint64_t wholeBefore = fs::file_size(rig.journal());
    auto d = rig.event("journaled last");
    REQUIRE(rig.store(d).written);
    const Data journal = foundation::readFile(rig.journal()).value();
    REQUIRE(journal.size() > wholeBefore);
    // The folder as a crash would leave it: copied while the storage is open, put back once it closed.
    const std::string crashed = rig.dir.path + "/crashed";
    fs::copy(rig.root, crashed, fs::copy_options::recursive);
    rig.close();
    fs::remove_all(rig.root);
    fs::copy(crashed, rig.root, fs::copy_options::recursive);

    bool lastKept = false;
    Data broken = journal;
    SECTION("the last append cut short") {
        broken.resize(wholeBefore + (journal.size() - wholeBefore) / 2);
    }
    SECTION("a bit of the last record flipped") {
        broken[journal.size() - 4] ^= 0x01;
    }
    SECTION("its length field damaged") {
        broken[wholeBefore + 2] = 0x7f;
    }
    SECTION("zeros after the last record") {
        broken.insert(broken.end(), 512, 0);
        lastKept = true;
    }
    std::set<uint64_t> expected{*a->eventID(), *b->eventID(), *c->eventID()};
    if (lastKept) expected.insert(*d->eventID());
    foundation::writeFileAtomically(rig.journal(), broken);

    foundation::LogCapture log;
    rig.open();
    auto stored = rig.storage->storedEvents();
    std::set<uint64_t> ids;
    for (const auto& [id, e] : stored)
        ids.insert(id);
    CHECK(ids == expected);
    CHECK(log.contains("[I-RDTCOR001007] The journal"));
    CHECK(fs::exists(rig.file(*d->eventID())) == lastKept); // a payload nobody refers to goes
    CHECK(rig.read(*c->eventID()) == std::optional<std::string>("journaled second"));
    // The start folded what it kept into the archive; the journal starts empty.
    CHECK(archiveOnlyIDs(rig.archive()) == expected);
    CHECK(journalRecordBytes(rig) == 0);
    auto e = rig.event("after the crash");
    CHECK(*e->eventID() > *d->eventID());
    REQUIRE(rig.store(e).written);
    rig.relaunch();
    CHECK(rig.storage->storedEvents().size() == expected.size() + 1);
}

TEST_CASE("journal records get the archive's checks on paths", "[transport][storage][journal][paths]") {
    StorageRig rig;
    rig.close();
    foundation::writeFileAtomically(rig.dir.path + "/victim", std::string("keep me"));
    foundation::writeFileAtomically(rig.root + "/event-3", std::string("fine"));
    Data records;
    auto add = [&](uint64_t id, const std::string& path) {
        auto e = makeEvent(id);
        e->setRDTFilePath(path);
        transport::StorageJournal::appendStoreRecord(records,
                                                     transport::codec::encodeValue(e->encodeToArchive()));
    };
    add(1, "../victim");
    add(2, "count");
    add(3, "event-3");
    add(4, "event-3");
    transport::StorageJournal::appendRemovalRecord(records, {99});
    {
        transport::StorageJournal journal(rig.journal());
        REQUIRE(journal.open(0));
        REQUIRE(journal.append(records));
    }
    transporttest::checkOnlyTheSoundPathKept(rig);
}

TEST_CASE("with a folder where the journal should be, stores still complete through the archive",
          "[transport][storage][journal][corrupt]") {
    StorageRig rig;
    rig.close();
    fs::remove(rig.journal());
    fs::create_directories(rig.journal());
    foundation::LogCapture log;
    rig.open();
    CHECK(log.contains("cannot be used (it is not a file); each store rewrites the archive instead"));
    auto e = rig.event("through the archive");
    REQUIRE(rig.store(e).written);
    CHECK(archiveOnlyIDs(rig.archive()) == std::set<uint64_t>{*e->eventID()});
    rig.storage->removeEvents({*e->eventID()});
    rig.storage->waitUntilPersisted();
    CHECK(archiveOnlyIDs(rig.archive()).empty());
    CHECK_FALSE(fs::exists(rig.file(*e->eventID())));
    auto f = rig.event("kept");
    REQUIRE(rig.store(f).written);
    rig.relaunch();
    CHECK(rig.storage->storedEvents().count(*f->eventID()) == 1);
}
