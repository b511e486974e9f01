// How fast events are stored through the transport, against the least cost of the same durability
// done directly on the same disk (the floor); how the cost of one store changes with the number of
// events already stored; and how soon stores are acknowledged when a producer keeps the disk busy.
// Every figure is the median of five rounds or more after a warm-up (the throughput's ratios are taken
// round by round); prints the floor, the figure and their ratio, and exits with 1 when a target is
// missed.
//
//   bench_transport [folder]      (default: a fresh folder under $TMPDIR or /tmp)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>
#include <zlib.h>

#include "platform/foundation/Files.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/transport/EventIDCounter.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORTransformer.h"
#include "sdk/core/transport/RDTCORTransport.h"
#include "sdk/core/transport/StorageRecords.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(double(v.size()) * p))];
}

class Payload : public RDTCOREventDataObject {
  public:
    explicit Payload(const foundation::Data& d) : bytes_(d) {}
    foundation::Data transportBytes() override { return bytes_; }

  private:
    foundation::Data bytes_;
};

// Counts completions, notes when each came, and lets the caller wait for a number of them.
class Completions {
  public:
    RDTCORSendCompletion callback() {
        return [this](bool written, foundation::ErrorPtr) {
            std::lock_guard lock(m_);
            times_.push_back(Clock::now());
            if (!written) ++failed_;
            cv_.notify_all();
        };
    }
    void waitFor(size_t n) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return times_.size() >= n; });
    }
    size_t failed() {
        std::lock_guard lock(m_);
        return failed_;
    }
    std::vector<Clock::time_point> times() {
        std::lock_guard lock(m_);
        return times_;
    }

  private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Clock::time_point> times_;
    size_t failed_ = 0;
};

// A whole transport (registrar, transformer, storage) over a folder of its own.
struct Stack {
    explicit Stack(const std::string& root) {
        registrar = RDTCORRegistrar::create();
        app = RDTCORApplication::create(std::make_shared<foundation::NotificationCenter>());
        transformer = RDTCORTransformer::create(registrar, app);
        counter = std::make_shared<transport::EventIDCounter>(root);
        storage = RDTCORFlatFileStorage::create({root, registrar, {}, app, counter});
        registrar->registerStorage(storage, RDTCORTargetFLL);
        transportObject = RDTCORTransport::initWithMappingID("137", {}, RDTCORTargetFLL);
        transportObject->setTransformerInstance(transformer);
        storage->waitUntilPersisted(); // loaded
    }
    std::shared_ptr<RDTCOREvent> event(const foundation::Data& payload) {
        // Events come from this stack's counter so each stack has its own IDs and files.
        auto e = std::make_shared<RDTCOREvent>("137", RDTCORTargetFLL);
        e->setEventID(counter->next());
        e->setDataObject(std::make_shared<Payload>(payload));
        return e;
    }
    // The time from sending one event to its acknowledgement, in microseconds.
    double awaitedStore(const foundation::Data& payload) {
        std::promise<void> done;
        auto t = Clock::now();
        transportObject->sendDataEventOnComplete(event(payload),
                                                 [&](bool, foundation::ErrorPtr) { done.set_value(); });
        done.get_future().wait();
        return secondsSince(t) * 1e6;
    }
    void settle() {
        transformer->eventWritingQueue()->drain();
        storage->waitUntilPersisted();
    }
    std::shared_ptr<RDTCORRegistrar> registrar;
    std::shared_ptr<RDTCORApplication> app;
    std::shared_ptr<RDTCORTransformer> transformer;
    std::shared_ptr<transport::EventIDCounter> counter;
    std::shared_ptr<RDTCORFlatFileStorage> storage;
    std::shared_ptr<RDTCORTransport> transportObject;
};

// A fresh folder per run, kept until the end: on a disk mounted with online discard, deleting files
// slows the writes after it, which would be charged to whatever runs next.
struct Folder {
    explicit Folder(const std::string& prefix) : path(prefix + "-" + std::to_string(++serial)) {
        fs::create_directories(path);
    }
    std::string path;
    static inline int serial = 0;
};

struct RemovedAtExit {
    ~RemovedAtExit() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string path;
};

foundation::Data payloadOf(size_t size) {
    foundation::Data payload(size);
    for (size_t i = 0; i < size; ++i)
        payload[i] = uint8_t(i * 13);
    return payload;
}

