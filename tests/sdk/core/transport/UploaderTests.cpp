// The CCT uploader against a local server: readiness and the backend's wait, how each answer ends a
// package, request bodies and headers, redirects, slow and stalled links, and giving up an upload.
#include <catch2/catch.hpp>

#include <climits>
#include <random>

#include "platform/foundation/Log.h"
#include "sdk/core/transport/RDTCCTCompressionHelper.h"
#include "tests/sdk/core/transport/UploadRig.h"

using namespace transporttest;

namespace {

// Records how packages ended.
class RecordingHandler : public RDTCORUploadPackageProtocol {
  public:
    void packageDelivered(std::shared_ptr<RDTCORUploadPackage>, bool successful) override {
        std::lock_guard lock(mutex);
        outcomes.push_back(successful ? "delivered" : "retry");
    }
    void packageExpired(std::shared_ptr<RDTCORUploadPackage>) override {
        std::lock_guard lock(mutex);
        outcomes.push_back("expired");
    }
    std::vector<std::string> seen() {
        std::lock_guard lock(mutex);
        return outcomes;
    }
    std::mutex mutex;
    std::vector<std::string> outcomes;
};

constexpr RDTCORUploadConditions kWifi = RDTCORUploadConditionWifiData;
constexpr RDTCORUploadConditions kForced = RDTCORUploadConditionWifiData | RDTCORUploadConditionHighPriority;

// The request limits with their minute scaled down to a second. The rate, 256 KiB/s, is one that the few
// hundred kilobytes the kernel takes in ahead of a stalled reader cannot hold up for more than a moment,
// and that a server reading at 1 MiB/s stays well above.
constexpr transport::HttpTimeouts kShortLimits{30.0, 262144, 1};

// Bytes that gzip cannot shorten, so the body posted is as long as the payload.
std::string incompressible(size_t size) {
    std::mt19937_64 bits(size);
    std::string out(size, '\0');
    for (char& c : out)
        c = char(bits());
    return out;
}

} // namespace

TEST_CASE("readiness follows the backend's wait", "[transport][uploader]") {
    ManualClock clock;
    UploadServer server;
    UploadRig rig(server.url());
    REQUIRE(rig.store(rig.event("a", RDTCORTargetFLL)));

    SECTION("a wait of 60 s holds target 1001 back unless forced") {
        server.respondAlways({200, logResponse(60000)});
        REQUIRE(rig.upload({RDTCORTargetFLL}));
        CHECK(server.requestCount() == 1);
        CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kWifi));
        CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kForced));
        CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetCCT, kWifi)); // its own wait is not set
        clock->advance(60.0);
        CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kWifi));
        clock->advance(0.01);
        CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kWifi));
    }
    SECTION("an answer without a readable wait holds for 15 minutes") {
        server.respondAlways({200, "\xff\xff garbage"});
        REQUIRE(rig.store(rig.event("b", RDTCORTargetCCT)));
        REQUIRE(rig.upload({RDTCORTargetCCT}));
        clock->advance(899.0);
        CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetCCT, kWifi));
        clock->advance(1.01);
        CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetCCT, kWifi));
    }
    SECTION("an answer to target 1002 sets the wait of target 1001; 1002 is ready while it holds events") {
        CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetCSH, kWifi));
        REQUIRE(rig.store(rig.event("crash", RDTCORTargetCSH, "1206")));
        CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetCSH, kWifi));
        server.respondAlways({200, logResponse(5000)});
        REQUIRE(rig.upload({RDTCORTargetCSH}));
        CHECK(rig.uploader->FLLNextUploadTime());
        CHECK_FALSE(rig.uploader->CCTNextUploadTime());
        CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kWifi));
        CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetCSH, kWifi)); // delivered: nothing held
    }
    SECTION("a wait longer than a day is held to a day; a negative one is none") {
        for (int64_t asked : {int64_t(1) << 62, INT64_MAX, int64_t(86400000) + 1}) {
            INFO("asked " << asked);
            REQUIRE(rig.store(rig.event("long", RDTCORTargetFLL)));
            server.respondAlways({200, logResponse(asked)});
            REQUIRE(rig.upload({RDTCORTargetFLL}));
            REQUIRE(rig.uploader->FLLNextUploadTime());
            clock->advance(86400.0);
            CHECK_FALSE(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kWifi));
            clock->advance(0.01);
            CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetFLL, kWifi));
        }

        REQUIRE(rig.store(rig.event("c", RDTCORTargetCCT)));
        server.respondAlways({200, logResponse(-5000)});
        REQUIRE(rig.upload({RDTCORTargetCCT}));
        clock->advance(0.01);
        CHECK(rig.uploader->readyToUploadTarget(RDTCORTargetCCT, kWifi));
    }
}

