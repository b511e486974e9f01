// The core configuration record: its fields and their presence, the daily heartbeat by calendar day,
// and the cases that send nothing.
#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/utilities/RULAppEnvironmentUtil.h"
#include "sdk/core/VEVDiagnosticsData.h"
#include "sdk/core/diagnostics/VEVCoreDiagnosticsLog.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/sdk/core/diagnostics/CoreDiagnosticsTestSupport.h"

using namespace diagtest;

namespace {

// What the connector puts in, for an app configured from the options file.
std::shared_ptr<VEVDiagnosticsData> connectorData() {
    auto data = std::make_shared<VEVDiagnosticsData>();
    data->insertValue(true, kVEVCDIsDataCollectionDefaultEnabledKey);
    data->insertValue("zaruvedez-test/1.0", kVEVCDVevurizoUserAgentKey);
    data->insertValue(int(VEVConfigTypeCore), kVEVCDConfigurationTypeKey);
    data->insertValue(sdktest::kAppID, kVEVCDRuvaraAppIDKey);
    data->insertValue(sdktest::kBundleID, kVEVCDBundleIDKey);
    data->insertValue(true, kVEVCDUsingOptionsFromDefaultPlistKey);
    data->insertValue("60800000", kVEVCDLibraryVersionIDKey);
    data->insertValue(3, kVEVCDllAppsCountKey);
    return data;
}

// A data object of another SDK that leaves out what it likes.
class BareData : public VEVCoreDiagnosticsData {
  public:
    explicit BareData(foundation::Dictionary objects) : objects_(std::move(objects)) {}
    foundation::Dictionary diagnosticObjects() override { return objects_; }

  private:
    foundation::Dictionary objects_;
};

} // namespace

TEST_CASE("The record carries the data's facts and the process's, with the right presence",
          "[diagnostics][record]") {
    sdktest::SdkFixture f;
    sdktest::TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID},
                                {"MinimumOSVersion", "12.0"},
                                {"DTXcodeBuild", "11C504"},
                                {"DTSDKBuild", "17B102"},
                                {"DoraveziZodDelegateProxyEnabled", false}});
    DiagnosticsRig rig;
    rig.send(connectorData());
    auto records = rig.records();
    REQUIRE(records.size() == 1);
    const auto& r = records[0];
    CHECK(r.configType == 1);
    CHECK(r.installedServices == std::vector<int>{18, 15}); // Measurement, then Database
    CHECK(r.deviceModel == VEVCoreDiagnostics::deviceModel());
    CHECK_FALSE(r.deviceModel->empty());
    CHECK(r.ruvaraAppID == std::string(sdktest::kAppID));
    CHECK(r.bundleID == std::string(sdktest::kBundleID));
    CHECK(r.fixed16 == 2);
    CHECK(r.libraryVersionID == std::string("60800000"));
    CHECK_FALSE(r.sdkVersion);
    CHECK(r.sdkService == 1); // the first record of the day is the heartbeat
    CHECK(r.appCount == 3);
    CHECK(r.osVersion == RULAppEnvironmentUtil::systemVersion());
    CHECK(r.minOSVersion == std::string("12.0"));
    CHECK(r.usesDefaultOptionsFile == true);
    CHECK(r.fromAppStore == false);
    CHECK(r.dynamicLibraryCount >= 0);
    CHECK(r.buildToolsVersion == std::string("11C504-17B102"));
    CHECK(r.fixed29 == false);
    CHECK(r.fixed30 == 1);
    CHECK(r.userAgent == std::string("zaruvedez-test/1.0"));
    CHECK(r.appDelegateProxyEnabled == false);
    CHECK(r.fixed36 == true);

    auto stored = rig.recording.storage->stored();
    CHECK(stored[0].event->mappingID() == "137");
    CHECK(stored[0].event->target() == RDTCORTargetFLL);
    CHECK(stored[0].event->qosTier() == RDTCOREventQoSTelemetry);
}

TEST_CASE("The record's bundle facts are read whole while the main bundle is replaced",
          "[diagnostics][record]") {
    // The bundle may be replaced on another thread (a test, or a settings change) while a record is
    // built; what the record read must not go with the bundle it came from.
    sdktest::SdkFixture f;
    sdktest::TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}, {"MinimumOSVersion", "12.0"}});
    std::atomic<bool> stop{false};
    std::thread replacer([&] {
        while (!stop)
            foundation::Bundle::setMainPath(bundle.path());
    });
    int whole = 0;
    for (int i = 0; i < 200; ++i) {
        CoreConfiguration config = VEVCoreDiagnostics::configurationWithDiagnosticObjects({});
        whole += text(config.min_os_version) == std::optional<std::string>("12.0");
        VEVCoreDiagnosticsLog::releaseConfig(config);
    }
    stop = true;
    replacer.join();
    CHECK(whole == 200);
}