// The least cost of what the storage guarantees for each event it acknowledges, written directly: the
// events arrive in batches as the storage takes them, each event's payload goes to a new file of its
// own, the batch's payloads are synced (their write-back started as each is written, so the disk sees
// one stream), their names made durable with one sync of the folder, then one checksummed record per
// event (its ID, payload size and file name) is appended to a log and synced once for the batch. Only
// then would the batch be acknowledged.
class FloorStore {
  public:
    explicit FloorStore(const std::string& dir)
        : dir_(dir), folder_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)),
          log_(::open((dir + "/log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {
        if (folder_ < 0 || log_ < 0) fail("open");
    }
    ~FloorStore() {
        ::close(folder_);
        ::close(log_);
    }
    void store(const foundation::Data& payload, int count) {
        for (int done = 0; done < count;) {
            const int batch = std::min<int>(count - done, int(RDTCORFlatFileStorage::kRequestsPerBatch));
            storeBatch(payload, batch);
            done += batch;
        }
    }

  private:
    [[noreturn]] static void fail(const char* what) {
        std::perror(what);
        std::fflush(nullptr);
        std::_Exit(2);
    }
    void storeBatch(const foundation::Data& payload, int batch) {
        std::vector<int> files;
        std::string records;
        for (int i = 0; i < batch; ++i) {
            const uint64_t id = next_++;
            const std::string name = "event-" + std::to_string(id);
            int fd = ::open((dir_ + "/" + name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (fd < 0 || ::write(fd, payload.data(), payload.size()) != ssize_t(payload.size()))
                fail("write");
            ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
            files.push_back(fd);
            std::string body(reinterpret_cast<const char*>(&id), sizeof id);
            const uint64_t size = payload.size();
            body.append(reinterpret_cast<const char*>(&size), sizeof size);
            body += name;
            const uint32_t head[2] = {
                uint32_t(body.size()),
                uint32_t(::crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size())))};
            records.append(reinterpret_cast<const char*>(head), sizeof head);
            records += body;
        }
        for (int fd : files)
            if (::fdatasync(fd) != 0 || ::close(fd) != 0) fail("fdatasync");
        if (::fsync(folder_) != 0) fail("fsync folder");
        if (::write(log_, records.data(), records.size()) != ssize_t(records.size()) ||
            ::fdatasync(log_) != 0)
            fail("log");
    }

    std::string dir_;
    int folder_, log_;
    uint64_t next_ = 1;
};

double floorRate(const std::string& base, const foundation::Data& payload, int n) {
    Folder dir(base + "/floor");
    FloorStore floor(dir.path);
    auto t = Clock::now();
    floor.store(payload, n);
    return n / secondsSince(t);
}

// The floor's rate kept up for a while: a disk may take a short burst faster than it can go on.
double sustainedFloorRate(const std::string& base, const foundation::Data& payload, double seconds) {
    Folder dir(base + "/floor");
    FloorStore floor(dir.path);
    auto t = Clock::now();
    int n = 0;
    while (secondsSince(t) < seconds) {
        floor.store(payload, int(RDTCORFlatFileStorage::kRequestsPerBatch));
        n += int(RDTCORFlatFileStorage::kRequestsPerBatch);
    }
    return n / secondsSince(t);
}

double transportRate(const std::string& base, const foundation::Data& payload, int n, bool withCompletion) {
    Folder dir(base + "/transport");
    Stack stack(dir.path);
    Completions done;
    // The events come with their IDs, as the floor's do: drawing an ID is the sender's work.
    std::vector<std::shared_ptr<RDTCOREvent>> events;
    for (int i = 0; i < n; ++i)
        events.push_back(stack.event(payload));
    auto t = Clock::now();
    for (auto& event : events) {
        if (withCompletion)
            stack.transportObject->sendDataEventOnComplete(std::move(event), done.callback());
        else
            stack.transportObject->sendDataEvent(std::move(event));
    }
    if (withCompletion) done.waitFor(size_t(n));
    stack.settle();
    double rate = n / secondsSince(t);
    if (done.failed()) std::printf("  !! %zu stores failed\n", done.failed());
    return rate;
}

// Lays down `count` stored events the way an earlier run leaves them (payload files and the archive),
// which takes a second where storing them one by one would take minutes on a slow disk.
void prefill(const std::string& root, int count, const foundation::Data& payload) {
    fs::create_directories(root);
    foundation::Dictionary events;
    for (int id = 0; id < count; ++id) {
        std::string name = "event-" + std::to_string(id);
        FILE* f = std::fopen((root + "/" + name).c_str(), "wb");
        std::fwrite(payload.data(), 1, payload.size(), f);
        std::fclose(f);
        RDTCOREvent e("137", RDTCORTargetFLL);
        e.setEventID(uint64_t(id));
        e.setRDTFilePath(name);
        e.setClockSnapshot(RDTCORClock::snapshot());
        events[std::to_string(id)] = transport::storedEventValue(e, payload.size());
    }
    RDTCOREncodeArchiveValue(foundation::Value(foundation::Dictionary{
                                 {kRDTCORArchiveClassKey, "RDTCORFlatFileStorage"},
                                 {"RDTCORStorageStoredEventsKey", foundation::Value(std::move(events))}}),
                             root + "/RDTCORFlatFileStorageArchive");
    ::sync(); // so the measurements do not pay for writing these back
}

} // namespace