TEST_CASE("how each answer ends a package", "[transport][uploader]") {
    ManualClock clock;
    UploadServer server;
    UploadRig rig(server.url());
    REQUIRE(rig.store(rig.event("one", RDTCORTargetCCT)));
    REQUIRE(rig.store(rig.event("two", RDTCORTargetCCT)));
    const auto stored = rig.storedIDs();

    auto check = [&](int status, bool delivered) {
        INFO("status " << status);
        server.respondAlways({status, logResponse(0)});
        auto before = server.requestCount();
        REQUIRE(rig.upload({RDTCORTargetCCT}));
        CHECK(server.requestCount() == before + 1);
        CHECK(rig.storedIDs() == (delivered ? std::set<uint64_t>{} : stored));
        CHECK(rig.pendingIDs(RDTCORTargetCCT) == (delivered ? std::set<uint64_t>{} : stored));
    };
    SECTION("5xx, 429 and an unfollowed redirect keep the events") {
        for (int status : {500, 502, 503, 429, 304})
            check(status, false);
        check(200, true);
    }
    SECTION("a success is delivered and announced") {
        std::atomic<uint64_t> announced{0};
        auto token = rig.center->addObserver(
            kRDTCCTUploadCompleteNotification, nullptr, nullptr,
            [&](const foundation::Notification& n) { announced = std::any_cast<uint64_t>(n.payload); });
        check(200, true);
        CHECK(announced == 2);
    }
    SECTION("another 4xx is a rejected request that cannot succeed later") {
        check(400, true);
    }
}

