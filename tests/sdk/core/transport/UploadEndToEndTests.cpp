// The whole road of stored events to a local backend: one request per target, the backend's wait,
// a cold start, server faults and a killed process, with nothing lost.
#include <catch2/catch.hpp>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "tests/sdk/core/transport/UploadRig.h"
#include "tests/support/ChildProcess.h"

using namespace transporttest;
namespace fs = std::filesystem;

namespace {

constexpr RDTCORUploadConditions kForced = RDTCORUploadConditionWifiData | RDTCORUploadConditionHighPriority;

void configureEndpoints(UploadRig& rig, UploadServer& server) {
    rig.settings->setObject(foundation::Value(server.url("/cct")), kRDTCCTUploaderCCTServerURLKey);
    rig.settings->setObject(foundation::Value(server.url("/fll")), kRDTCCTUploaderFLLServerURLKey);
    rig.settings->setObject(foundation::Value(server.url("/csh")), kRDTCCTUploaderCSHServerURLKey);
    rig.settings->setObject(foundation::Value("key"), kRDTCCTUploaderFLLAndCSHAPIKeyKey);
}

// A payload like a real one: structured text that compresses, different per event.
std::string payload(uint64_t n, size_t size = 1024) {
    std::string s;
    while (s.size() < size)
        s += "{\"event\":" + std::to_string(n) +
             ",\"name\":\"screen_view\",\"params\":{\"index\":" + std::to_string(s.size()) + "}}";
    s.resize(size);
    return s;
}

} // namespace

TEST_CASE("stored events of each target arrive as one request", "[transport][upload][e2e]") {
    ManualClock clock;
    UploadServer server;
    UploadRig rig;
    configureEndpoints(rig, server);
    std::multiset<std::string> expected;
    for (int i = 0; i < 20; ++i) {
        auto target = RDTCORTarget(RDTCORTargetCCT + i % 3);
        auto e = rig.event(payload(uint64_t(i)), target, target == RDTCORTargetCSH ? "1206" : "137");
        if (i % 4 == 0) e->setNeedsNetworkConnectionInfoPopulated(true);
        if (i % 5 == 0) e->setEventCode(1000 + i);
        REQUIRE(rig.store(e));
        expected.insert(payload(uint64_t(i)));
    }
    // One upload runs at a time: a round of the coordinator starts one, the others wait for the next.
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
        REQUIRE(rig.upload({t}, RDTCORUploadConditionWifiData));
    auto requests = server.requests();
    REQUIRE(requests.size() == 3);
    std::set<std::string> paths;
    for (const auto& r : requests) {
        paths.insert(r.path);
        CHECK(r.gzipped()); // 1 KB structured payloads compress well
        auto events = decodeRequest(r.body);
        REQUIRE(events);
        for (const auto& e : *events) {
            uint64_t n = std::stoull(e.payload.substr(9));
            CHECK(e.logSource == (r.path == "/csh" ? 1206 : 137));
            CHECK(e.hasNetworkInfo == (n % 4 == 0));
            CHECK(e.hasEventCode == (n % 5 == 0));
            if (e.hasEventCode) CHECK(e.eventCode == int32_t(1000 + n));
        }
    }
    CHECK(paths == std::set<std::string>{"/cct", "/fll", "/csh"});
    CHECK(payloadsOf(requests) == expected);
    CHECK(rig.storedIDs().empty());
    for (RDTCORTarget t : {RDTCORTargetCCT, RDTCORTargetFLL, RDTCORTargetCSH})
        CHECK(rig.pendingIDs(t).empty());

    // What went over the wire reads the same with protoc.
    REQUIRE(std::system("command -v protoc >/dev/null") == 0);
    std::string path = rig.dir.path + "/request.bin";
    std::ofstream(path, std::ios::binary) << requests[0].body;
    std::string command = "protoc --decode_raw < " + path + " | grep -c '6: \"{'";
    FILE* p = ::popen(command.c_str(), "r");
    char count[32] = {0};
    REQUIRE(std::fgets(count, sizeof count, p));
    ::pclose(p);
    CHECK(std::atoi(count) == int(decodeRequest(requests[0].body)->size()));
}