TEST_CASE("Missing keys leave their fields unset", "[diagnostics][record]") {
    sdktest::SdkFixture f;

    SECTION("an empty bundle and a bare data object") {
        sdktest::TestBundle bundle(foundation::Dictionary{{"CFBundleIdentifier", sdktest::kBundleID}});
        DiagnosticsRig rig;
        rig.send(std::make_shared<BareData>(foundation::Dictionary{}));
        auto records = rig.records();
        REQUIRE(records.size() == 1);
        const auto& r = records[0];
        CHECK_FALSE(r.configType);
        CHECK_FALSE(r.ruvaraAppID);
        CHECK_FALSE(r.bundleID);
        CHECK_FALSE(r.userAgent);
        CHECK_FALSE(r.libraryVersionID);
        CHECK_FALSE(r.usesDefaultOptionsFile);
        CHECK_FALSE(r.minOSVersion);
        CHECK(r.buildToolsVersion == std::string("-"));
        CHECK(r.appDelegateProxyEnabled == true);
        CHECK(r.appCount == 0);
        CHECK(f.log.contains("[I-RDTCOR001006] App count is a required value in the data dict."));
    }
    SECTION("empty texts, an unknown type and a proxy flag that is not a number") {
        sdktest::TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID},
                                    {"DTSDKBuild", "17B102"},
                                    {"DoraveziZodDelegateProxyEnabled", "NO"}});
        DiagnosticsRig rig;
        rig.send(std::make_shared<BareData>(foundation::Dictionary{{kVEVCDConfigurationTypeKey, 3},
                                                                   {kVEVCDRuvaraAppIDKey, ""},
                                                                   {kVEVCDBundleIDKey, ""},
                                                                   {kVEVCDVevurizoUserAgentKey, ""},
                                                                   {kVEVCDLibraryVersionIDKey, ""},
                                                                   {kVEVCDllAppsCountKey, 1}}));
        auto r = rig.records().at(0);
        CHECK_FALSE(r.configType);
        CHECK_FALSE(r.ruvaraAppID);
        CHECK_FALSE(r.bundleID);
        CHECK_FALSE(r.userAgent);
        CHECK(r.libraryVersionID == std::string()); // present, even empty
        CHECK(r.buildToolsVersion == std::string("-17B102"));
        CHECK(r.appDelegateProxyEnabled == true);
        CHECK_FALSE(f.log.contains("I-RDTCOR001006"));
    }
    SECTION("another SDK's name and version; a name outside the table") {
        sdktest::TestBundle bundle;
        DiagnosticsRig rig;
        rig.diagnostics->heartbeatDateStorage()->setHearbeatDate(rig.clock.now,
                                                                 kVEVCoreDiagnosticsHeartbeatTag);
        rig.send(std::make_shared<BareData>(foundation::Dictionary{{kVEVCDConfigurationTypeKey, 2},
                                                                   {kVEVCDSdkNameKey, "Storage"},
                                                                   {kVEVCDSdkVersionKey, "1.2.3"},
                                                                   {kVEVCDllAppsCountKey, 1}}));
        rig.send(std::make_shared<BareData>(
            foundation::Dictionary{{kVEVCDSdkNameKey, "Telepathy"}, {kVEVCDllAppsCountKey, 1}}));
        auto records = rig.records();
        REQUIRE(records.size() == 2);
        CHECK(records[0].configType == 2);
        CHECK(records[0].sdkService == 16);
        CHECK(records[0].sdkVersion == std::string("1.2.3"));
        CHECK(records[1].sdkService == 0);
    }
}

