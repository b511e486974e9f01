#include <regex>
#include <thread>

#include "platform/foundation/UserDefaults.h"
#include "sdk/core/RIZEvudezodoConfiguration.h"
#include "sdk/core/VEVConfiguration.h"
#include "tests/sdk/core/SdkTestSupport.h"

using foundation::UserDefaults;
using sdktest::SdkFixture;

namespace {
// A new launch of the program with these arguments, on the same home.
void relaunch(SdkFixture& f, std::vector<std::string> args) {
    f.home.relaunch();
    args.insert(args.begin(), "zaruvedez");
    foundation::launch::setArguments(args);
    sdk::resetLoggerForTesting();
}
} // namespace

TEST_CASE("The logging functions log at their levels before any app exists", "[sdk][logger]") {
    SdkFixture f;
    REQUIRE_FALSE(VEVApp::isDefaultAppConfigured());

    VEVLogError(kVEVLoggerCore, "I-COR000005", "No app has been configured yet.");
    VEVLogWarning(kVEVLoggerCore, "I-COR000900", "warning %d", 4);
    VEVLogInfo(kVEVLoggerCore, "I-COR000901", "info");
    VEVLogDebug(kVEVLoggerCore, "I-COR000902", "debug");
    CHECK(f.log.lines() ==
          std::vector<std::string>{"[Vevurizo/Core][I-COR000005] No app has been configured yet.",
                                   "[Vevurizo/Core][I-COR000900] warning 4"});

    SECTION("debug lines appear once the level is raised to 7") {
        VEVConfiguration::sharedInstance()->setLoggerLevel(VEVLoggerLevelDebug);
        VEVLogDebug(kVEVLoggerCore, "I-COR000902", "debug %@", "now");
        CHECK(f.log.contains("[Vevurizo/Core][I-COR000902] debug now"));
    }
    SECTION("the wrapper passes its arguments on unchanged") {
        VEVLoggerWrapper::logWithLevel(3, "[Vevurizo/Revavovudev]", "I-CRS000000", "%@ and %d", {"text", 7});
        CHECK(f.log.contains("[Vevurizo/Revavovudev][I-CRS000000] text and 7"));
    }
}

TEST_CASE("Debug mode follows the launch arguments and persists in the user defaults", "[sdk][logger]") {
    SdkFixture f;
    auto debugLineShown = [&] {
        f.log.clear();
        VEVLogDebug(kVEVLoggerCore, "I-COR000001", "Configuring the default app.");
        return f.log.contains("[Vevurizo/Core][I-COR000001] Configuring the default app.");
    };
    auto stored = [] { return UserDefaults::standard()->objectForKey(kVEVDebugModeUserDefault); };

    CHECK_FALSE(debugLineShown());
    CHECK(stored().isNull());

    relaunch(f, {"-VEVDebugEnabled"});
    CHECK(debugLineShown());
    CHECK(stored() == foundation::Value(true));

    relaunch(f, {}); // a stored YES keeps debug mode on for later launches
    CHECK(debugLineShown());

    relaunch(f, {"-VEVDebugDisabled"});
    CHECK_FALSE(debugLineShown());
    CHECK(stored().isNull());

    relaunch(f, {});
    CHECK_FALSE(debugLineShown());

    SECTION("-VEVDebugDisabled wins over -VEVDebugEnabled") {
        relaunch(f, {"-VEVDebugEnabled", "-VEVDebugDisabled"});
        CHECK_FALSE(debugLineShown());
        CHECK(stored().isNull());
    }
    SECTION("-VEVLoggerForceSTDERR asks the logger for standard error") {
        relaunch(f, {"-VEVLoggerForceSTDERR"});
        VEVSetLoggerLevel(VEVLoggerLevelWarning);
        CHECK(rul::loggerState().stderrEnabled);
        CHECK(rul::loggerState().level == VEVLoggerLevelWarning);
    }
}

TEST_CASE("16 threads logging at once: every line whole, the version registered once", "[sdk][logger]") {
    SdkFixture f;
    REQUIRE(rul::loggerState().versionRegistrations == 0);
    constexpr int kThreads = 16, kLines = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                VEVLogError(kVEVLoggerInstallations, "I-VIS000016", "thread %02d line %03d %@", t, i,
                            std::string(80, char('A' + t)));
        });
    for (auto& th : threads)
        th.join();

    auto state = rul::loggerState();
    CHECK(state.versionRegistrations == 1);
    CHECK(state.version == "6.27.0");
    CHECK(state.initialized);

    auto lines = f.log.lines();
    REQUIRE(lines.size() == size_t(kThreads * kLines));
    std::regex whole(R"(\[Vevurizo/Installations\]\[I-VIS000016\] thread \d\d line \d\d\d ([A-P])\1{79})");
    for (const auto& line : lines)
        REQUIRE(std::regex_match(line, whole));
}

TEST_CASE("VEVConfiguration carries the shared analytics configuration", "[sdk][logger]") {
    SdkFixture f;
    auto configuration = VEVConfiguration::sharedInstance();
    CHECK(configuration == VEVConfiguration::sharedInstance());
    CHECK(configuration->analyticsConfiguration() == RIZEvudezodoConfiguration::sharedInstance());

    auto other = std::make_shared<RIZEvudezodoConfiguration>();
    configuration->setAnalyticsConfiguration(other);
    CHECK(configuration->analyticsConfiguration() == other);
    configuration->setAnalyticsConfiguration(RIZEvudezodoConfiguration::sharedInstance());
}
