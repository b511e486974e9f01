#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/core/RIZEvudezodoConfiguration.h"
#include "sdk/core/VEVComponentType.h"
#include "sdk/core/VEVCoreDiagnosticsConnector.h"
#include "sdk/database/network/VEVDatabaseComponent.h"
#include "tests/sdk/core/SdkTestSupport.h"

using foundation::Dictionary;
using foundation::NotificationCenter;
using foundation::UserDefaults;
using foundation::Value;
using sdktest::SdkFixture;
using sdktest::TestBundle;

namespace {

void becomeActive() {
    NotificationCenter::defaultCenter()->post(foundation::kApplicationDidBecomeActiveNotification);
}

struct ConfiguringLibrary {
    static constexpr const char* kClassName = "TestConfiguringLibrary";
    static inline std::vector<std::string> configured;
    static std::vector<VEVComponentPtr> componentsToRegister() { return {}; }
    static void configureWithApp(const std::shared_ptr<VEVApp>& app) { configured.push_back(app->name()); }
};

} // namespace

TEST_CASE("Look-ups log when nothing is there", "[sdk][registry]") {
    SdkFixture f;
    CHECK_FALSE(VEVApp::defaultApp());
    CHECK(f.log.contains(
        "[Vevurizo/Core][I-COR000003] The default Vevurizo app has not yet been configured. Add "
        "`[VEVApp configure];` (`DoraveziZod.configure()` in Swift) to your application "
        "initialization. Read more: https://docs.zaruvedez.invalid/sdk-setup"));
    CHECK_FALSE(VEVApp::appNamed("nobody"));
    CHECK(f.log.contains("[Vevurizo/Core][I-COR000004] App with name nobody does not exist."));
    CHECK_FALSE(VEVApp::allApps());
    CHECK(f.log.contains("[Vevurizo/Core][I-COR000005] No app has been configured yet."));
}

TEST_CASE("The user agent lists every registered library, sorted", "[sdk][registry]") {
    SdkFixture f;
    const std::string programAgent = "apple-platform/ios swift/false vev-analytics/6.6.1 vev-db/6.3.0 "
                                     "vev-install/1.4.0 vev-ios/6.8.0 vevurizo-revavovudev/4.2.0";
    CHECK(VEVApp::vevurizoUserAgent() == programAgent);

    SECTION("libraries with invalid characters are skipped; a later version replaces an earlier one") {
        VEVApp::registerLibrary("bad name", "1.0");
        VEVApp::registerLibrary("fine", "1.0/2");
        CHECK(f.log.contains(
            "[Vevurizo/Core][I-COR000027] The library name (bad name) or version number (1.0) "
            "contain invalid characters. Only alphanumeric, dash, underscore and period characters "
            "are allowed."));
        VEVApp::registerLibrary("Zeta_lib", "1");
        VEVApp::registerLibrary("Zeta_lib", "2.0-beta");
        VEVApp::registerLibrary("alpha", "3");
        CHECK(VEVApp::vevurizoUserAgent() == "alpha/3 apple-platform/ios swift/false vev-analytics/6.6.1 "
                                             "vev-db/6.3.0 vev-install/1.4.0 vev-ios/6.8.0 "
                                             "vevurizo-revavovudev/4.2.0 Zeta_lib/2.0-beta");
    }
    SECTION("build tools of Info.plist join after resetApps re-registers the platform entries") {
        TestBundle bundle(
            {{"CFBundleIdentifier", sdktest::kBundleID}, {"DTXcodeBuild", "14C18"}, {"DTSDKBuild", "20C52"}});
        VEVApp::resetApps();
        CHECK(VEVApp::vevurizoUserAgent() == "apple-platform/ios apple-sdk/20C52 swift/false vev-ios/6.8.0 "
                                             "xcode/14C18");
    }
    SECTION("registering a nil class raises") {
        auto e = sdktest::raised([] { VEVApp::registerInternalLibrary(nullptr, "x", "1"); });
        CHECK(e.name() == "NSInvalidArgumentException");
        CHECK(e.reason() ==
              "Class (null) attempted to register components, but it does not conform to `VEVLibrary "
              "or provide a `componentsToRegister:` method.");
    }
}

TEST_CASE("Libraries that answer configureWithApp hear of every configured app", "[sdk][registry]") {
    SdkFixture f;
    VEVApp::registerInternalLibrary(sdk::libraryClass<ConfiguringLibrary>(), "test-configuring", "1.0");
    ConfiguringLibrary::configured.clear();
    VEVApp::configure();
    VEVApp::configureWithName("other", sdktest::namedAppOptions());
    CHECK(ConfiguringLibrary::configured == std::vector<std::string>{"__VEVAPP_DEFAULT", "other"});
}