int main(int argc, char** argv) {
    std::string base;
    if (argc > 1) {
        base = argv[1];
        fs::create_directories(base);
    } else {
        const char* tmp = std::getenv("TMPDIR");
        std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/bench-transport-XXXXXX";
        base = mkdtemp(tmpl.data());
    }
    RemovedAtExit keep{base};
    std::printf("folder: %s\n\n", base.c_str());
    bool missed = false;
    auto miss = [&](const char* what) {
        std::printf("  !! target missed: %s\n", what);
        missed = true;
    };
    const foundation::Data fourKB = payloadOf(4096);

    constexpr int kRounds = 5;
    auto median = [](std::vector<double> v) { return percentile(std::move(v), 0.5); };
    // The disk may change speed several times within a minute: the three sides run back to back in
    // each round, their order turning from round to round, and each round gives its own ratios; the
    // median of those counts, beside the median rates.
    constexpr int kThroughputRounds = 15;
    std::printf("events per second, median of %d rounds after a warm-up round; ratio: the median of the\n"
                "rounds' own ratios\n",
                kThroughputRounds);
    std::printf("%-8s %12s %18s %18s %12s %20s\n", "payload", "floor ev/s", "transport+compl",
                "transport (none)", "ratio", "quartiles of ratios");
    // A disk that has been idle is slow for its first writes: let that pass before anything counts.
    floorRate(base, fourKB, 100);
    for (auto [size, n] : std::vector<std::pair<size_t, int>>{{100, 320}, {4096, 320}, {65536, 192}}) {
        foundation::Data payload = payloadOf(size);
        std::vector<double> floors, withs, withouts, withRatios, withoutRatios;
        for (int round = 0; round <= kThroughputRounds; ++round) {
            double rates[3];
            for (int k = 0; k < 3; ++k) {
                const int side = (round + k) % 3;
                rates[side] = side == 0   ? floorRate(base, payload, n)
                              : side == 1 ? transportRate(base, payload, n, true)
                                          : transportRate(base, payload, n, false);
            }
            if (round == 0) continue; // the warm-up round
            floors.push_back(rates[0]);
            withs.push_back(rates[1]);
            withouts.push_back(rates[2]);
            withRatios.push_back(rates[1] / rates[0]);
            withoutRatios.push_back(rates[2] / rates[0]);
        }
        const double with = median(withRatios), without = median(withoutRatios);
        std::printf("%-8zu %12.0f %18.0f %18.0f %7.2f/%.2f   %.2f-%.2f/%.2f-%.2f\n", size, median(floors),
                    median(withs), median(withouts), with, without, percentile(withRatios, 0.25),
                    percentile(withRatios, 0.75), percentile(withoutRatios, 0.25),
                    percentile(withoutRatios, 0.75));
        if (with < 0.8 || without < 0.8) miss("stores below 0.8 of the floor");
    }

    // The disk these runs share may change speed by ten times within seconds. Every comparison is
    // therefore made between figures taken side by side: samples interleaved, rounds repeated, and
    // the floor's rate measured right before and right after a timed run.
    std::printf("\none awaited 4 KB store, by events already stored: median and p99 of 200, in %d rounds of\n"
                "samples interleaved across the three; the median round counts. Microseconds\n",
                kRounds);
    std::printf("%-16s %30s %30s %14s\n", "already stored", "median (rounds)", "p99 (rounds)", "vs none");
    {
        const std::vector<int> counts{0, 1000, 10000};
        std::vector<std::unique_ptr<Folder>> folders;
        std::vector<std::unique_ptr<Stack>> stacks;
        for (int count : counts) {
            folders.push_back(std::make_unique<Folder>(base + "/latency-" + std::to_string(count)));
            prefill(folders.back()->path, count, fourKB);
            stacks.push_back(std::make_unique<Stack>(folders.back()->path));
            if (stacks.back()->storage->storedEvents().size() != size_t(count))
                miss("the prefilled events did not load");
        }
        for (auto& stack : stacks) // warm up
            for (int i = 0; i < 20; ++i)
                stack->awaitedStore(fourKB);
        std::vector<std::vector<double>> p50s(counts.size()), p99s(counts.size());
        for (int round = 0; round < kRounds; ++round) {
            std::vector<std::vector<double>> samples(counts.size());
            for (int i = 0; i < 200; ++i)
                for (size_t s = 0; s < stacks.size(); ++s)
                    samples[s].push_back(stacks[s]->awaitedStore(fourKB));
            for (size_t s = 0; s < counts.size(); ++s) {
                p50s[s].push_back(percentile(samples[s], 0.5));
                p99s[s].push_back(percentile(samples[s], 0.99));
            }
        }
        auto rounds = [](const std::vector<double>& v) {
            std::string text = std::to_string(std::lround(percentile(v, 0.5))) + " (";
            for (size_t i = 0; i < v.size(); ++i)
                text += (i ? " " : "") + std::to_string(std::lround(v[i]));
            return text + ")";
        };
        const double noneP50 = percentile(p50s[0], 0.5), noneP99 = percentile(p99s[0], 0.5);
        for (size_t s = 0; s < counts.size(); ++s) {
            double p50 = percentile(p50s[s], 0.5), p99 = percentile(p99s[s], 0.5);
            std::printf("%-16d %30s %30s     x%.2f/x%.2f\n", counts[s], rounds(p50s[s]).c_str(),
                        rounds(p99s[s]).c_str(), p50 / noneP50, p99 / noneP99);
            if (p50 > 1.5 * noneP50 || p99 > 1.5 * noneP99)
                miss("a store costs more than 1.5x with events stored");
        }
    }

    // A timed run counts when the floor's rate after it is within a quarter of the rate before it: a
    // disk that changed speed meanwhile says nothing about the transport. Up to three tries.
    auto steadyDisk = [](double before, double after) {
        return after > 0.75 * before && after < 1.25 * before;
    };
    {
        std::printf("\nsteady producer: 4 KB at half the floor's rate (kept up for 5 s) for 10 s\n");
        bool judged = false;
        for (int attempt = 1; attempt <= 3 && !judged; ++attempt) {
            const double floorBefore = sustainedFloorRate(base, fourKB, 5);
            const double rate = floorBefore / 2;
            Folder dir(base + "/steady");
            Stack stack(dir.path);
            const int n = int(rate * 10);
            std::vector<Clock::time_point> issued(static_cast<size_t>(n));
            Completions done;
            auto start = Clock::now();
            for (int i = 0; i < n; ++i) {
                std::this_thread::sleep_until(start + std::chrono::duration_cast<Clock::duration>(
                                                          std::chrono::duration<double>(i / rate)));
                issued[size_t(i)] = Clock::now();
                stack.transportObject->sendDataEventOnComplete(stack.event(fourKB), done.callback());
            }
            done.waitFor(size_t(n));
            const double floorAfter = sustainedFloorRate(base, fourKB, 5);
            auto times = done.times();
            std::vector<double> latencies;
            for (int i = 0; i < n; ++i) // answered in the order issued
                latencies.push_back(
                    std::chrono::duration<double>(times[size_t(i)] - issued[size_t(i)]).count());
            double worst = *std::max_element(latencies.begin(), latencies.end());
            judged = steadyDisk(floorBefore, floorAfter);
            std::printf(
                "  try %d: floor %.0f ev/s before, %.0f after%s; %d stores at %.0f ev/s acknowledged after: "
                "median %.1f ms, p99 %.1f ms, worst %.1f ms; %zu failed\n",
                attempt, floorBefore, floorAfter, judged ? "" : " (disk changed speed: not judged)", n, rate,
                percentile(latencies, 0.5) * 1e3, percentile(latencies, 0.99) * 1e3, worst * 1e3,
                done.failed());
            if (judged && worst > 1.0) miss("a store of the steady producer waited more than 1 s");
            if (done.failed()) miss("stores failed");
        }
        if (!judged) miss("the disk never kept one speed long enough to judge the steady producer");
    }
    {
        const int n = 1500;
        // One burst lasts a fraction of a second, so it is judged against the floor measured right
        // before and right after it; the median of five judged bursts counts, after one for warm-up.
        constexpr int kBursts = 5, kTries = 12;
        std::printf(
            "\nunpaced producer: %d stores of 4 KB issued at once, %d bursts judged after a warm-up\n", n,
            kBursts);
        std::vector<double> ratios;
        for (int attempt = 0; attempt <= kTries && int(ratios.size()) < kBursts; ++attempt) {
            const double floorBefore = sustainedFloorRate(base, fourKB, 2);
            Folder dir(base + "/unpaced");
            Stack stack(dir.path);
            Completions done;
            // The events come with their IDs, as the floor's do (see transportRate); drawing them is
            // timed on its own, as it rewrites the count file for each.
            std::vector<std::shared_ptr<RDTCOREvent>> events;
            auto drawing = Clock::now();
            for (int i = 0; i < n; ++i)
                events.push_back(stack.event(fourKB));
            const double drawn = secondsSince(drawing);
            auto start = Clock::now();
            for (auto& event : events)
                stack.transportObject->sendDataEventOnComplete(std::move(event), done.callback());
            double issuing = secondsSince(start);
            done.waitFor(size_t(n));
            const double floorAfter = sustainedFloorRate(base, fourKB, 2);
            auto times = done.times();
            auto at = [&](size_t i) { return std::chrono::duration<double>(times[i] - start).count(); };
            double total = at(times.size() - 1), longestGap = at(0);
            for (size_t i = 1; i < times.size(); ++i)
                longestGap = std::max(longestGap, at(i) - at(i - 1));
            size_t byHalf = size_t(std::count_if(times.begin(), times.end(), [&](auto t) {
                return std::chrono::duration<double>(t - start).count() <= total / 2;
            }));
            const double floor = (floorBefore + floorAfter) / 2, rate = n / total;
            const bool judged = attempt > 0 && steadyDisk(floorBefore, floorAfter);
            if (judged) ratios.push_back(rate / floor);
            std::printf("  %s: floor %.0f ev/s before, %.0f after%s\n",
                        attempt == 0 ? "warm-up" : ("try " + std::to_string(attempt)).c_str(), floorBefore,
                        floorAfter, judged || attempt == 0 ? "" : " (disk changed speed: not judged)");
            std::printf("    IDs drawn in %.3f s (not timed); issued in %.3f s; first acknowledgement after "
                        "%.3f s, %zu of %d by half-time (%.1f s of %.1f s), longest silence %.3f s\n",
                        drawn, issuing, at(0), byHalf, n, total / 2, total, longestGap);
            std::printf("    %.0f ev/s, %.2f of the floor; %zu failed\n", rate, rate / floor, done.failed());
            // Acknowledgements all along: within a second of each other, a fair share by half-time.
            if (longestGap > 1.0) miss("acknowledgements stopped for more than 1 s");
            if (byHalf < size_t(n) / 4) miss("acknowledgements came mostly at the end");
            if (done.failed()) miss("stores failed");
        }
        if (int(ratios.size()) < kBursts) {
            miss("the disk never kept one speed long enough to judge the unpaced producer");
        } else {
            std::sort(ratios.begin(), ratios.end());
            std::printf("  median of the judged bursts: %.2f of the floor (%.2f to %.2f)\n", median(ratios),
                        ratios.front(), ratios.back());
            if (median(ratios) < 0.8) miss("the unpaced producer got below 0.8 of the floor");
        }
    }
    return missed ? 1 : 0;
}
