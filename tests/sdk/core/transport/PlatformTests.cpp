#include <catch2/catch.hpp>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "sdk/core/transport/NetworkProbe.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORLifecycle.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"
#include "sdk/core/transport/RDTCORReachability.h"
#include "tests/sdk/core/transport/TransportFakes.h"

using namespace transporttest;

TEST_CASE("the transport log prints warnings and errors only, with its tag and code", "[transport][log]") {
    foundation::LogCapture log;
    RDTCORLog(1003, RDTCORLoggingLevelWarnings, "A prioritizer should be registered for this target: %@",
              "x");
    RDTCORLog(7, RDTCORLoggingLevelErrors, "boom %d", 5);
    RDTCORLog(4, RDTCORLoggingLevelNotice, "not shown");
    RDTCORLogDebug("never shown %@", "either");
    auto lines = log.lines();
    REQUIRE(lines.size() == 2);
    CHECK(lines[0] ==
          "[RuvaraDataTransport][I-RDTCOR001003] A prioritizer should be registered for this target: x");
    CHECK(lines[1] == "[RuvaraDataTransport][I-RDTCOR000007] boom 5");
}

TEST_CASE("the transport folder lives in the caches of the app's home", "[transport][platform]") {
    std::string root = RDTCORRootDirectory();
    CHECK(root == foundation::home::caches() + "/ruvara-sdks-events");
    CHECK(std::filesystem::is_directory(root));
}

TEST_CASE("reachability flags map to upload conditions and network kinds",
          "[transport][platform][reachability]") {
    CHECK(RDTCORFlagsReachable(2));
    CHECK_FALSE(RDTCORFlagsReachable(6)); // a connection must still be made
    CHECK_FALSE(RDTCORFlagsReachable(0)); // no flags: not reachable
    CHECK(RDTCORFlagsMobile(0x40002));
    CHECK_FALSE(RDTCORFlagsMobile(2));
    CHECK(RDTCORNetworkKindForFlags(0) == RDTCORNetworkKindNone);
    CHECK(RDTCORNetworkKindForFlags(2) == RDTCORNetworkKindWifi);
    CHECK(RDTCORNetworkKindForFlags(0x40002) == RDTCORNetworkKindMobile);
    CHECK(RDTCORNetworkKindForFlags(0x40000) == RDTCORNetworkKindNone);
    CHECK(RDTCORMobileTechnologyCode("CTRadioAccessTechnologyLTE") == 11);
    CHECK(RDTCORMobileTechnologyCode("CTRadioAccessTechnologyGPRS") == 1);
    CHECK(RDTCORMobileTechnologyCode("5G") == 0);
    CHECK(RDTCORCurrentMobileTechnology() == 0);
    int kind = RDTCORCurrentNetworkKind();
    CHECK((kind == 0 || kind == 1 || kind == 2));
}