TEST_CASE("request bodies and headers", "[transport][uploader]") {
    UploadServer server;
    UploadRig rig;
    rig.settings->setObject(foundation::Value(server.url("/cct")), kRDTCCTUploaderCCTServerURLKey);
    rig.settings->setObject(foundation::Value(server.url("/fll")), kRDTCCTUploaderFLLServerURLKey);
    rig.settings->setObject(foundation::Value(server.url("/csh")), kRDTCCTUploaderCSHServerURLKey);
    rig.settings->setObject(foundation::Value("secret-key"), kRDTCCTUploaderFLLAndCSHAPIKeyKey);

    SECTION("endpoints per target, the key only for 1001 and 1002") {
        CHECK(rig.uploader->serverURLForTarget(RDTCORTargetCCT) == server.url("/cct"));
        CHECK(rig.uploader->serverURLForTarget(77).empty());
        auto cct = rig.uploader->constructRequestForTarget(RDTCORTargetCCT, {1, 2, 3});
        CHECK_FALSE(cct.header("X-Ruv-Api-Key"));
        CHECK_FALSE(cct.header("Content-Encoding"));
        CHECK(cct.header("Content-Type") == std::optional<std::string>("application/x-protobuf"));
        CHECK(cct.header("Accept-Encoding") == std::optional<std::string>("gzip"));
        CHECK(cct.header("User-Agent") ==
              std::optional<std::string>("datatransport/6.2.1 cctsupport/3.2.0 apple/"));
        auto csh = rig.uploader->constructRequestForTarget(RDTCORTargetCSH, {0x1f, 0x8b, 0});
        CHECK(csh.header("X-Ruv-Api-Key") == std::optional<std::string>("secret-key"));
        CHECK(csh.header("Content-Encoding") == std::optional<std::string>("gzip"));
        CHECK(csh.header("User-Agent") ==
              std::optional<std::string>("datatransport/6.2.1 cshsupport/3.2.0 apple/"));
        rig.uploader->setTestServerURL(server.url("/test"));
        CHECK(rig.uploader->serverURLForTarget(RDTCORTargetFLL) == server.url("/test"));
    }
    SECTION("gzip only when it is shorter") {
        REQUIRE(rig.store(rig.event("x", RDTCORTargetCCT)));
        REQUIRE(rig.upload({RDTCORTargetCCT}));
        std::string big(20000, 'a');
        for (size_t i = 0; i < big.size(); i += 7)
            big[i] = char('a' + i % 13);
        REQUIRE(rig.store(rig.event(big, RDTCORTargetFLL)));
        REQUIRE(rig.upload({RDTCORTargetFLL}));
        auto requests = server.requests();
        REQUIRE(requests.size() == 2);
        CHECK(requests[0].path == "/cct");
        CHECK_FALSE(requests[0].gzipped()); // a tiny request grows when gzipped
        CHECK(requests[0].header("X-Ruv-Api-Key").empty());
        CHECK(requests[1].path == "/fll");
        CHECK(requests[1].gzipped());
        CHECK(requests[1].header("X-Ruv-Api-Key") == "secret-key");
        auto events = decodeRequest(requests[1].body);
        REQUIRE(events);
        REQUIRE(events->size() == 1);
        CHECK((*events)[0].payload == big);
    }
    SECTION("a redirect to the target-1001 endpoint is posted to target 1000 instead") {
        server.respond([&](const ReceivedRequest& r) {
            if (r.path == "/csh") return Answer{302, "", server.url("/fll")};
            return Answer{200, logResponse(0)};
        });
        REQUIRE(rig.store(rig.event("crash", RDTCORTargetCSH, "1206")));
        REQUIRE(rig.upload({RDTCORTargetCSH}));
        auto requests = server.requests();
        REQUIRE(requests.size() == 2);
        CHECK(requests[1].path == "/cct");
        CHECK(requests[1].header("X-Ruv-Api-Key").empty());
        CHECK(payloadsOf({requests[1]}) == std::multiset<std::string>{"crash"});
        CHECK(rig.storedIDs().empty());
    }
    SECTION("a redirect elsewhere is refused and the events wait") {
        server.respond([&](const ReceivedRequest& r) {
            if (r.path == "/cct") return Answer{301, "", server.url("/elsewhere")};
            return Answer{200, logResponse(0)};
        });
        REQUIRE(rig.store(rig.event("kept", RDTCORTargetCCT)));
        REQUIRE(rig.upload({RDTCORTargetCCT}));
        CHECK(server.requestCount() == 1); // "/elsewhere" never asked
        CHECK(rig.storedIDs().size() == 1);
    }
    SECTION("the key follows a redirect only within the endpoint's origin") {
        UploadServer other;
        const std::string byName = "http://localhost:" + std::to_string(server.port()) + "/moved";
        for (auto [status, to, keeps] :
             {std::tuple{307, server.url("/moved"), true}, std::tuple{308, other.url("/moved"), false},
              std::tuple{307, byName, false}}) {
            INFO(status << " to " << to);
            server.respond([&, status = status, to = to](const ReceivedRequest& r) {
                if (r.path == "/csh") return Answer{status, "", to};
                return Answer{200, logResponse(0)};
            });
            REQUIRE(rig.store(rig.event("crash", RDTCORTargetCSH, "1206")));
            const size_t here = server.requestCount(), there = other.requestCount();
            REQUIRE(rig.upload({RDTCORTargetCSH}));
            // This round's requests: the post to the endpoint, then the redirected one.
            std::vector<ReceivedRequest> round;
            for (auto [s, from] : {std::pair{&server, here}, std::pair{&other, there}}) {
                auto all = s->requests();
                round.insert(round.end(), all.begin() + long(from), all.end());
            }
            REQUIRE(round.size() == 2);
            const auto& moved = round[0].path == "/moved" ? round[0] : round[1];
            CHECK(moved.path == "/moved");
            CHECK(moved.header("X-Ruv-Api-Key") == (keeps ? "secret-key" : ""));
            CHECK(payloadsOf({moved}) == std::multiset<std::string>{"crash"});
            CHECK(rig.storedIDs().empty());
        }
    }
    SECTION("other redirects are followed as proposed") {
        server.respond([&](const ReceivedRequest& r) {
            if (r.path == "/cct") return Answer{307, "", server.url("/moved")};
            return Answer{200, logResponse(0)};
        });
        REQUIRE(rig.store(rig.event("moved", RDTCORTargetCCT)));
        REQUIRE(rig.upload({RDTCORTargetCCT}));
        auto requests = server.requests();
        REQUIRE(requests.size() == 2);
        CHECK(requests[1].path == "/moved");
        CHECK(payloadsOf({requests[1]}) == std::multiset<std::string>{"moved"});
        CHECK(rig.storedIDs().empty());
    }
}