TEST_CASE("the backend's wait delays the next upload of the timer", "[transport][upload][e2e]") {
    ManualClock clock;
    UploadServer server;
    server.respondAlways({200, logResponse(90000)});
    UploadRig rig(server.url());
    REQUIRE(rig.store(rig.event("first", RDTCORTargetFLL)));
    rig.coordinator->startTimer(); // fires at once
    REQUIRE(server.waitForRequests(1));
    REQUIRE(rig.waitUntilIdle());
    REQUIRE(rig.store(rig.event("second", RDTCORTargetFLL)));
    clock->advance(30.0);
    rig.settle();
    clock->advance(30.0);
    rig.settle();
    CHECK(server.requestCount() == 1); // 60 s: still waiting
    clock->advance(30.0);              // 90 s have passed: the next firing finds it after the wait
    rig.settle();
    clock->advance(30.0);
    REQUIRE(server.waitForRequests(2));
    REQUIRE(rig.waitUntilIdle());
    CHECK(payloadsOf({server.requests()[1]}) == std::multiset<std::string>{"second"});
    rig.coordinator->stopTimer();
}

TEST_CASE("a cold start uploads what the previous process stored", "[transport][upload][e2e]") {
    UploadServer server;
    UploadRig rig(server.url());
    REQUIRE(rig.store(rig.event("before the restart", RDTCORTargetCCT)));
    REQUIRE(rig.store(rig.event("a crash", RDTCORTargetCSH, "1206")));
    rig.relaunch(); // no life-cycle notification: the storage offers its events itself
    CHECK(rig.pendingIDs(RDTCORTargetCCT).size() == 1);
    CHECK(rig.pendingIDs(RDTCORTargetCSH).size() == 1);
    REQUIRE(rig.upload({RDTCORTargetCCT}, RDTCORUploadConditionWifiData));
    REQUIRE(rig.upload({RDTCORTargetCSH}, RDTCORUploadConditionWifiData));
    CHECK(payloadsOf(server.requests()) == std::multiset<std::string>{"before the restart", "a crash"});
    CHECK(rig.storedIDs().empty());
}

TEST_CASE("server faults lose nothing", "[transport][upload][e2e][faults]") {
    ManualClock clock;
    UploadServer good;
    UploadRig rig(good.url());
    std::multiset<std::string> expected;
    for (int i = 0; i < 5; ++i) {
        REQUIRE(rig.store(rig.event(payload(uint64_t(i), 200), RDTCORTargetCCT)));
        expected.insert(payload(uint64_t(i), 200));
    }
    const auto stored = rig.storedIDs();
    auto checkNothingLost = [&] {
        CHECK(rig.storedIDs() == stored);
        CHECK(rig.pendingIDs(RDTCORTargetCCT) == stored);
        for (uint64_t id : stored)
            CHECK(fs::exists(rig.root + "/event-" + std::to_string(id)));
    };

    SECTION("HTTP answers that may succeed later") {
        for (auto answer : {Answer(500), Answer(503), Answer(429, logResponse(120000)),
                            Answer(302, "", "http://127.0.0.1:1/elsewhere")}) {
            INFO("status " << answer.status);
            good.respondAlways(answer);
            REQUIRE(rig.upload({RDTCORTargetCCT}, kForced));
            checkNothingLost();
        }
    }
    SECTION("bytes that are not HTTP") {
        RawServer garbage("\x17\x03\x03 this is not HTTP at all\r\n\r\n");
        rig.uploader->setTestServerURL(garbage.url());
        REQUIRE(rig.upload({RDTCORTargetCCT}, kForced));
        CHECK(garbage.connections() >= 1);
        checkNothingLost();
    }
    SECTION("a connection closed without an answer") {
        RawServer closing("");
        rig.uploader->setTestServerURL(closing.url());
        REQUIRE(rig.upload({RDTCORTargetCCT}, kForced));
        CHECK(closing.connections() >= 1);
        checkNothingLost();
    }
    SECTION("nobody listening") {
        rig.uploader->setTestServerURL("http://127.0.0.1:1/upload");
        REQUIRE(rig.upload({RDTCORTargetCCT}, kForced));
        checkNothingLost();
    }
    SECTION("an answer stalled past the package's expiry") {
        good.respondAlways({200, logResponse(0), {}, true});
        rig.coordinator->uploadTargets({RDTCORTargetCCT}, kForced);
        REQUIRE(good.waitForStalls(1));
        clock->advance(185.0); // past the deliver-by time: expired, given up, offered again
        REQUIRE(rig.waitUntilIdle());
        checkNothingLost();
        good.releaseStalls();
    }
    // The backend recovers: everything arrives.
    UploadServer recovered;
    rig.uploader->setTestServerURL(recovered.url());
    REQUIRE(rig.upload({RDTCORTargetCCT}, kForced));
    CHECK(payloadsOf(recovered.requests()) == expected);
    CHECK(rig.storedIDs().empty());
}