TEST_CASE("Linux routes and interfaces give the reachability flags", "[transport][platform][reachability]") {
    TempDir dir;
    transport::NetworkPaths paths{dir.path + "/proc", dir.path + "/sys"};
    auto write = [&](const std::string& rel, const std::string& text) {
        REQUIRE(foundation::writeFileAtomically(dir.path + "/" + rel, text));
    };
    const std::string header =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
    auto interface = [&](const std::string& name, const std::string& state, const std::string& devtype = "") {
        write("sys/" + name + "/operstate", state + "\n");
        write("sys/" + name + "/flags", state == "up" ? "0x1003\n" : "0x1002\n");
        write("sys/" + name + "/uevent",
              "INTERFACE=" + name + "\n" + (devtype.empty() ? "" : "DEVTYPE=" + devtype + "\n"));
    };

    SECTION("no route file, or no default route: nothing reachable") {
        CHECK(transport::probeReachabilityFlags(paths) == 0);
        write("proc/route", header + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n");
        interface("eth0", "up");
        CHECK(transport::probeReachabilityFlags(paths) == 0);
    }
    SECTION("a default route over an interface that is up: reachable, not mobile") {
        write("proc/route", header + "eth0\t00000000\t010200C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n");
        interface("eth0", "up");
        CHECK(transport::probeReachabilityFlags(paths) == 2);
        SECTION("the interface going down makes it unreachable") {
            interface("eth0", "down");
            CHECK(transport::probeReachabilityFlags(paths) == 0);
        }
    }
    SECTION("the preferred default route over mobile broadband: reachable and mobile") {
        write("proc/route", header + "wlan0\t00000000\t010200C0\t0003\t0\t0\t600\t00000000\t0\t0\t0\n" +
                                "cdc0\t00000000\t010A0A0A\t0003\t0\t0\t50\t00000000\t0\t0\t0\n");
        interface("wlan0", "up", "wlan");
        interface("cdc0", "up", "wwan");
        CHECK(transport::probeReachabilityFlags(paths) == 0x40002);
        interface("cdc0", "down", "wwan");
        CHECK(transport::probeReachabilityFlags(paths) == 2);
    }
    SECTION("an IPv6-only default route counts; reject routes and loopback do not") {
        std::string zeros(32, '0');
        write("proc/ipv6_route",
              zeros + " 00 " + zeros + " 00 " + zeros + " ffffffff 00000001 00000000 00200200       lo\n");
        interface("lo", "unknown");
        CHECK(transport::probeReachabilityFlags(paths) == 0);
        write("proc/ipv6_route",
              zeros + " 00 " + zeros +
                  " 00 fe800000000000000000000000000001 00000400 00000001 00000000 00000003     eth1\n");
        interface("eth1", "up");
        CHECK(transport::probeReachabilityFlags(paths) == 2);
    }
}

TEST_CASE("reachability keeps the latest delivered flags, including none",
          "[transport][platform][reachability]") {
    std::atomic<uint32_t> probed{2};
    auto reachability = RDTCORReachability::create([&] { return probed.load(); }, false);
    CHECK(reachability->flags() == 2);
    reachability->reachabilityChanged(0x40002);
    CHECK(reachability->flags() == 0x40002);
    // The network went away: that is news, not a reason to fall back to the flags read at start.
    reachability->reachabilityChanged(0);
    CHECK(reachability->flags() == 0);

    SECTION("the shared monitor answers from the real system") {
        uint32_t flags = RDTCORReachability::currentFlags();
        CHECK((flags == 0 || (flags & 2)));
    }
    SECTION("a change watcher starts and stops cleanly") {
        std::atomic<int> changes{0};
        {
            transport::RouteMonitor monitor([&] { ++changes; });
            auto watched = RDTCORReachability::create([&] { return probed.load(); }, true);
            CHECK(watched->flags() == 2);
        }
        CHECK(changes >= 0);
    }
}

TEST_CASE("the application wrapper follows the app's life cycle", "[transport][platform][application]") {
    auto center = std::make_shared<foundation::NotificationCenter>();
    auto app = RDTCORApplication::create(center);
    std::vector<std::string> posted;
    std::mutex m;
    auto token = center->addObserver("", nullptr, nullptr, [&](const foundation::Notification& n) {
        std::lock_guard lock(m);
        if (n.name.rfind("RDTCOR", 0) == 0) posted.push_back(n.name);
    });
    CHECK_FALSE(app->isRunningInBackground());

    SECTION("app and scene notifications set the background state and are passed on") {
        center->post(foundation::kApplicationDidEnterBackgroundNotification);
        CHECK(app->isRunningInBackground());
        center->post(foundation::kApplicationWillEnterForegroundNotification);
        CHECK_FALSE(app->isRunningInBackground());
        center->post(kUISceneWillDeactivateNotification);
        CHECK(app->isRunningInBackground());
        center->post(kUISceneWillEnterForegroundNotification);
        CHECK_FALSE(app->isRunningInBackground());
        center->post(foundation::kApplicationWillTerminateNotification);
        CHECK(posted == std::vector<std::string>{kRDTCORApplicationDidEnterBackgroundNotification,
                                                 kRDTCORApplicationWillEnterForegroundNotification,
                                                 kRDTCORApplicationDidEnterBackgroundNotification,
                                                 kRDTCORApplicationWillEnterForegroundNotification,
                                                 kRDTCORApplicationWillTerminateNotification});
    }
    SECTION("background tasks are numbered from 1 and end once") {
        auto a = app->beginBackgroundTaskWithName("RDTStorage", [] {});
        auto b = app->beginBackgroundTaskWithName("RDTTransformer", [] {});
        CHECK(a != 0);
        CHECK(b != a);
        CHECK(app->openBackgroundTaskCount() == 2);
        app->endBackgroundTask(a);
        app->endBackgroundTask(a);
        app->endBackgroundTask(0);
        CHECK(app->openBackgroundTaskCount() == 1);
        app->endBackgroundTask(b);
        CHECK(app->openBackgroundTaskCount() == 0);
    }
    SECTION("inside an app extension no background task is begun") {
        TempDir dir;
        std::filesystem::create_directories(dir.path + "/Share.appex");
        foundation::Bundle::setMainPath(dir.path + "/Share.appex");
        CHECK(RDTCORApplication::isAppExtension());
        CHECK(app->beginBackgroundTaskWithName("RDTStorage", [] {}) == RDTCORBackgroundIdentifierInvalid);
        CHECK(app->openBackgroundTaskCount() == 0);
        foundation::Bundle::setMainPath("");
        CHECK_FALSE(RDTCORApplication::isAppExtension());
    }
    SECTION("background tasks begin while the main bundle is replaced on another thread") {
        // The bundle's path is read as a value: the bundle it came from may go meanwhile.
        TempDir dir;
        std::atomic<bool> stop{false};
        std::thread replacer([&] {
            for (bool other = false; !stop; other = !other)
                foundation::Bundle::setMainPath(other ? dir.path : "");
        });
        int begun = 0;
        for (int i = 0; i < 2000; ++i) {
            auto id = app->beginBackgroundTaskWithName("RDTStorage", [] {});
            begun += id != RDTCORBackgroundIdentifierInvalid;
            app->endBackgroundTask(id);
        }
        stop = true;
        replacer.join();
        foundation::Bundle::setMainPath("");
        CHECK(begun == 2000);
        CHECK(app->openBackgroundTaskCount() == 0);
    }
}

namespace {
struct RecordingPart : RDTCORLifecycleProtocol {
    RecordingPart(std::vector<std::string>& log, std::string name) : log(log), name(std::move(name)) {}
    void appWillForeground(RDTCORApplication&) override { log.push_back(name + ":foreground"); }
    void appWillBackground(RDTCORApplication&) override { log.push_back(name + ":background"); }
    void appWillTerminate(RDTCORApplication&) override { log.push_back(name + ":terminate"); }
    std::vector<std::string>& log;
    std::string name;
};
} // namespace

TEST_CASE("the life-cycle fan-out tells each part in order", "[transport][platform][lifecycle]") {
    auto center = std::make_shared<foundation::NotificationCenter>();
    auto app = RDTCORApplication::create(center);
    std::vector<std::string> log;
    auto lifecycle = RDTCORLifecycle::create(center, app,
                                             {std::make_shared<RecordingPart>(log, "transformer"),
                                              std::make_shared<RecordingPart>(log, "coordinator"),
                                              std::make_shared<RecordingPart>(log, "registrar")});
    center->post(foundation::kApplicationDidEnterBackgroundNotification);
    center->post(foundation::kApplicationWillEnterForegroundNotification);
    center->post(foundation::kApplicationWillTerminateNotification);
    CHECK(log ==
          std::vector<std::string>{"transformer:background", "coordinator:background", "registrar:background",
                                   "transformer:foreground", "coordinator:foreground", "registrar:foreground",
                                   "transformer:terminate", "coordinator:terminate", "registrar:terminate"});
}