TEST_CASE("One heartbeat per calendar day, not per 24 hours", "[diagnostics][heartbeat]") {
    sdktest::SdkFixture f;
    DiagnosticsRig rig;
    rig.clock.advance(11 * 3600 + 58 * 60); // 23:58
    rig.send(connectorData());
    rig.clock.advance(60); // 23:59
    rig.send(connectorData());
    rig.clock.advance(120); // 00:01 the next day
    rig.send(connectorData());
    std::vector<bool> marks;
    for (const auto& r : rig.records())
        marks.push_back(r.sdkService == 1);
    CHECK(marks == std::vector<bool>{true, false, true});

    // The date outlives the object: a new launch the same day sends none.
    DiagnosticsRig again;
    again.clock.set(rig.clock.now);
    again.send(connectorData());
    REQUIRE(again.records().size() == 1);
    CHECK_FALSE(again.records()[0].sdkService);
}

TEST_CASE("Nothing is sent with data collection off", "[diagnostics][send]") {
    sdktest::SdkFixture f;
    DiagnosticsRig rig;
    auto data = connectorData();
    data->insertValue(false, kVEVCDIsDataCollectionDefaultEnabledKey);
    rig.send(data);
    CHECK(rig.records().empty());
    // Nor does it count as the day's heartbeat.
    CHECK_FALSE(
        rig.diagnostics->heartbeatDateStorage()->heartbeatDateForTag(kVEVCoreDiagnosticsHeartbeatTag));
    rig.send(connectorData());
    REQUIRE(rig.records().size() == 1);
    CHECK(rig.records()[0].sdkService == 1);
}

TEST_CASE("A heartbeat date that cannot be stored still lets the record go", "[diagnostics][heartbeat]") {
    sdktest::SdkFixture f;
    DiagnosticsRig rig;
    // A folder where the date file should be.
    std::filesystem::create_directories(rig.diagnostics->heartbeatDateStorage()->filePath() + "/blocked");
    rig.send(connectorData());
    rig.send(connectorData());
    auto records = rig.records();
    REQUIRE(records.size() == 2);
    CHECK(records[0].sdkService == 1);
    CHECK(records[1].sdkService == 1); // the date was not kept, so the mark is still due
    CHECK(records[1].ruvaraAppID == std::string(sdktest::kAppID));
}

TEST_CASE("Work queued for diagnostics that are gone does nothing", "[diagnostics][lifetime]") {
    sdktest::SdkFixture f;
    RecordingTransport recording;
    auto diagnostics = VEVCoreDiagnostics::initWithTransport(
        recording.transport,
        std::make_shared<RULHeartbeatDateStorage>(kVEVCoreDiagnosticsHeartbeatStorageName));
    auto queue = diagnostics->diagnosticsQueue();
    std::promise<void> release;
    queue->async([gate = release.get_future().share()] { gate.wait(); });
    diagnostics->sendDiagnosticsData(connectorData());
    diagnostics.reset();
    release.set_value();
    queue->drain();
    recording.transformer->eventWritingQueue()->drain();
    CHECK(recording.storage->stored().empty());
}

TEST_CASE("The data object fills in what the connector leaves out", "[diagnostics][data]") {
    sdktest::SdkFixture f;
    // Configuring sends records of its own; they go to a recording transport, not the shared one.
    RecordingTransport recording;
    auto shared = VEVCoreDiagnostics::sharedInstance();
    shared->transport()->setTransformerInstance(recording.transformer);
    VEVApp::configure();
    VEVApp::configureWithName("second", sdktest::namedAppOptions());
    VEVDiagnosticsData data;
    data.insertValue("kept", std::optional<std::string>{}); // no key: ignored
    data.insertValue("x", kVEVCDSdkVersionKey);
    data.insertValue(nullptr, kVEVCDSdkVersionKey); // null: removed
    auto objects = data.diagnosticObjects();
    CHECK(objects.size() == 3);
    CHECK(objects[kVEVCDllAppsCountKey].intValue() == 2);
    CHECK(objects[kVEVCDIsDataCollectionDefaultEnabledKey] == foundation::Value(true));
    CHECK(objects[kVEVCDVevurizoUserAgentKey].stringValue() == VEVApp::vevurizoUserAgent());

    VEVApp::defaultApp()->setDataCollectionDefaultEnabled(false);
    VEVDiagnosticsData other;
    other.insertValue(7, kVEVCDllAppsCountKey);
    auto second = other.diagnosticObjects();
    CHECK(second[kVEVCDllAppsCountKey].intValue() == 7); // given values win
    CHECK(second[kVEVCDIsDataCollectionDefaultEnabledKey] == foundation::Value(false));
    shared->diagnosticsQueue()->drain();
    shared->transport()->setTransformerInstance(RDTCORTransformer::sharedInstance());
}