TEST_CASE("a crash report stored during a stalled upload goes out once the stalled one times out",
          "[transport][upload][e2e][timeout]") {
    UploadServer stalling, healthy;
    stalling.respondAlways({200, logResponse(0), {}, true});
    UploadRig rig;
    rig.settings->setObject(foundation::Value(stalling.url("/fll")), kRDTCCTUploaderFLLServerURLKey);
    rig.settings->setObject(foundation::Value(healthy.url("/csh")), kRDTCCTUploaderCSHServerURLKey);
    rig.settings->setObject(foundation::Value("key"), kRDTCCTUploaderFLLAndCSHAPIKeyKey);
    constexpr long kLowSpeedSeconds = 1;
    rig.uploader->setRequestTimeouts({30.0, 1000, kLowSpeedSeconds});

    REQUIRE(rig.store(rig.event("diagnostics", RDTCORTargetFLL)));
    rig.coordinator->uploadTargets({RDTCORTargetFLL}, RDTCORUploadConditionWifiData);
    REQUIRE(stalling.waitForStalls(1));
    // Tier 4 asks for an upload at once; the uploader is still held by the stalled one.
    const auto stored = std::chrono::steady_clock::now();
    REQUIRE(rig.store(rig.event("crash", RDTCORTargetCSH, "1206", RDTCOREventQoSFast)));
    REQUIRE(healthy.waitForRequests(1, std::chrono::seconds(kLowSpeedSeconds + 5)));
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - stored).count();
    CHECK(took < double(kLowSpeedSeconds) + 5);
    CHECK(payloadsOf(healthy.requests()) == std::multiset<std::string>{"crash"});
    REQUIRE(rig.waitUntilIdle());
    CHECK(rig.pendingIDs(RDTCORTargetCSH).empty());
    CHECK(rig.pendingIDs(RDTCORTargetFLL).size() == 1); // the timed-out one waits for a later try
    stalling.releaseStalls();
}

// The uploading process of the kill test: stores the events, forces an upload and waits to be killed.
TEST_CASE("uploading process for the kill test", "[.][upload-child]") {
    const char* root = std::getenv("ZARUVEDEZ_UPLOAD_ROOT");
    const char* url = std::getenv("ZARUVEDEZ_UPLOAD_URL");
    if (!root || !url) return; // only ever run by the kill test
    UploadRig rig(std::string(url), root);
    for (int i = 0; i < 10; ++i)
        rig.store(rig.event(payload(uint64_t(i), 300), RDTCORTargetCSH, "1206"));
    rig.coordinator->uploadTargets({RDTCORTargetCSH}, kForced);
    for (;;)
        ::pause();
}

TEST_CASE("a process killed during an upload loses nothing and the next start sends again",
          "[transport][upload][e2e][kill]") {
    TempDir dir;
    const std::string root = dir.path + "/ruvara-sdks-events";
    UploadServer server;
    server.respondAlways({200, logResponse(0), {}, true}); // the child's upload never gets its answer
    const pid_t pid = testsupport::startThisProgram(
        "[upload-child]",
        {{"ZARUVEDEZ_UPLOAD_ROOT", root}, {"ZARUVEDEZ_UPLOAD_URL", server.url()}, {"TMPDIR", dir.path}});
    bool stalled = server.waitForStalls(1);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    REQUIRE(stalled);
    CHECK(WIFSIGNALED(status));
    std::multiset<std::string> expected;
    for (int i = 0; i < 10; ++i)
        expected.insert(payload(uint64_t(i), 300));
    CHECK(payloadsOf(server.requests()) == expected); // what the killed process sent

    // The next start: the same events again (a duplicate is acceptable, a loss is not).
    UploadServer next;
    UploadRig rig(next.url(), root);
    CHECK(rig.pendingIDs(RDTCORTargetCSH).size() == 10);
    REQUIRE(rig.upload({RDTCORTargetCSH}, kForced));
    CHECK(payloadsOf(next.requests()) == expected);
    CHECK(rig.storedIDs().empty());
    server.releaseStalls();
}
