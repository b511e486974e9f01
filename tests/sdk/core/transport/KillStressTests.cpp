// Kills a storing process with SIGKILL at random moments and checks what the next start finds. The
// storing process is this test program itself, started on a hidden test case.
#include <catch2/catch.hpp>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "tests/sdk/core/transport/StorageRig.h"
#include "tests/support/ChildProcess.h"

using namespace transporttest;
namespace fs = std::filesystem;

namespace {

constexpr const char* kRootVariable = "ZARUVEDEZ_STRESS_ROOT";
constexpr const char* kLogVariable = "ZARUVEDEZ_STRESS_LOG";

// Each event's payload follows from its ID, so a reader can tell a whole file from a damaged one.
foundation::Data payloadFor(uint64_t id) {
    foundation::Data d(1 + (id * 7919) % 3000);
    for (size_t i = 0; i < d.size(); ++i)
        d[i] = uint8_t(id * 31 + i);
    return d;
}

class LineLog {
  public:
    explicit LineLog(const char* path) : fd_(::open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {}
    ~LineLog() { ::close(fd_); }
    void write(char kind, uint64_t id) {
        std::string line = std::string(1, kind) + " " + std::to_string(id) + "\n";
        [[maybe_unused]] auto n =
            ::write(fd_, line.data(), line.size()); // one write: a line is whole or absent
    }

  private:
    int fd_;
};

struct RunLog {
    std::vector<uint64_t> issued;
    std::set<uint64_t> stored;
    std::set<uint64_t> removalAsked;
    std::set<uint64_t> removed;
};

RunLog readRunLog(const std::string& path) {
    RunLog log;
    std::ifstream in(path);
    char kind;
    uint64_t id;
    while (in >> kind >> id) {
        if (kind == 'I') log.issued.push_back(id);
        if (kind == 'S') log.stored.insert(id);
        if (kind == 'A') log.removalAsked.insert(id);
        if (kind == 'R') log.removed.insert(id);
    }
    return log;
}

// Until the run's log reports a store (true), or the child has ended (false). The child reports on
// its own pace, so this looks at the log often rather than guessing a time.
bool waitForStore(const std::string& logPath, pid_t child) {
    for (;;) {
        if (!readRunLog(logPath).stored.empty()) return true;
        if (::waitpid(child, nullptr, WNOHANG) != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace

// The storing process: stores events in bursts, with and without completions, removes some of them as
// a delivery would, and now and then rewrites the whole archive. It logs every ID it draws ("I"),
// every store reported written ("S"), every removal asked for ("A") and every removal known to be in
// the archive ("R": a store queued after the removal has completed).
TEST_CASE("transport storing process for the kill test", "[.][stress-child]") {
    const char* root = std::getenv(kRootVariable);
    const char* logPath = std::getenv(kLogVariable);
    if (!root || !logPath) return; // only ever run by the kill test
    LineLog log(logPath);
    auto counter = std::make_shared<transport::EventIDCounter>(root);
    auto app = RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
    auto storage = RDTCORFlatFileStorage::create({root, nullptr, {}, app, counter});

    std::mutex m;
    std::vector<uint64_t> confirmed;     // stored, not yet chosen for removal
    std::vector<uint64_t> removalsAsked; // in the order asked
    size_t removalsLogged = 0;
    std::mt19937_64 rng(uint64_t(::getpid()));

    for (uint64_t n = 0;; ++n) {
        std::promise<void> burstDone;
        for (int i = 0; i < 8; ++i) {
            uint64_t id = counter->next();
            log.write('I', id);
            auto e = std::make_shared<RDTCOREvent>("137", RDTCORTargetCCT);
            e->setEventID(id);
            e->setDataObject(std::make_shared<BytesObject>(payloadFor(id)));
            e->setClockSnapshot(RDTCORClock::snapshot());
            if (i % 3 == 2) { // the last of a burst always has a completion
                storage->storeEvent(e, nullptr);
                continue;
            }
            size_t removalsBefore;
            {
                std::lock_guard lock(m);
                removalsBefore = removalsAsked.size();
            }
            bool last = i == 7;
            storage->storeEvent(e, [&, id, removalsBefore, last](bool written, foundation::ErrorPtr) {
                std::lock_guard lock(m);
                if (written) {
                    log.write('S', id);
                    confirmed.push_back(id);
                }
                for (; removalsLogged < removalsBefore; ++removalsLogged)
                    log.write('R', removalsAsked[removalsLogged]);
                if (last) burstDone.set_value();
            });
        }
        {
            std::lock_guard lock(m);
            if (confirmed.size() > 4) {
                size_t pick = size_t(rng() % confirmed.size());
                uint64_t victim = confirmed[pick];
                confirmed.erase(confirmed.begin() + long(pick));
                removalsAsked.push_back(victim);
                log.write('A', victim);
                storage->removeEvents({victim});
            }
        }
        if (n % 16 == 15) storage->appWillBackground(*app);
        burstDone.get_future().wait();
    }
}

TEST_CASE("a storing process killed at any moment loses nothing it reported and reuses no ID",
          "[transport][storage][stress]") {
    TempDir dir;
    const std::string root = dir.path + "/ruvara-sdks-events";
    std::mt19937 rng(std::random_device{}());
    uint64_t highestIssued = 0;
    bool anyIssued = false;
    size_t totalStored = 0;
    std::set<uint64_t> everStored, everAskedRemoved, everRemoved; // over all runs

    for (int run = 0; run < 50; ++run) {
        INFO("run " << run);
        const std::string logPath = dir.path + "/run-" + std::to_string(run) + ".log";
        // The child's throw-away home goes with ours.
        const pid_t pid = testsupport::startThisProgram(
            "[stress-child]", {{kRootVariable, root}, {kLogVariable, logPath}, {"TMPDIR", dir.path}});
        // Early runs also hit the start-up (loading, cleaning up); later ones the stores, so they
        // first wait until the child has stored something: on a busy machine its start-up alone may
        // outlast any fixed delay.
        int delay = run < 10 ? int(rng() % 40) + 5 : int(rng() % 150);
        if (run >= 10) REQUIRE(waitForStore(logPath, pid));
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        REQUIRE(WIFSIGNALED(status));
        REQUIRE(WTERMSIG(status) == SIGKILL);

        RunLog log = readRunLog(logPath);
        // No ID is handed out twice, across any number of kills.
        if (!log.issued.empty()) {
            if (anyIssued) CHECK(log.issued.front() > highestIssued);
            CHECK(std::is_sorted(log.issued.begin(), log.issued.end()));
            highestIssued = std::max(highestIssued, log.issued.back());
            anyIssued = true;
        }
        // The archive decodes, the journal holds at most a torn last append, and every event they
        // hold together has its whole payload file.
        foundation::ErrorPtr error;
        std::string journalProblem;
        auto persisted = persistedEvents(root, &journalProblem, &error);
        CHECK_FALSE(error);
        if (!journalProblem.empty()) CHECK(journalProblem == "a record is cut short");
        for (const auto& [id, event] : persisted)
            CHECK(foundation::readFile(root + "/" + event->RDTFilePath().value_or("?")) == payloadFor(id));
        for (uint64_t id : log.stored)
            if (!log.removalAsked.count(id)) CHECK(persisted.count(id) == 1); // a reported store is on disk

        // The next start.
        auto counter = std::make_shared<transport::EventIDCounter>(root);
        auto storage = RDTCORFlatFileStorage::create({root, nullptr, {}, nullptr, counter});
        auto stored = storage->storedEvents();
        everStored.insert(log.stored.begin(), log.stored.end());
        everAskedRemoved.insert(log.removalAsked.begin(), log.removalAsked.end());
        everRemoved.insert(log.removed.begin(), log.removed.end());
        for (uint64_t id : everStored)
            if (!everAskedRemoved.count(id)) CHECK(stored.count(id) == 1); // reported stored: still there
        for (uint64_t id : everRemoved)
            CHECK(stored.count(id) == 0); // removed: never back
        std::set<std::string> expected{"RDTCORFlatFileStorageArchive", "RDTCORFlatFileStorageJournal",
                                       "count"};
        for (const auto& [id, event] : stored) {
            CHECK(event->RDTFilePath() == std::optional<std::string>("event-" + std::to_string(id)));
            CHECK(foundation::readFile(root + "/event-" + std::to_string(id)) == payloadFor(id));
            expected.insert("event-" + std::to_string(id));
        }
        for (const auto& entry : fs::directory_iterator(root)) {
            std::string name = entry.path().filename().string();
            if (!expected.count(name)) FAIL_CHECK("unaccounted file after the next start: " << name);
        }
        if (anyIssued) CHECK(counter->peek() > highestIssued);
        totalStored = stored.size();
        storage.reset();
    }
    CHECK(anyIssued);
    CHECK(totalStored > 0);
}
