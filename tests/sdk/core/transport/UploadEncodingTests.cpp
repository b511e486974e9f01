// The batched log request and the log response, the event extras and gzip.
#include <catch2/catch.hpp>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <pb_decode.h>
#include <zlib.h>

#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "sdk/core/transport/RDTCCTCompressionHelper.h"
#include "sdk/core/transport/RDTCCTNanopbHelpers.h"
#include "tests/sdk/core/transport/UploadRig.h"

using namespace transporttest;

namespace {

std::shared_ptr<RDTCOREvent> writtenEvent(const std::string& root, uint64_t id, const std::string& payload,
                                          const std::string& mappingID = "137") {
    auto e = std::make_shared<RDTCOREvent>(mappingID, RDTCORTargetCCT);
    e->setEventID(id);
    e->setClockSnapshot(RDTCORClock(1700000000123, 32400, 1690000000000000, 5000000));
    e->setDataObject(std::make_shared<BytesObject>(payload));
    foundation::ErrorPtr error;
    REQUIRE(e->writeToRDTPath(e->payloadFileName(), &error, root));
    return e;
}

std::string encode(const std::map<std::string, RDTCOREventSet>& sets, const std::string& root) {
    auto bytes = RDTCCTEncode(RDTCCTConstructBatchedLogRequest(sets, root));
    return std::string(bytes.begin(), bytes.end());
}

std::optional<foundation::Data> gunzip(const foundation::Data& in) {
    z_stream s{};
    if (inflateInit2(&s, 31) != Z_OK) return std::nullopt;
    foundation::Data out(in.size() * 20 + 64);
    s.next_in = const_cast<Bytef*>(in.data());
    s.avail_in = uInt(in.size());
    s.next_out = out.data();
    s.avail_out = uInt(out.size());
    int r = inflate(&s, Z_FINISH);
    out.resize(s.total_out);
    inflateEnd(&s);
    if (r != Z_STREAM_END) return std::nullopt;
    return out;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

} // namespace

TEST_CASE("event extras live in the custom bytes as JSON", "[transport][upload][extras]") {
    RDTCOREvent e("137", RDTCORTargetCCT);
    SECTION("absent extras read as absent") {
        CHECK_FALSE(e.needsNetworkConnectionInfoPopulated());
        CHECK_FALSE(e.networkConnectionInfoData());
        CHECK_FALSE(e.eventCode());
    }
    SECTION("each setter keeps the others' keys") {
        e.setNeedsNetworkConnectionInfoPopulated(true);
        e.setEventCode(42);
        auto record = RDTCCTNetworkConnectionInfoFor(2, 11);
        e.setNetworkConnectionInfoData(record);
        CHECK(e.needsNetworkConnectionInfoPopulated());
        CHECK(e.eventCode() == std::optional<int64_t>(42));
        CHECK(e.networkConnectionInfoData() == std::optional<foundation::Data>(record));
        std::string json(e.customBytes()->begin(), e.customBytes()->end());
        CHECK(json.find("\"event_code_info\":\"42\"") != std::string::npos);
        CHECK(json.find("\"needs_network_connection_info\":true") != std::string::npos);

        e.setNeedsNetworkConnectionInfoPopulated(false);
        e.setEventCode(std::nullopt);
        CHECK_FALSE(e.needsNetworkConnectionInfoPopulated());
        CHECK_FALSE(e.eventCode());
        CHECK(e.networkConnectionInfoData() == std::optional<foundation::Data>(record));
        e.setNetworkConnectionInfoData(std::nullopt); // nil changes nothing
        CHECK(e.networkConnectionInfoData());
    }
    SECTION("custom bytes that are not a JSON object are left alone by the setters") {
        for (std::string junk :
             std::vector<std::string>{"not json", "[1,2]", "\"text\"", std::string("{\"a\":\xff}", 8)}) {
            e.setCustomBytes(foundation::Data(junk.begin(), junk.end()));
            e.setEventCode(7);
            e.setNeedsNetworkConnectionInfoPopulated(true);
            CHECK(e.customBytes() ==
                  std::optional<foundation::Data>(foundation::Data(junk.begin(), junk.end())));
            CHECK_FALSE(e.eventCode());
            CHECK_FALSE(e.needsNetworkConnectionInfoPopulated());
        }
    }
    SECTION("an event code must be whole decimal text") {
        for (std::string stored : std::vector<std::string>{"12x", "", " 5", "99999999999999999999", "1.5"}) {
            std::string json = "{\"event_code_info\":\"" + stored + "\"}";
            e.setCustomBytes(foundation::Data(json.begin(), json.end()));
            CHECK_FALSE(e.eventCode());
        }
        std::string json = "{\"event_code_info\":\"-17\",\"network_connection_info\":\"%%%\"}";
        e.setCustomBytes(foundation::Data(json.begin(), json.end()));
        CHECK(e.eventCode() == std::optional<int64_t>(-17));
        CHECK_FALSE(e.networkConnectionInfoData()); // not base64
    }
}

TEST_CASE("the network connection record", "[transport][upload][extras]") {
    SECTION("16 bytes in the machine's order, per network kind") {
        auto none = RDTCCTNetworkConnectionRecordFromData(RDTCCTNetworkConnectionInfoFor(0, 11));
        REQUIRE(none);
        CHECK(none->hasNetworkType == 0);
        CHECK(none->networkType == -1);
        CHECK(none->hasMobileSubtype == 0);
        auto wifi = RDTCCTNetworkConnectionRecordFromData(RDTCCTNetworkConnectionInfoFor(1, 11));
        CHECK((wifi->hasNetworkType == 1 && wifi->networkType == 1 && wifi->hasMobileSubtype == 0));
        auto lte = RDTCCTNetworkConnectionRecordFromData(RDTCCTNetworkConnectionInfoFor(2, 11));
        CHECK((lte->hasNetworkType == 1 && lte->networkType == 0 && lte->hasMobileSubtype == 1 &&
               lte->mobileSubtype == 13));
        auto wcdma = RDTCCTNetworkConnectionRecordFromData(RDTCCTNetworkConnectionInfoFor(2, 3));
        CHECK((wcdma->hasNetworkType == 1 && wcdma->hasMobileSubtype == 0)); // no wire subtype
        auto bytes = RDTCCTNetworkConnectionInfoFor(1, 0);
        REQUIRE(bytes.size() == 16);
        CHECK((bytes[1] == 0 && bytes[2] == 0 && bytes[3] == 0));
        CHECK_FALSE(RDTCCTNetworkConnectionRecordFromData(foundation::Data(15)));
    }
}

TEST_CASE("the log source is the mapping ID's leading number", "[transport][upload][encoding]") {
    CHECK(RDTCCTLogSourceForMappingID("137") == 137);
    CHECK(RDTCCTLogSourceForMappingID("1206") == 1206);
    CHECK(RDTCCTLogSourceForMappingID("  42abc") == 42);
    CHECK(RDTCCTLogSourceForMappingID("abc") == 0);
    CHECK(RDTCCTLogSourceForMappingID("-5") == -5);
    CHECK(RDTCCTLogSourceForMappingID("99999999999999999999") == INT32_MAX);
}

TEST_CASE("the batched log request holds every event with its payload", "[transport][upload][encoding]") {
    TempDir dir;
    auto a = writtenEvent(dir.path, 1, "first payload", "137");
    auto b = writtenEvent(dir.path, 2, std::string("\0bin\xff", 5), "137");
    auto c = writtenEvent(dir.path, 3, "crash report", "1206");
    c->setEventCode(99);
    c->setNetworkConnectionInfoData(RDTCCTNetworkConnectionInfoFor(0, 0));

    std::string body = encode({{"137", {a, b}}, {"1206", {c}}}, dir.path);
    auto requests = decodeRequests(body);
    REQUIRE(requests);
    REQUIRE(requests->size() == 2);
    std::map<int32_t, DecodedRequest> bySource;
    for (const auto& r : *requests)
        bySource[r.logSource] = r;
    REQUIRE(bySource.count(137));
    REQUIRE(bySource.count(1206));
    const auto& r137 = bySource[137];
    REQUIRE(r137.events.size() == 2);
    CHECK(r137.clientType == 15);
    CHECK(r137.hasClientInfo);
    CHECK(r137.languageCode == "en");
    CHECK(r137.bundleID == "jp.zaruvedez.clinic");
    CHECK(r137.hasRequestTime);
    CHECK(r137.hasRequestUptime);
    CHECK_FALSE(r137.hasQosTier);
    const auto& e1 = r137.events[0];
    CHECK(e1.eventTime == 1700000000123);
    CHECK(e1.timezoneOffset == 32400);
    CHECK(e1.uptime == 5000000);
    CHECK(e1.payload == "first payload");
    CHECK_FALSE(e1.hasEventCode); // no extras: no fields 11 and 23
    CHECK_FALSE(e1.hasNetworkInfo);
    CHECK(r137.events[1].payload == std::string("\0bin\xff", 5));
    const auto& crash = bySource[1206].events.at(0);
    CHECK(crash.hasEventCode);
    CHECK(crash.eventCode == 99);
    CHECK(crash.hasNetworkInfo);
    CHECK_FALSE(crash.networkInfo.has_network_type); // no network: neither field
    CHECK_FALSE(crash.networkInfo.has_mobile_subtype);

    SECTION("protoc reads the same fields") {
        REQUIRE(std::system("command -v protoc >/dev/null") == 0);
        std::string path = dir.path + "/body.bin";
        std::ofstream(path, std::ios::binary) << body;
        std::string text = run("protoc --decode_raw < " + path);
        CHECK(text.find("2: 137") != std::string::npos);
        CHECK(text.find("2: 1206") != std::string::npos);
        CHECK(text.find("6: \"first payload\"") != std::string::npos);
        CHECK(text.find("6: \"crash report\"") != std::string::npos);
        CHECK(text.find("11: 99") != std::string::npos);
        CHECK(text.find("15: 64800") != std::string::npos); // zigzag of 32400
        CHECK(text.find("1: 15") != std::string::npos);     // client type
    }
}

TEST_CASE("events whose payload cannot be read keep their place without it",
          "[transport][upload][encoding]") {
    TempDir dir;
    foundation::LogCapture log;
    auto missing = writtenEvent(dir.path, 1, "gone");
    std::filesystem::remove(dir.path + "/event-1");
    auto outside = writtenEvent(dir.path, 2, "x");
    std::ofstream(dir.path + "/secret") << "not a payload";
    outside->setRDTFilePath("../" + std::filesystem::path(dir.path).filename().string() + "/secret");
    auto absolute = writtenEvent(dir.path, 3, "y");
    absolute->setRDTFilePath(dir.path + "/secret");
    auto unnamed = writtenEvent(dir.path, 4, "z");
    unnamed->setRDTFilePath(std::nullopt);

    auto events = decodeRequest(encode({{"137", {missing, outside, absolute, unnamed}}}, dir.path));
    REQUIRE(events);
    REQUIRE(events->size() == 4);
    for (const auto& e : *events)
        CHECK_FALSE(e.hasPayload);
    CHECK(log.contains("An event's fileURL property was nil."));
}

TEST_CASE("an event code outside 32 bits is left out", "[transport][upload][encoding]") {
    TempDir dir;
    auto big = writtenEvent(dir.path, 1, "a");
    big->setEventCode(int64_t(INT32_MAX) + 1);
    auto small = writtenEvent(dir.path, 2, "b");
    small->setEventCode(int64_t(INT32_MIN) - 1);
    auto edge = writtenEvent(dir.path, 3, "c");
    edge->setEventCode(INT32_MIN);
    auto events = decodeRequest(encode({{"137", {big, small, edge}}}, dir.path));
    REQUIRE(events);
    CHECK_FALSE((*events)[0].hasEventCode);
    CHECK_FALSE((*events)[1].hasEventCode);
    CHECK((*events)[2].hasEventCode);
    CHECK((*events)[2].eventCode == INT32_MIN);
}

TEST_CASE("an empty event set gives an empty log request", "[transport][upload][encoding]") {
    foundation::LogCapture log;
    auto request = RDTCCTConstructLogRequest(137, {});
    CHECK_FALSE(request.message.has_client_info);
    CHECK(request.events.empty());
    CHECK(log.contains("An empty event set can't be serialized to proto."));
}

TEST_CASE("payloads past 64 KiB and thousands of events fit one request", "[transport][upload][encoding]") {
    TempDir dir;
    std::string big(300000, 'x');
    for (size_t i = 0; i < big.size(); i += 3)
        big[i] = char(i % 251);
    RDTCOREventSet events{writtenEvent(dir.path, 1, big)};
    for (uint64_t id = 2; id <= 70000; ++id) {
        auto e = std::make_shared<RDTCOREvent>("137", RDTCORTargetCCT);
        e->setEventID(id);
        e->setClockSnapshot(RDTCORClock());
        events.insert(e); // no payload file: each still takes its place
    }
    foundation::LogCapture log;
    auto decoded = decodeRequest(encode({{"137", events}}, dir.path));
    REQUIRE(decoded);
    CHECK(decoded->size() == 70000);
    CHECK((*decoded)[0].payload == big);
}

TEST_CASE("the log response decoder", "[transport][upload][decoding]") {
    foundation::ErrorPtr error;
    SECTION("empty bytes are an empty response without error") {
        auto r = RDTCCTDecodeLogResponse(foundation::Data{}, &error);
        CHECK_FALSE(error);
        CHECK_FALSE(r.nextRequestWaitMillis);
    }
    SECTION("the wait and the QoS override") {
        std::string bytes = logResponse(60000);
        // field 3: { field 1: { field 2: 1, field 3: 137 }, field 2: 9 }
        bytes += std::string("\x1a\x09\x0a\x05\x10\x01\x18\x89\x01\x10\x09", 11);
        auto r = RDTCCTDecodeLogResponse(foundation::Data(bytes.begin(), bytes.end()), &error);
        CHECK_FALSE(error);
        CHECK(r.nextRequestWaitMillis == std::optional<int64_t>(60000));
        CHECK(r.qosTierConfigurationCount == 1);
        CHECK(r.qosTierFingerprint == std::optional<int64_t>(9));
    }
    SECTION("garbage is an error of NSURLErrorDomain -1 with nanopb's reason") {
        std::string junk = "\x08\xff\xff";
        auto r = RDTCCTDecodeLogResponse(foundation::Data(junk.begin(), junk.end()), &error);
        REQUIRE(error);
        CHECK(error->domain() == "NSURLErrorDomain");
        CHECK(error->code() == -1);
        CHECK(error->userInfo().count("nanopb error:"));
        CHECK_FALSE(r.nextRequestWaitMillis);
    }
}

TEST_CASE("gzip of request bodies", "[transport][upload][gzip]") {
    CHECK_FALSE(RDTCCTCompressionHelper::gzippedData(foundation::Data{}));
    CHECK_FALSE(RDTCCTCompressionHelper::isGzipped(foundation::Data{0x1f}));
    for (size_t size : {size_t(1), size_t(1023), size_t(1024), size_t(70000), size_t(3 << 20)}) {
        foundation::Data input(size);
        for (size_t i = 0; i < size; ++i)
            input[i] = uint8_t((i * 2654435761u) >> (i % 7 == 0 ? 3 : 24));
        auto zipped = RDTCCTCompressionHelper::gzippedData(input);
        REQUIRE(zipped);
        CHECK(RDTCCTCompressionHelper::isGzipped(*zipped));
        CHECK(gunzip(*zipped) == std::optional<foundation::Data>(input));
    }
}