TEST_CASE("deleteApp removes the app and tells everyone", "[sdk][registry]") {
    SdkFixture f;
    VEVSetLoggerLevel(VEVLoggerLevelDebug);
    VEVApp::configure();
    auto app = VEVApp::defaultApp();
    app->setDataCollectionDefaultEnabled(false);
    auto database = VEVComponentType::instanceForProtocol<VEVDatabaseProvider>(app->container());
    REQUIRE(database);

    std::vector<Dictionary> deletions;
    auto token = NotificationCenter::defaultCenter()->addObserver(
        kVEVAppDeleteNotification, VEVApp::classObject(), nullptr,
        [&](const foundation::Notification& n) { deletions.push_back(n.userInfo); });
    std::optional<bool> result;
    size_t observers = NotificationCenter::defaultCenter()->observerCount();

    app->deleteApp([&](bool success) { result = success; });

    CHECK(result == true);
    CHECK(deletions == std::vector<Dictionary>{{{"VEVAppNameKey", "__VEVAPP_DEFAULT"}}});
    CHECK(f.log.contains("[Vevurizo/Core][I-COR000006] Deleting app named __VEVAPP_DEFAULT"));
    CHECK_FALSE(VEVApp::isDefaultAppConfigured());
    CHECK(VEVApp::allApps()->empty());
    CHECK_FALSE(std::dynamic_pointer_cast<VEVDatabaseComponent>(database)->hasApp());
    CHECK(UserDefaults::standard()
              ->objectForKey("/ruvara/vevurizo/global_data_collection_enabled:__VEVAPP_DEFAULT")
              .isNull());

    SECTION("a deleted app stops observing activation at once, though still held") {
        CHECK(NotificationCenter::defaultCenter()->observerCount() == observers - 1);
        app->setDataCollectionDefaultEnabled(true);
        size_t before = VEVCoreDiagnosticsConnector::requestCount();
        becomeActive();
        CHECK(VEVCoreDiagnosticsConnector::requestCount() == before);
    }
    SECTION("deleting again reports failure") {
        result.reset();
        app->deleteApp([&](bool success) { result = success; });
        CHECK(result == false);
        CHECK(f.log.contains("[Vevurizo/Core][I-COR000007] App does not exist."));
    }
    SECTION("a stale handle cannot delete a newer app of the same name") {
        VEVApp::configure();
        result.reset();
        app->deleteApp([&](bool success) { result = success; });
        CHECK(result == false);
        CHECK(VEVApp::isDefaultAppConfigured());
    }
    SECTION("the default app can be configured again") {
        VEVApp::configure();
        CHECK(VEVApp::defaultApp() != app);
    }
}

TEST_CASE("The data-collection switch", "[sdk][registry]") {
    SdkFixture f;
    VEVApp::configure();
    auto app = VEVApp::defaultApp();
    CHECK(app->isDataCollectionDefaultEnabled());

    SECTION("each activation sends core telemetry while collection is on, none while it is off") {
        size_t before = VEVCoreDiagnosticsConnector::requestCount();
        becomeActive();
        CHECK(VEVCoreDiagnosticsConnector::requestCount() == before + 1);
        app->setDataCollectionDefaultEnabled(false);
        CHECK_FALSE(app->isDataCollectionDefaultEnabled());
        becomeActive();
        CHECK(VEVCoreDiagnosticsConnector::requestCount() == before + 1);
        app->setDataCollectionDefaultEnabled(true);
        becomeActive();
        CHECK(VEVCoreDiagnosticsConnector::requestCount() == before + 2);
    }
    SECTION("the default app tells the analytics configuration without persisting it") {
        std::vector<Dictionary> told;
        auto token = NotificationCenter::defaultCenter()->addObserver(
            kRIZEvudezodoConfigurationSetEnabledNotification,
            RIZEvudezodoConfiguration::sharedInstance().get(), nullptr,
            [&](const foundation::Notification& n) { told.push_back(n.userInfo); });
        app->setDataCollectionDefaultEnabled(false);
        CHECK(told == std::vector<Dictionary>{{{kRIZEvudezodoConfigurationSetEnabledNotification, false}}});
        CHECK(UserDefaults::standard()->objectForKey(kRIZEvudezodoMeasurementEnabledStateKey).isNull());
        CHECK(UserDefaults::standard()->objectForKey(
                  "/ruvara/vevurizo/global_data_collection_enabled:__VEVAPP_DEFAULT") == Value(false));
    }
    SECTION("the switch is per app") {
        VEVApp::configureWithName("other", sdktest::namedAppOptions());
        VEVApp::appNamed("other")->setDataCollectionDefaultEnabled(false);
        CHECK(app->isDataCollectionDefaultEnabled());
        CHECK_FALSE(VEVApp::appNamed("other")->isDataCollectionDefaultEnabled());
    }
}

TEST_CASE("Data collection defaults to Info.plist's value, else on", "[sdk][registry]") {
    SdkFixture f;
    TestBundle bundle(
        {{"CFBundleIdentifier", sdktest::kBundleID}, {"VevurizoDataCollectionDefaultEnabled", false}});
    VEVApp::configure();
    auto app = VEVApp::defaultApp();
    CHECK_FALSE(app->isDataCollectionDefaultEnabled());
    app->setDataCollectionDefaultEnabled(true); // the stored value wins
    CHECK(app->isDataCollectionDefaultEnabled());
}

TEST_CASE("The analytics configuration persists its switch when asked", "[sdk][registry]") {
    SdkFixture f;
    auto configuration = RIZEvudezodoConfiguration::sharedInstance();
    configuration->setAnalyticsCollectionEnabled(false, true);
    CHECK(UserDefaults::standard()->objectForKey(kRIZEvudezodoMeasurementEnabledStateKey) == Value(2));
    configuration->setAnalyticsCollectionEnabled(true, true);
    CHECK(UserDefaults::standard()->objectForKey(kRIZEvudezodoMeasurementEnabledStateKey) == Value(1));
}

TEST_CASE("Error values", "[sdk][registry]") {
    auto missing = VEVApp::errorForMissingOptions();
    CHECK(missing->domain() == "com.vevurizo.core");
    CHECK(missing->code() == -100);
    CHECK(missing->localizedDescription() ==
          "Unable to parse RuvaraService-Info.plist in order to configure services.");
    CHECK(VEVApp::errorForInvalidAppID()->code() == -101);
    auto sub = VEVApp::errorForSubspecConfigurationFailureWithDomain("com.x", 7, "Storage", "no bucket");
    CHECK(sub->domain() == "com.x");
    CHECK(sub->localizedDescription() == "Configuration failed for service Storage.");
    CHECK(sub->userInfo().at(foundation::kLocalizedFailureReasonKey) == Value("no bucket"));
}
