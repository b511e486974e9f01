// Random mutations of valid inputs fed to the decoders that read what comes from outside: the log
// response, the prioritizer's archive and the event extras. They must neither crash nor hang. The
// ctest run is short; ZARUVEDEZ_FUZZ_ITERATIONS sets a longer one (millions) by hand.
#include <catch2/catch.hpp>

#include <fstream>

#include "platform/foundation/Log.h"
#include "sdk/core/transport/ArchiveCodec.h"
#include "sdk/core/transport/Base64.h"
#include "sdk/core/transport/RDTCCTNanopbHelpers.h"
#include "sdk/core/transport/RDTCCTPrioritizer.h"
#include "tests/sdk/core/transport/UploadRig.h"
#include "tests/support/Mutator.h"

using namespace transporttest;
using foundation::Data;
using testsupport::fuzzIterations;
using testsupport::Mutator;

namespace {

Data bytesOf(const std::string& s) {
    return Data(s.begin(), s.end());
}

} // namespace

TEST_CASE("the log response decoder survives mutated answers", "[transport][fuzz]") {
    std::vector<Data> seeds{
        bytesOf(logResponse(60000)), bytesOf(logResponse(-1)),
        bytesOf(logResponse(0) + std::string("\x1a\x09\x0a\x05\x10\x01\x18\x89\x01\x10\x09", 11)),
        bytesOf(std::string("\x1a\x04\x0a\x02\x10\x02", 6)), Data{}};
    Mutator m(20261207);
    size_t decoded = 0;
    for (size_t i = 0, n = fuzzIterations(200000); i < n; ++i) {
        Data input = m.mutate(seeds);
        foundation::ErrorPtr error;
        auto r = RDTCCTDecodeLogResponse(input, &error);
        if (!error) ++decoded;
        if (error) REQUIRE_FALSE(r.nextRequestWaitMillis);
    }
    CHECK(decoded > 0);
}

TEST_CASE("the prioritizer's archive decoder survives mutated archives", "[transport][fuzz]") {
    TempDir dir;
    auto prioritizer = RDTCCTPrioritizer::create({dir.path, nullptr, {}, wifiRecord});
    for (uint64_t id = 1; id <= 3; ++id) {
        auto e = makeEvent(id, "p", RDTCORTarget(RDTCORTargetCCT + int(id % 3)), RDTCOREventQoS(id));
        e->setClockSnapshot(RDTCORClock(1, 2, 3, 4));
        e->setEventCode(int64_t(id));
        foundation::ErrorPtr error;
        REQUIRE(e->writeToRDTPath(e->payloadFileName(), &error, dir.path));
        prioritizer->prioritizeEvent(e);
    }
    prioritizer->saveState();
    auto archive = foundation::readFile(prioritizer->archivePath());
    REQUIRE(archive);
    auto value = transport::codec::unframe(*archive);
    REQUIRE(value);
    // Mutated whole files mostly stop at the checksum; re-framed mutated bodies reach the decoding.
    std::vector<Data> files{*archive};
    std::vector<Data> bodies{transport::codec::encodeValue(*value)};

    auto target = RDTCCTPrioritizer::create({dir.path, nullptr, {}, wifiRecord});
    Mutator m(7);
    size_t accepted = 0;
    foundation::LogCapture log; // damaged archives are logged, one line each
    for (size_t i = 0, n = fuzzIterations(100000); i < n; ++i) {
        Data input = i % 4 == 0 ? m.mutate(files) : transport::codec::frame(m.mutate(bodies));
        foundation::ErrorPtr error;
        if (target->readArchive(&input, &error)) ++accepted;
        if (i % 1024 == 0) log.clear();
    }
    // Whatever got in is sound: one event per payload file, each file one of the three written.
    std::set<std::string> payloadFiles;
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH}) {
        auto events = target->eventsForTarget(t);
        for (const auto& e : events.value()) {
            CHECK(e->target() == t);
            CHECK(payloadFiles.insert(e->RDTFilePath().value_or("?")).second);
        }
    }
    CHECK(payloadFiles.size() <= 3);
    for (const auto& f : payloadFiles)
        CHECK((f == "event-1" || f == "event-2" || f == "event-3"));
    INFO("accepted " << accepted);
    CHECK(accepted > 0);
}

TEST_CASE("the event extras survive mutated custom bytes", "[transport][fuzz]") {
    RDTCOREvent e("137", RDTCORTargetCCT);
    e.setNeedsNetworkConnectionInfoPopulated(true);
    e.setNetworkConnectionInfoData(RDTCCTNetworkConnectionInfoFor(2, 11));
    e.setEventCode(-42);
    std::vector<Data> seeds{*e.customBytes(), bytesOf("{\"event_code_info\":\"2147483648\"}"),
                            bytesOf("{\"network_connection_info\":\"AQAAAP////8AAAAAAAAAAA==\"}")};
    Mutator m(99);
    for (size_t i = 0, n = fuzzIterations(100000); i < n; ++i) {
        RDTCOREvent event("137", RDTCORTargetCCT);
        event.setCustomBytes(m.mutate(seeds));
        (void)event.needsNetworkConnectionInfoPopulated();
        if (auto data = event.networkConnectionInfoData()) (void)RDTCCTNetworkConnectionRecordFromData(*data);
        (void)event.eventCode();
        if (i % 8 == 0) event.setEventCode(int64_t(i));
        std::string text(event.customBytes()->begin(), event.customBytes()->end());
        if (auto decoded = transport::base64Decode(text)) REQUIRE(transport::base64Encode(*decoded) == text);
    }
    SUCCEED();
}
