// What building one upload request costs: 500 stored events of 1 KB (payload files in the page cache)
// are read, encoded as the batched log request and gzipped, as the uploader does for a package. The
// floor builds the same request message (every field the request carries: per mapping ID the client
// information, the log source, each event's times and payload, the request's time) written out by hand
// in the protocol-buffer wire format from the same files, and gzips it once at the same level. After
// three warm-up rounds, prints the medians of both, their ratio and the compressed sizes; exits with 1
// when the request costs more than 1.3 times the floor or its compressed size differs from the floor's
// by more than 2 %.
//
//   bench_upload [rounds]      (default 200, at least 5)
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <sys/utsname.h>
#include <vector>
#include <zlib.h>

#include "platform/foundation/Bundle.h"
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

// What the floor knows of each event, kept by the benchmark as it made them.
struct EventFacts {
    std::string mappingID;
    std::string file;
    int64_t timeMillis, timezoneOffsetSeconds, uptime;
};

// The protocol-buffer wire format, by hand: varints, tags and length-delimited fields written into a
// buffer sized beforehand, so nothing is copied twice.
size_t varintSize(uint64_t v) {
    size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}
size_t tagSize(uint32_t field) {
    return varintSize(uint64_t(field) << 3);
}
// A varint field, a length-delimited field of `n` bytes, a nested message of `n` bytes.
size_t varintField(uint32_t field, uint64_t v) {
    return tagSize(field) + varintSize(v);
}
size_t delimitedField(uint32_t field, size_t n) {
    return tagSize(field) + varintSize(n) + n;
}
uint64_t zigzag(int64_t v) {
    return (uint64_t(v) << 1) ^ uint64_t(v >> 63);
}

struct Writer {
    uint8_t* p;
    void varint(uint64_t v) {
        while (v >= 0x80) {
            *p++ = uint8_t(v) | 0x80;
            v >>= 7;
        }
        *p++ = uint8_t(v);
    }
    void tag(uint32_t field, int wireType) { varint(uint64_t(field) << 3 | uint64_t(wireType)); }
    void field(uint32_t f, uint64_t v) {
        tag(f, 0);
        varint(v);
    }
    void delimited(uint32_t f, size_t n) {
        tag(f, 2);
        varint(n);
    }
    void bytes(uint32_t f, const void* data, size_t n) {
        delimited(f, n);
        std::memcpy(p, data, n);
        p += n;
    }
    void text(uint32_t f, const std::string& s) { bytes(f, s.data(), s.size()); }
};

// The client information the request carries, gathered the way a client would: the system's release
// and machine, the bundle's build, language and identifier, the locale's country.
struct ClientFacts {
    std::string osMajor, osFull, build, country, model, language, bundleID;
    bool hasBuild = false, hasCountry = false;

    ClientFacts() {
        utsname names{};
        if (::uname(&names) == 0) {
            osFull = names.release;
            model = names.machine;
        }
        osMajor = osFull.substr(0, osFull.find('.'));
        auto bundle = foundation::Bundle::main();
        const auto version = bundle->objectForInfoDictionaryKey("CFBundleVersion");
        if (const auto* b = version.string()) {
            build = *b;
            hasBuild = true;
        }
        for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            if (!value || !*value) continue;
            std::string locale = value;
            auto underscore = locale.find('_');
            if (underscore != std::string::npos) {
                country =
                    locale.substr(underscore + 1, locale.find_first_of(".@", underscore) - underscore - 1);
                hasCountry = !country.empty();
            }
            break;
        }
        language = "en";
        const auto localizations = bundle->objectForInfoDictionaryKey("CFBundleLocalizations");
        const auto region = bundle->objectForInfoDictionaryKey("CFBundleDevelopmentRegion");
        if (localizations.array() && !localizations.array()->empty() && (*localizations.array())[0].string())
            language = *(*localizations.array())[0].string();
        else if (region.string())
            language = *region.string();
        bundleID = bundle->bundleIdentifier();
    }
    // IosClientInfo: os major (3), os full (4), build (5), country (6), model (7), language (8),
    // bundle identifier (11).
    size_t iosSize() const {
        return delimitedField(3, osMajor.size()) + delimitedField(4, osFull.size()) +
               (hasBuild ? delimitedField(5, build.size()) : 0) +
               (hasCountry ? delimitedField(6, country.size()) : 0) + delimitedField(7, model.size()) +
               delimitedField(8, language.size()) + delimitedField(11, bundleID.size());
    }
    // ClientInfo: client type 15 (1), the iOS client information (4).
    size_t size() const { return varintField(1, 15) + delimitedField(4, iosSize()); }
    void write(Writer& w) const {
        w.field(1, 15);
        w.delimited(4, iosSize());
        w.text(3, osMajor);
        w.text(4, osFull);
        if (hasBuild) w.text(5, build);
        if (hasCountry) w.text(6, country);
        w.text(7, model);
        w.text(8, language);
        w.text(11, bundleID);
    }
};

// LogEvent: event time (1), payload (6), time-zone offset as sint64 (15), uptime (17).
size_t eventSize(const EventFacts& e, size_t payload) {
    return varintField(1, uint64_t(e.timeMillis)) + delimitedField(6, payload) +
           varintField(15, zigzag(e.timezoneOffsetSeconds)) + varintField(17, uint64_t(e.uptime));
}

