// What building one upload request costs: 500 stored events of 1 KB (payload files in the page cache)
// are read, encoded as the batched log request and gzipped, as the uploader does for a package. The
// floor is reading the same files and compressing their concatenation once with zlib at the same
// level. Prints both, their ratio and the compressed sizes; exits with 1 when the request costs more
// than 1.3 times the floor or its compressed size differs from the floor's by more than 2 %.
//
//   bench_upload [rounds]      (default 200)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#include <zlib.h>

#include "platform/foundation/Files.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/core/transport/RDTCCTCompressionHelper.h"
#include "sdk/core/transport/RDTCCTUploader.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kEvents = 500;
constexpr size_t kPayloadSize = 1024;

class Payload : public RDTCOREventDataObject {
  public:
    explicit Payload(foundation::Data d) : bytes_(std::move(d)) {}
    foundation::Data transportBytes() override { return bytes_; }

  private:
    foundation::Data bytes_;
};

// Log-like text: keys repeat, values vary (compresses about 8 times).
foundation::Data textPayload(std::mt19937& rng, uint64_t n) {
    static const char* screens[] = {"inquiryView1", "certificateViewTop",      "printLetterView",
                                    "photoSelect",  "zaruvedezViewController", "patientRegist"};
    std::string s;
    while (s.size() < kPayloadSize) {
        s += "{\"seq\":" + std::to_string(n) + ",\"name\":\"screen_view\",\"screen\":\"" +
             screens[rng() % 6] + "\",\"duration_ms\":" + std::to_string(rng() % 90000) +
             ",\"ts\":" + std::to_string(1700000000000 + n * 37 + rng() % 1000) + ",\"session\":\"" +
             std::to_string(rng() % 100000) + "\",\"ok\":" + (rng() % 2 ? "true" : "false") + "}\n";
    }
    s.resize(kPayloadSize);
    return foundation::Data(s.begin(), s.end());
}

