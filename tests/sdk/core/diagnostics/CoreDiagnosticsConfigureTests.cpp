// Core diagnostics as configuration sends it: through the connector, the registered class and the
// shared instance, whose transport here ends in a recording storage and whose clock a test moves.
#include <thread>

#include "platform/foundation/ApplicationNotifications.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/VEVCoreDiagnosticsConnector.h"
#include "sdk/core/VEVCoreDiagnosticsInterop.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/sdk/core/diagnostics/CoreDiagnosticsTestSupport.h"

using namespace diagtest;

namespace {

// Points the shared instance at a recording transport and a hand-moved clock for one test.
struct SharedDiagnostics {
    ManualDate clock;
    RecordingTransport recording;
    std::shared_ptr<VEVCoreDiagnostics> shared = VEVCoreDiagnostics::sharedInstance();

    SharedDiagnostics() {
        VEVCoreDiagnosticsConnector::resetClassLookupForTesting();
        shared->diagnosticsQueue()->drain();
        shared->transport()->setTransformerInstance(recording.transformer);
        shared->setDateSource(clock.source());
    }
    ~SharedDiagnostics() {
        shared->diagnosticsQueue()->drain();
        shared->transport()->setTransformerInstance(RDTCORTransformer::sharedInstance());
        shared->setDateSource({});
        VEVCoreDiagnosticsConnector::resetClassLookupForTesting();
    }
    std::vector<Record> records() {
        shared->diagnosticsQueue()->drain();
        recording.transformer->eventWritingQueue()->drain();
        return recording.records();
    }
};

void becomeActive() {
    foundation::NotificationCenter::defaultCenter()->post(
        foundation::kApplicationDidBecomeActiveNotification);
}

sdktest::TestBundle bundleWithInfo(foundation::Dictionary extra = {}) {
    foundation::Dictionary info{{"CFBundleIdentifier", sdktest::kBundleID}};
    info.merge(extra);
    return sdktest::TestBundle(info);
}

} // namespace

TEST_CASE("Configure sends the record, and the day's first activation carries the heartbeat",
          "[diagnostics][configure]") {
    sdktest::SdkFixture f;
    sdktest::TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}, {"MinimumOSVersion", "12.0"}});
    SharedDiagnostics diagnostics;

    VEVApp::configure();
    auto records = diagnostics.records();
    REQUIRE(records.size() == 1);
    const auto first = records[0];
    CHECK(first.sdkService == 1);
    CHECK(first.configType == 1);
    CHECK(first.ruvaraAppID == std::string(sdktest::kAppID));
    CHECK(first.bundleID == std::string(sdktest::kBundleID));
    CHECK(first.usesDefaultOptionsFile == true);
    CHECK(first.libraryVersionID == VEVApp::defaultApp()->options()->libraryVersionID());
    CHECK(first.userAgent == VEVApp::vevurizoUserAgent());
    CHECK(first.appCount == 1);
    CHECK(first.installedServices == std::vector<int>{18, 15});
    CHECK(first.minOSVersion == std::string("12.0"));
    CHECK(first.buildToolsVersion == std::string("-"));
    CHECK_FALSE(first.sdkVersion);

    becomeActive(); // the same day
    records = diagnostics.records();
    REQUIRE(records.size() == 2);
    auto second = records[1];
    CHECK_FALSE(second.sdkService);
    second.sdkService = first.sdkService;
    CHECK(second == first); // only the heartbeat differs

    diagnostics.clock.advance(86400);
    becomeActive();
    diagnostics.records(); // the clock is read when the record is built
    diagnostics.clock.advance(-2 * 86400);
    becomeActive();
    records = diagnostics.records();
    REQUIRE(records.size() == 4);
    CHECK(records[2].sdkService == 1);  // a day later
    CHECK_FALSE(records[3].sdkService); // clock set back
}

TEST_CASE("Two apps configured at once give exactly one heartbeat", "[diagnostics][configure]") {
    sdktest::SdkFixture f;
    auto bundle = bundleWithInfo();
    SharedDiagnostics diagnostics;

    std::thread other([] { VEVApp::configureWithName("second", sdktest::namedAppOptions()); });
    VEVApp::configure();
    other.join();

    auto records = diagnostics.records();
    REQUIRE(records.size() == 2);
    CHECK((records[0].sdkService == 1) != (records[1].sdkService == 1));
    CHECK_FALSE((records[0].sdkService && records[1].sdkService));
}

TEST_CASE("Configure sends nothing when it must not", "[diagnostics][configure]") {
    sdktest::SdkFixture f;

    SECTION("data collection switched off") {
        auto bundle = bundleWithInfo({{"VevurizoDataCollectionDefaultEnabled", false}});
        SharedDiagnostics diagnostics;
        VEVApp::configure();
        becomeActive();
        CHECK(diagnostics.records().empty());
    }
    SECTION("no diagnostics class registered") {
        auto bundle = bundleWithInfo();
        SharedDiagnostics diagnostics;
        foundation::ClassRegistry::unregisterClass(kVEVCoreDiagnosticsClassName);
        VEVApp::configure();
        becomeActive();
        CHECK(diagnostics.records().empty());
        VEVCoreDiagnostics::load();
        // The class is looked up once: registering it later changes nothing until the lookup is redone.
        becomeActive();
        CHECK(diagnostics.records().empty());
        VEVCoreDiagnosticsConnector::resetClassLookupForTesting();
        becomeActive();
        CHECK(diagnostics.records().size() == 1);
    }
}