// The floor: reads the payload files, writes the batched log request by hand (one log request per
// mapping ID, in the order of the IDs' numbers as text, its events in the order made) and gzips it once.
foundation::Data floorRequest(const std::vector<EventFacts>& events, const ClientFacts& client,
                              size_t& encoded) {
    std::map<std::string, std::vector<size_t>> byMapping;
    for (size_t i = 0; i < events.size(); ++i)
        byMapping[events[i].mappingID].push_back(i);
    std::vector<foundation::Data> payloads;
    payloads.reserve(events.size());
    for (const auto& e : events)
        payloads.push_back(foundation::readFile(e.file).value_or(foundation::Data{}));
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t nowMillis = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    const int64_t uptime = std::chrono::duration_cast<std::chrono::microseconds>(
                               std::chrono::steady_clock::now().time_since_epoch())
                               .count();
    // LogRequest: client info (1), log source (2), events (3), request time (4), request uptime (8).
    std::vector<size_t> requestSizes;
    size_t total = 0;
    for (const auto& [mapping, members] : byMapping) {
        size_t n = delimitedField(1, client.size()) + varintField(2, uint64_t(std::stoll(mapping))) +
                   varintField(4, uint64_t(nowMillis)) + varintField(8, uint64_t(uptime));
        for (size_t i : members)
            n += delimitedField(3, eventSize(events[i], payloads[i].size()));
        requestSizes.push_back(n);
        total += delimitedField(1, n);
    }
    foundation::Data message(total);
    encoded = total;
    Writer w{message.data()};
    size_t r = 0;
    for (const auto& [mapping, members] : byMapping) {
        w.delimited(1, requestSizes[r++]);
        w.delimited(1, client.size());
        client.write(w);
        w.field(2, uint64_t(std::stoll(mapping)));
        for (size_t i : members) {
            const auto& e = events[i];
            w.delimited(3, eventSize(e, payloads[i].size()));
            w.field(1, uint64_t(e.timeMillis));
            w.bytes(6, payloads[i].data(), payloads[i].size());
            w.field(15, zigzag(e.timezoneOffsetSeconds));
            w.field(17, uint64_t(e.uptime));
        }
        w.field(4, uint64_t(nowMillis));
        w.field(8, uint64_t(uptime));
    }
    if (w.p != message.data() + message.size()) {
        std::fprintf(stderr, "the hand-written request is not the size it was measured to be\n");
        std::fflush(nullptr);
        std::_Exit(2);
    }
    // Gzipped once, at the uploader's level and window.
    z_stream s{};
    deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    foundation::Data out(deflateBound(&s, uLong(message.size())));
    s.next_in = message.data();
    s.avail_in = uInt(message.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    const int result = deflate(&s, Z_FINISH);
    out.resize(out.size() - s.avail_out);
    deflateEnd(&s);
    return result == Z_STREAM_END ? out : foundation::Data{};
}

struct Result {
    double request = 0, floor = 0; // median milliseconds
    size_t encoded = 0, gzipped = 0, floorEncoded = 0, floorSize = 0;
    double ratio() const { return request / floor; }
    double sizeDifference() const { return double(gzipped) / double(floorSize) - 1.0; }
};

// Stores the events' payloads in `root` with clock snapshots of events logged over a few minutes, then
// times both ways to the compressed request.
Result measure(const fs::path& root, foundation::Data (*payload)(std::mt19937&, uint64_t), int rounds) {
    fs::create_directories(root);
    std::mt19937 rng(42);
    RDTCOREventSet events;
    std::vector<EventFacts> facts;
    const int64_t boot = 1699990000000000;
    int64_t micros = 1700000000000000;
    for (uint64_t id = 1; id <= kEvents; ++id) {
        micros += 20000 + int64_t(rng() % 400000);
        auto e = std::make_shared<RDTCOREvent>(id % 10 ? "137" : "1206", RDTCORTargetFLL);
        e->setEventID(id);
        e->setClockSnapshot(RDTCORClock(micros / 1000, 32400, boot, micros - boot));
        e->setDataObject(std::make_shared<Payload>(payload(rng, id)));
        foundation::ErrorPtr error;
        if (!e->writeToRDTPath(e->payloadFileName(), &error, root.string())) {
            std::fprintf(stderr, "could not write the payloads\n");
            std::fflush(nullptr);
            std::_Exit(2); // the store's queues may still run: no static destructors under them
        }
        facts.push_back(
            {e->mappingID(), (root / e->payloadFileName()).string(), micros / 1000, 32400, micros - boot});
        events.insert(e);
    }
    const ClientFacts client;
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
        const auto floorBytes = floorRequest(facts, client, result.floorEncoded);
        auto t2 = Clock::now();
        if (round < 3) continue;
        request.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        floor.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        result.encoded = encoded.size();
        result.gzipped = gzipped ? gzipped->size() : 0;
        result.floorSize = floorBytes.size();
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
    std::printf("  floor:   median %.3f ms  (written out by hand %zu B, gzipped once %zu B)\n", r.floor,
                r.floorEncoded, r.floorSize);
    std::printf("  ratio %.3f (target <= 1.3), size %+.2f %% (target within 2 %%)  %s\n", r.ratio(),
                r.sizeDifference() * 100, ok ? "ok" : "MISSED");
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 200;
    const char* tmp = std::getenv("TMPDIR");
    fs::path base = fs::path(tmp ? tmp : "/tmp") / ("bench-upload-" + std::to_string(::getpid()));
    std::printf("%zu events x %zu B, %d rounds\n", kEvents, kPayloadSize, rounds);
    bool records = report("report-like record", measure(base / "records", recordPayload, rounds));
    bool text = report("log-like text", measure(base / "text", textPayload, rounds));
    fs::remove_all(base);
    return records && text ? 0 : 1;
}
