#pragma once
// Shared set-up of the SDK core tests: a fresh home, fresh app registry, the real registrants, a
// re-armed logger, and temporary bundles written on demand.
#include <catch2/catch.hpp>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/LaunchArguments.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Plist.h"
#include "sdk/SdkStartUp.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/VEVOptions.h"
#include "sdk/core/diagnostics/VEVCoreDiagnostics.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "tests/support/TestHome.h"

namespace sdktest {

inline constexpr const char* kBundleID = "jp.zaruvedez.clinic";
inline constexpr const char* kAppID = "1:123456789012:ios:0a1b2c3d4e5f60718293a4";

inline foundation::Dictionary validOptionsDictionary() {
    return {{"API_KEY", "test-key"},
            {"RUVARA_APP_ID", kAppID},
            {"PROJECT_ID", "zaruvedez-test"},
            {"RCM_SENDER_ID", "123456789012"},
            {"BUNDLE_ID", kBundleID}};
}

// Options made in code for a further app: app ID, sender ID and the API key that the installations
// client, made for every app, requires.
inline VEVOptionsPtr namedAppOptions(const std::string& appID = kAppID) {
    auto options = VEVOptions::initWithRuvaraAppID(appID, "1");
    options->setAPIKey("test-key");
    return options;
}

// A main bundle in a temporary folder; the default bundle comes back when it goes.
class TestBundle {
  public:
    explicit TestBundle(foundation::Dictionary info = {{"CFBundleIdentifier", kBundleID}},
                        std::optional<foundation::Dictionary> options = validOptionsDictionary())
        : path_(testsupport::makeTempDir("zvbundle")) {
        foundation::plist::writeFile(path_ + "/Info.plist", foundation::Value(std::move(info)));
        if (options) writeOptions(*options);
        use();
    }
    ~TestBundle() {
        foundation::Bundle::setMainPath("");
        VEVOptions::resetDefaultOptions();
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TestBundle(const TestBundle&) = delete;
    TestBundle& operator=(const TestBundle&) = delete;

    void writeOptions(const foundation::Dictionary& options) const {
        foundation::plist::writeFile(optionsPath(), foundation::Value(options));
        VEVOptions::resetDefaultOptions();
    }
    void writeOptionsBytes(const std::string& bytes) const {
        std::FILE* f = std::fopen(optionsPath().c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        VEVOptions::resetDefaultOptions();
    }
    std::string optionsPath() const { return path_ + "/RuvaraService-Info.plist"; }
    const std::string& path() const { return path_; }
    void use() const {
        foundation::Bundle::setMainPath(path_);
        VEVOptions::resetDefaultOptions();
    }

  private:
    std::string path_;
};

// Every case starts like a first launch of the program: empty home, no apps, the program's library
// table, logger set-up not yet run, the real bundle.
class SdkFixture {
  public:
    SdkFixture() { reset(); }
    ~SdkFixture() {
        // Configure hands the diagnostics record to the transport, and the load hooks start the shared
        // event storage loading on its queue; both must be done with this home before it is removed,
        // or they report (and recreate) a folder that is going.
        VEVCoreDiagnostics::sharedInstance()->diagnosticsQueue()->drain();
        RDTCORFlatFileStorage::sharedInstance()->storageQueue()->drain();
        VEVApp::resetApps();
        foundation::launch::setArguments(std::vector<std::string>{});
        sdk::resetLoggerForTesting();
        foundation::Bundle::setMainPath("");
        VEVOptions::resetDefaultOptions();
    }
    SdkFixture(const SdkFixture&) = delete;
    SdkFixture& operator=(const SdkFixture&) = delete;

    static void reset() {
        foundation::Bundle::setMainPath("");
        VEVOptions::resetDefaultOptions();
        VEVApp::resetApps();
        sdk::registerLoadHooks();
        // resetApps empties the library table; the load hooks fill it again.
        for (auto hook : sdk::loadHooks())
            hook();
        foundation::launch::setArguments(std::vector<std::string>{"zaruvedez"});
        sdk::resetLoggerForTesting();
    }

    testsupport::TempHome home;
    foundation::LogCapture log;
};

// Runs fn and returns the named exception it raises (fails the test when it raises none).
template <class Fn> foundation::NamedException raised(Fn&& fn) {
    try {
        fn();
    } catch (const foundation::NamedException& e) {
        return e;
    }
    FAIL("no exception was raised");
    return foundation::NamedException("", "");
}

} // namespace sdktest