// A report-like protocol-buffer record: fixed header strings, then stack frames of an address, a
// symbol from a small set and an offset (compresses about 2 to 3 times).
foundation::Data recordPayload(std::mt19937& rng, uint64_t n) {
    static const char* symbols[] = {"-[zurarerizIvaDadadavu registInquiry]",
                                    "objc_msgSend",
                                    "sqlite3_step",
                                    "-[SQDatabase executeUpdate:]",
                                    "__CFRunLoopRun",
                                    "start",
                                    "main",
                                    "-[inquiryView1 viewDidLoad]",
                                    "dispatch_async",
                                    "pthread_kill"};
    foundation::Data d;
    auto field = [&](uint8_t tag, const std::string& v) {
        d.push_back(tag);
        d.push_back(uint8_t(v.size()));
        d.insert(d.end(), v.begin(), v.end());
    };
    field(0x0a, "4.2.0");
    field(0x12, "1:123456789012:ios:0a1b2c3d4e5f60718293a4");
    field(0x1a, "report-" + std::to_string(n * 7919 + rng() % 1000));
    while (d.size() < kPayloadSize) {
        d.push_back(0x22);
        uint64_t address = 0x0000000104000000ULL + (rng() & 0x3ffffff);
        std::string frame(reinterpret_cast<const char*>(&address), 8);
        frame += symbols[rng() % 10];
        frame += char(rng() % 128);
        d.push_back(uint8_t(frame.size()));
        d.insert(d.end(), frame.begin(), frame.end());
    }
    d.resize(kPayloadSize);
    return d;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

size_t deflateOnce(const foundation::Data& in) {
    z_stream s{};
    deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    foundation::Data out(deflateBound(&s, uLong(in.size())));
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    int r = deflate(&s, Z_FINISH);
    size_t size = out.size() - s.avail_out;
    deflateEnd(&s);
    return r == Z_STREAM_END ? size : 0;
}

struct Result {
    double request = 0, floor = 0; // median milliseconds
    size_t encoded = 0, gzipped = 0, floorSize = 0;
    double ratio() const { return request / floor; }
    double sizeDifference() const { return double(gzipped) / double(floorSize) - 1.0; }
};

// Stores the events' payloads in `root` with clock snapshots of events logged over a few minutes (or
// all with one snapshot, which leaves only the message framing beside the payloads), then times both
// ways to compressed bytes.
Result measure(const fs::path& root, foundation::Data (*payload)(std::mt19937&, uint64_t), int rounds,
               bool oneSnapshot = false) {
    fs::create_directories(root);
    std::mt19937 rng(42);
    RDTCOREventSet events;
    std::vector<std::string> files;
    const int64_t boot = 1699990000000000;
    int64_t micros = 1700000000000000;
    for (uint64_t id = 1; id <= kEvents; ++id) {
        int64_t step = 20000 + int64_t(rng() % 400000);
        if (!oneSnapshot) micros += step;
        auto e = std::make_shared<RDTCOREvent>(id % 10 ? "137" : "1206", RDTCORTargetFLL);
        e->setEventID(id);
        e->setClockSnapshot(RDTCORClock(micros / 1000, 32400, boot, micros - boot));
        e->setDataObject(std::make_shared<Payload>(payload(rng, id)));
        foundation::ErrorPtr error;
        if (!e->writeToRDTPath(e->payloadFileName(), &error, root.string())) {
            std::fprintf(stderr, "could not write the payloads\n");
            std::exit(2);
        }
        files.push_back((root / e->payloadFileName()).string());
        events.insert(e);
    }
    auto uploader = RDTCCTUploader::create({root.string(),
                                            {},
                                            nullptr,
                                            std::make_shared<foundation::NotificationCenter>(),
                                            std::make_shared<foundation::UserDefaults>("bench.upload")});
    auto package = RDTCORUploadPackage::initWithTarget(RDTCORTargetFLL, nullptr, {});
    package->setEvents(events);

    Result result;
    std::vector<double> request, floor;
    for (int round = 0; round < rounds + 3; ++round) { // the first rounds warm the page cache
        auto t0 = Clock::now();
        auto encoded = uploader->constructRequestProtoFromPackage(*package);
        auto gzipped = RDTCCTCompressionHelper::gzippedData(encoded);
        auto t1 = Clock::now();
        foundation::Data all;
        all.reserve(kEvents * kPayloadSize);
        for (const auto& f : files) {
            auto bytes = foundation::readFile(f);
            all.insert(all.end(), bytes->begin(), bytes->end());
        }
        result.floorSize = deflateOnce(all);
        auto t2 = Clock::now();
        if (round < 3) continue;
        request.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        floor.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        result.encoded = encoded.size();
        result.gzipped = gzipped ? gzipped->size() : 0;
    }
    fs::remove_all(root);
    result.request = median(request);
    result.floor = median(floor);
    return result;
}

bool report(const char* name, const Result& r) {
    bool ok = r.ratio() <= 1.3 && std::abs(r.sizeDifference()) <= 0.02;
    std::printf("%s payloads:\n", name);
    std::printf("  request: median %.3f ms  (encoded %zu B, gzipped %zu B)\n", r.request, r.encoded,
                r.gzipped);
    std::printf("  floor:   median %.3f ms  (read + one deflate: %zu B)\n", r.floor, r.floorSize);
    std::printf("  ratio %.3f (target <= 1.3), size %+.2f %% (target within 2 %%)  %s\n", r.ratio(),
                r.sizeDifference() * 100, ok ? "ok" : "MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const char* tmp = std::getenv("TMPDIR");
    fs::path base = fs::path(tmp ? tmp : "/tmp") / ("bench-upload-" + std::to_string(::getpid()));
    std::printf("%zu events x %zu B, %d rounds\n", kEvents, kPayloadSize, rounds);
    bool records = report("report-like record", measure(base / "records", recordPayload, rounds));
    bool text = report("log-like text", measure(base / "text", textPayload, rounds));
    // Where the size difference comes from: the same, with every event on one clock snapshot.
    report("log-like text, one clock snapshot", measure(base / "framing", textPayload, rounds, true));
    fs::remove_all(base);
    return records && text ? 0 : 1;
}