TEST_CASE("every request is bounded in time and a timed-out upload keeps its events",
          "[transport][uploader][timeout]") {
    UploadServer server;
    UploadRig rig(server.url());
    const auto defaults = rig.uploader->requestTimeouts();
    CHECK(defaults.connectSeconds == 30.0);
    CHECK(defaults.lowSpeedBytesPerSecond == 1000);
    CHECK(defaults.lowSpeedSeconds == 60);
    CHECK(defaults.lowSpeedSeconds * 1000 < RDTCORUploadPackage::kDeliverWithinMillis / 2);
    REQUIRE(rig.store(rig.event("held", RDTCORTargetCCT)));
    auto stored = rig.storedIDs();
    auto timed = [&](transport::HttpTimeouts timeouts) {
        rig.uploader->setRequestTimeouts(timeouts);
        auto start = std::chrono::steady_clock::now();
        REQUIRE(rig.upload({RDTCORTargetCCT}, kForced));
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    SECTION("a server that accepts and never answers") {
        server.respondAlways({200, logResponse(0), {}, true});
        CHECK(timed(kShortLimits) < 10.0);
        CHECK(server.requestCount() == 1);
        server.releaseStalls();
    }
    SECTION("a server that stops reading the body") {
        PacedServer stalled(1 << 20, 16384);
        rig.uploader->setTestServerURL(stalled.url());
        REQUIRE(rig.store(rig.event(incompressible(5 << 19), RDTCORTargetCCT)));
        stored = rig.storedIDs();
        CHECK(timed(kShortLimits) < 10.0);
        CHECK(stalled.bodyBytes() == 16384);
        CHECK(stalled.answered() == 0);
    }
    SECTION("a host that never completes the connection") {
        UnansweredServer silent;
        rig.uploader->setTestServerURL(silent.url());
        CHECK(timed({0.3, 1000, 60}) < 10.0);
    }
    CHECK_FALSE(rig.uploader->isUploading());
    CHECK(rig.storedIDs() == stored);
    CHECK(rig.pendingIDs(RDTCORTargetCCT) == stored);
}

TEST_CASE("a large upload on a slow link arrives while it keeps moving", "[transport][uploader][timeout]") {
    PacedServer slow(1 << 20);
    UploadRig rig(slow.url());
    rig.uploader->setRequestTimeouts(kShortLimits);
    const std::string payload = incompressible(5 << 19);
    REQUIRE(rig.store(rig.event(payload, RDTCORTargetCCT)));
    REQUIRE(rig.upload({RDTCORTargetCCT}));
    CHECK(slow.answered() == 1);
    CHECK(slow.bodyBytes() > payload.size());
    // Longer than twice the low-speed window: a limit on the whole request as long as that window
    // would have cut it.
    CHECK(slow.bodySeconds() > 2.0 * double(kShortLimits.lowSpeedSeconds));
    CHECK(rig.storedIDs().empty());
}

TEST_CASE("without an endpoint an upload fails at once and nothing is lost", "[transport][uploader]") {
    UploadRig rig; // no settings, no test server
    REQUIRE(rig.store(rig.event("waiting", RDTCORTargetCCT)));
    REQUIRE(rig.upload({RDTCORTargetCCT}));
    CHECK(rig.storedIDs().size() == 1);
    CHECK(rig.pendingIDs(RDTCORTargetCCT).size() == 1);
}

TEST_CASE("an upload given up is tried again and never reported delivered", "[transport][uploader]") {
    ManualClock clock;
    UploadServer server;
    server.respondAlways({200, logResponse(0), {}, true});
    UploadRig rig(server.url());
    REQUIRE(rig.store(rig.event("held", RDTCORTargetCCT)));
    auto handler = std::make_shared<RecordingHandler>();
    auto package = RDTCORUploadPackage::initWithTarget(RDTCORTargetCCT, rig.storage, handler);
    package->setEvents(*rig.prioritizer->eventsForTarget(RDTCORTargetCCT));
    rig.uploader->uploadPackage(package);
    REQUIRE(server.waitForStalls(1));
    REQUIRE(rig.uploader->isUploading());

    SECTION("a package handed to a busy uploader comes back at once") {
        auto second = std::make_shared<RecordingHandler>();
        auto other = RDTCORUploadPackage::initWithTarget(RDTCORTargetFLL, rig.storage, second);
        other->setEvents(package->events());
        rig.uploader->uploadPackage(other);
        rig.uploader->uploaderQueue()->drain();
        CHECK(second->seen() == std::vector<std::string>{"retry"});
        CHECK(handler->seen().empty()); // the first goes on
        CHECK(rig.uploader->isUploading());
    }
    SECTION("termination") {
        rig.uploader->appWillTerminate(*rig.app);
        CHECK(handler->seen() == std::vector<std::string>{"retry"});
        CHECK_FALSE(rig.uploader->isUploading());
    }
    SECTION("the app's background time running out") {
        rig.app->expireBackgroundTasks();
        CHECK(handler->seen() == std::vector<std::string>{"retry"});
        CHECK_FALSE(rig.uploader->isUploading());
        CHECK(rig.app->openBackgroundTaskCount() == 0);
    }
    // Given up (in the first section only now) before the server answers: the late answer is not a
    // delivery.
    rig.uploader->appWillTerminate(*rig.app);
    server.releaseStalls();
    rig.waitUntilIdle();
    auto outcomes = handler->seen();
    CHECK(std::count(outcomes.begin(), outcomes.end(), "delivered") == 0);
}

TEST_CASE("only the completing task ends the current upload", "[transport][uploader]") {
    ManualClock clock;
    UploadServer server;
    server.respondAlways({200, logResponse(0), {}, true});
    UploadRig rig(server.url());
    REQUIRE(rig.store(rig.event("slow", RDTCORTargetCCT)));
    rig.coordinator->uploadTargets({RDTCORTargetCCT}, kForced);
    REQUIRE(server.waitForStalls(1));

    // The package expires: its upload is given up and the target is free for the next one.
    clock->advance(185.0);
    rig.settle();
    REQUIRE(eventually([&] { return rig.coordinator->targetToInFlightPackages().empty(); }));
    rig.coordinator->uploadTargets({RDTCORTargetCCT}, kForced);
    // The session does one request at a time: the second reaches the server once the first is over.
    REQUIRE(server.waitForStalls(2));
    rig.uploader->uploaderQueue()->drain();
    CHECK(rig.uploader->isUploading()); // the abandoned task's late word did not end the new upload
    CHECK(rig.storedIDs().size() == 1);
    server.releaseStalls();
    REQUIRE(rig.waitUntilIdle());
    CHECK(rig.storedIDs().empty());
}
