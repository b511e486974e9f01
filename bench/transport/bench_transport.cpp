// How fast events are stored through the transport, against raw atomic writes of the same payloads to
// the same disk; how the cost of one store changes with the number of events already stored; and how
// soon stores are acknowledged when a producer keeps the disk busy. Prints its figures and exits with
// 1 when a target is missed.
//
//   bench_transport [folder]      (default: a fresh folder under $TMPDIR or /tmp)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

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

double rawRate(const std::string& base, const foundation::Data& payload, int n) {
    Folder dir(base + "/raw");
    auto t = Clock::now();
    for (int i = 0; i < n; ++i)
        foundation::writeFileAtomically(dir.path + "/event-" + std::to_string(i), payload);
    return n / secondsSince(t);
}

// The raw rate kept up for a while: a disk may take a short burst faster than it can go on.
double sustainedRawRate(const std::string& base, const foundation::Data& payload, double seconds) {
    Folder dir(base + "/raw");
    auto t = Clock::now();
    int n = 0;
    while (secondsSince(t) < seconds)
        foundation::writeFileAtomically(dir.path + "/event-" + std::to_string(n++), payload);
    return n / secondsSince(t);
}

double transportRate(const std::string& base, const foundation::Data& payload, int n, bool withCompletion) {
    Folder dir(base + "/transport");
    Stack stack(dir.path);
    Completions done;
    auto t = Clock::now();
    for (int i = 0; i < n; ++i) {
        if (withCompletion)
            stack.transportObject->sendDataEventOnComplete(stack.event(payload), done.callback());
        else
            stack.transportObject->sendDataEvent(stack.event(payload));
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

    std::printf("events per second, median of 3 interleaved rounds\n");
    std::printf("%-8s %12s %18s %18s %10s\n", "payload", "raw ev/s", "transport+compl", "transport (none)",
                "ratio");
    auto median = [](std::vector<double> v) { return percentile(std::move(v), 0.5); };
    // A disk that has been idle is slow for its first writes: let that pass before anything counts.
    rawRate(base, fourKB, 100);
    for (auto [size, n] : std::vector<std::pair<size_t, int>>{{100, 1000}, {4096, 1000}, {65536, 500}}) {
        foundation::Data payload = payloadOf(size);
        std::vector<double> raws, withs, withouts;
        // Interleaved, so a disk that slows down for a while hurts all three alike.
        for (int round = 0; round < 3; ++round) {
            raws.push_back(rawRate(base, payload, n));
            withs.push_back(transportRate(base, payload, n, true));
            withouts.push_back(transportRate(base, payload, n, false));
        }
        double raw = median(raws), with = median(withs), without = median(withouts);
        std::printf("%-8zu %12.0f %18.0f %18.0f %6.2f/%.2f\n", size, raw, with, without, with / raw,
                    without / raw);
        if (size == 4096 && (with / raw < 0.5 || without / raw < 0.5))
            miss("4 KB stores below 0.5 of the raw rate");
    }

    // The disk these runs share may change speed by ten times within seconds. Every comparison is
    // therefore made between figures taken side by side: samples interleaved, rounds repeated, and
    // the raw rate measured right before and right after a timed run.
    std::printf("\none awaited 4 KB store, by events already stored: median and p99 of 200, in 3 rounds of\n"
                "samples interleaved across the three; the median round counts. Microseconds\n");
    std::printf("%-16s %22s %22s %14s\n", "already stored", "median (rounds)", "p99 (rounds)", "vs none");
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
        for (int round = 0; round < 3; ++round) {
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
            char text[64];
            std::snprintf(text, sizeof text, "%.0f (%.0f %.0f %.0f)", percentile(v, 0.5), v[0], v[1], v[2]);
            return std::string(text);
        };
        const double noneP50 = percentile(p50s[0], 0.5), noneP99 = percentile(p99s[0], 0.5);
        for (size_t s = 0; s < counts.size(); ++s) {
            double p50 = percentile(p50s[s], 0.5), p99 = percentile(p99s[s], 0.5);
            std::printf("%-16d %22s %22s     x%.2f/x%.2f\n", counts[s], rounds(p50s[s]).c_str(),
                        rounds(p99s[s]).c_str(), p50 / noneP50, p99 / noneP99);
            if (p50 > 1.5 * noneP50 || p99 > 1.5 * noneP99)
                miss("a store costs more than 1.5x with events stored");
        }
    }

    // A timed run counts when the raw rate after it is within a quarter of the rate before it: a disk
    // that changed speed meanwhile says nothing about the transport. Up to three tries.
    auto steadyDisk = [](double before, double after) {
        return after > 0.75 * before && after < 1.25 * before;
    };
    {
        std::printf("\nsteady producer: 4 KB at half the raw rate (kept up for 5 s) for 10 s\n");
        bool judged = false;
        for (int attempt = 1; attempt <= 3 && !judged; ++attempt) {
            const double rawBefore = sustainedRawRate(base, fourKB, 5);
            const double rate = rawBefore / 2;
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
            const double rawAfter = sustainedRawRate(base, fourKB, 5);
            auto times = done.times();
            std::vector<double> latencies;
            for (int i = 0; i < n; ++i) // answered in the order issued
                latencies.push_back(
                    std::chrono::duration<double>(times[size_t(i)] - issued[size_t(i)]).count());
            double worst = *std::max_element(latencies.begin(), latencies.end());
            judged = steadyDisk(rawBefore, rawAfter);
            std::printf(
                "  try %d: raw %.0f ev/s before, %.0f after%s; %d stores at %.0f ev/s acknowledged after: "
                "median %.1f ms, p99 %.1f ms, worst %.1f ms; %zu failed\n",
                attempt, rawBefore, rawAfter, judged ? "" : " (disk changed speed: not judged)", n, rate,
                percentile(latencies, 0.5) * 1e3, percentile(latencies, 0.99) * 1e3, worst * 1e3,
                done.failed());
            if (judged && worst > 1.0) miss("a store of the steady producer waited more than 1 s");
            if (done.failed()) miss("stores failed");
        }
        if (!judged) miss("the disk never kept one speed long enough to judge the steady producer");
    }
    {
        const int n = 1500;
        std::printf("\nunpaced producer: %d stores of 4 KB issued at once\n", n);
        bool judged = false;
        for (int attempt = 1; attempt <= 3 && !judged; ++attempt) {
            const double rawBefore = sustainedRawRate(base, fourKB, 3);
            Folder dir(base + "/unpaced");
            Stack stack(dir.path);
            Completions done;
            auto start = Clock::now();
            for (int i = 0; i < n; ++i)
                stack.transportObject->sendDataEventOnComplete(stack.event(fourKB), done.callback());
            double issuing = secondsSince(start);
            done.waitFor(size_t(n));
            const double rawAfter = sustainedRawRate(base, fourKB, 3);
            auto times = done.times();
            auto at = [&](size_t i) { return std::chrono::duration<double>(times[i] - start).count(); };
            double total = at(times.size() - 1), longestGap = at(0);
            for (size_t i = 1; i < times.size(); ++i)
                longestGap = std::max(longestGap, at(i) - at(i - 1));
            size_t byHalf = size_t(std::count_if(times.begin(), times.end(), [&](auto t) {
                return std::chrono::duration<double>(t - start).count() <= total / 2;
            }));
            const double raw = (rawBefore + rawAfter) / 2, rate = n / total;
            judged = steadyDisk(rawBefore, rawAfter);
            std::printf("  try %d: raw %.0f ev/s before, %.0f after%s\n", attempt, rawBefore, rawAfter,
                        judged ? "" : " (disk changed speed: not judged)");
            std::printf(
                "    issued in %.3f s; first acknowledgement after %.3f s, %zu of %d by half-time (%.1f s "
                "of %.1f s), longest silence %.3f s\n",
                issuing, at(0), byHalf, n, total / 2, total, longestGap);
            std::printf("    %.0f ev/s, %.2f of raw; %zu failed\n", rate, rate / raw, done.failed());
            // Acknowledgements all along: within a second of each other, a fair share by half-time.
            if (longestGap > 1.0) miss("acknowledgements stopped for more than 1 s");
            if (byHalf < size_t(n) / 4) miss("acknowledgements came mostly at the end");
            if (judged && rate / raw < 0.5) miss("the unpaced producer got below 0.5 of the raw rate");
            if (done.failed()) miss("stores failed");
        }
        if (!judged) miss("the disk never kept one speed long enough to judge the unpaced producer");
    }
    return missed ? 1 : 0;
}
