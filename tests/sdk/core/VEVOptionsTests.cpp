#include "sdk/core/VEVBundleUtil.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/support/PlistSamples.h"

using foundation::Dictionary;
using foundation::Value;
using sdktest::SdkFixture;
using sdktest::TestBundle;

TEST_CASE("The default options come from the bundle's options file", "[sdk][options]") {
    SdkFixture f;

    SECTION("the program's own options file passes every check") {
        auto options = VEVOptions::defaultOptions();
        REQUIRE(options);
        CHECK(options->usingOptionsFromDefaultPlist());
        CHECK(options->bundleID() == foundation::Bundle::main()->bundleIdentifier());
        CHECK(VEVApp::validateAppID(options->ruvaraAppID()));
        CHECK_FALSE(options->APIKey().empty());
        CHECK_FALSE(options->projectID().empty());
        CHECK_FALSE(options->RCMSenderID().empty());
        CHECK(VEVOptions::defaultOptions() == options); // cached
    }
    SECTION("a missing file logs I-COR000012 and gives nil") {
        TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}}, std::nullopt);
        CHECK_FALSE(VEVOptions::defaultOptions());
        CHECK(f.log.contains("[Vevurizo/Core][I-COR000012] Could not locate configuration file: "
                             "'RuvaraService-Info.plist'."));
    }
    SECTION("a file that is not a dictionary logs I-COR000011") {
        TestBundle bundle;
        bundle.writeOptionsBytes("this is not a property list");
        CHECK_FALSE(VEVOptions::defaultOptions());
        CHECK(f.log.contains("[Vevurizo/Core][I-COR000011] The configuration file is not a dictionary: "
                             "'RuvaraService-Info.plist'."));
        foundation::plist::writeFile(bundle.optionsPath(), Value(foundation::Array{Value("a")}));
        VEVOptions::resetDefaultOptions();
        CHECK_FALSE(VEVOptions::defaultOptions());
    }
    SECTION("every kind of damaged plist is a file that is not a dictionary") {
        TestBundle bundle;
        for (const auto& [what, bytes] : testsupport::damagedPlists()) {
            INFO(what);
            bundle.writeOptionsBytes(std::string(bytes.begin(), bytes.end()));
            f.log.clear();
            CHECK_FALSE(VEVOptions::defaultOptions());
            CHECK(f.log.contains("[Vevurizo/Core][I-COR000011]"));
            CHECK_FALSE(VEVOptions::initWithContentsOfFile(bundle.optionsPath()));
        }
    }
}

TEST_CASE("Options values of the wrong type are ignored with a log line", "[sdk][options]") {
    SdkFixture f;
    Dictionary broken = sdktest::validOptionsDictionary();
    broken["RUVARA_APP_ID"] = 12345;
    broken["BUNDLE_ID"] = foundation::Array{Value("x")};
    broken["IS_MEASUREMENT_ENABLED"] = "YES";
    broken["VEVURIZO_ANALYTICS_COLLECTION_DEACTIVATED"] = Dictionary{{"a", 1}};
    TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}}, broken);

    auto options = VEVOptions::defaultOptions();
    REQUIRE(options);
    CHECK(options->ruvaraAppID().empty());
    CHECK(options->bundleID().empty());
    CHECK(options->APIKey() == "test-key");
    CHECK_FALSE(options->optionsDictionary().count("IS_MEASUREMENT_ENABLED"));
    CHECK_FALSE(options->isAnalyticsCollectionDeactivated());
    CHECK_FALSE(options->isAnalyticsCollectionExplicitlySet());
    CHECK(f.log.contains(
        "[Vevurizo/Core][I-COR000015] The value of 'RUVARA_APP_ID' in RuvaraService-Info.plist is "
        "not a string and is ignored."));
    CHECK(f.log.contains("'IS_MEASUREMENT_ENABLED' in RuvaraService-Info.plist is not a number"));
    CHECK(f.log.count("I-COR000015") == 4);

    // Without an app ID the configuration fails cleanly.
    auto e = sdktest::raised([] { VEVApp::configure(); });
    CHECK(e.reason() == "Configuration fails. It may be caused by an invalid RUVARA_APP_ID in "
                        "RuvaraService-Info.plist or set in the customized options.");

    SECTION("the same holds for a file read by path") {
        auto byPath = VEVOptions::initWithContentsOfFile(bundle.optionsPath());
        REQUIRE(byPath);
        CHECK(byPath->ruvaraAppID().empty());
        CHECK_FALSE(byPath->usingOptionsFromDefaultPlist());
    }
}

TEST_CASE("Options made in code", "[sdk][options]") {
    SdkFixture f;

    SECTION("from a file path") {
        CHECK_FALSE(VEVOptions::initWithContentsOfFile(""));
        CHECK(f.log.contains("[Vevurizo/Core][I-COR000013] The plist file path is nil."));
        CHECK_FALSE(VEVOptions::initWithContentsOfFile("/nonexistent/x.plist"));
        CHECK(
            f.log.contains("[Vevurizo/Core][I-COR000014] The configuration file at /nonexistent/x.plist does "
                           "not exist or is not a well-formed plist file."));
    }
    SECTION("from an app ID and sender ID, with the main bundle's identifier") {
        auto options = VEVOptions::initWithRuvaraAppID(sdktest::kAppID, "42");
        CHECK(options->ruvaraAppID() == sdktest::kAppID);
        CHECK(options->RCMSenderID() == "42");
        CHECK(options->bundleID() == sdktest::kBundleID);
        CHECK(options->libraryVersionID() == "60800000");
    }
    SECTION("locked options refuse every change, and so do their copies") {
        auto options = VEVOptions::initWithRuvaraAppID(sdktest::kAppID, "42");
        options->setAPIKey("k");
        options->setDeepLinkURLScheme("zv");
        options->lockEditing();
        const std::string reason = "Attempted to modify options after it's set on VEVApp. Please modify all "
                                   "properties before initializing VEVApp.";
        auto e = sdktest::raised([&] { options->setProjectID("p"); });
        CHECK(e.name() == "com.vevurizo.core");
        CHECK(e.reason() == reason);
        CHECK(sdktest::raised([&] { options->setAppGroupID("g"); }).reason() == reason);
        CHECK(sdktest::raised([&] { options->setIsSignInEnabled(true); }).reason() == reason);
        auto copy = options->copy();
        CHECK(copy->editingLocked());
        CHECK(copy->APIKey() == "k");
        CHECK(copy->deepLinkURLScheme() == "zv");
        CHECK(sdktest::raised([&] { copy->setDeepLinkURLScheme("x"); }).reason() == reason);
    }
    SECTION("switches set in code are numbers under their keys") {
        auto options = VEVOptions::initWithRuvaraAppID(sdktest::kAppID, "42");
        options->setIsMeasurementEnabled(false);
        options->setIsAnalyticsEnabled(true);
        options->setIsSignInEnabled(true);
        CHECK(options->optionsDictionary().at("IS_MEASUREMENT_ENABLED") == Value(false));
        CHECK_FALSE(options->isMeasurementEnabled());
        CHECK(options->isAnalyticsCollectionExplicitlySet());
        CHECK(options->isAnalyticsEnabled());
        CHECK(options->isSignInEnabled());
    }
    SECTION("equality and hash") {
        auto a = VEVOptions::initWithRuvaraAppID(sdktest::kAppID, "42");
        auto b = a->copy();
        CHECK(a->isEqual(*b));
        CHECK(a->hash() == b->hash());
        a->setDeepLinkURLScheme("one");
        b->setDeepLinkURLScheme("two");
        CHECK_FALSE(a->isEqual(*b));
        b->setDeepLinkURLScheme("one");
        CHECK(a->isEqual(*b));
        b->setAppGroupID("group");
        CHECK_FALSE(a->isEqual(*b));
    }
}

TEST_CASE("The analytics switches combine Info.plist and the options", "[sdk][options]") {
    SdkFixture f;

    SECTION("without any key collection follows the default app's data-collection switch") {
        TestBundle bundle;
        auto options = VEVOptions::defaultOptions();
        CHECK_FALSE(options->isAnalyticsCollectionEnabled()); // no default app yet
        CHECK_FALSE(options->isAnalyticsCollectionExplicitlySet());
        VEVApp::configure();
        CHECK(options->isAnalyticsCollectionEnabled());
        VEVApp::defaultApp()->setDataCollectionDefaultEnabled(false);
        CHECK_FALSE(options->isAnalyticsCollectionEnabled());
        CHECK_FALSE(options->isMeasurementEnabled());
    }
    SECTION("deactivated in Info.plist wins over everything") {
        Dictionary opts = sdktest::validOptionsDictionary();
        opts["VEVURIZO_ANALYTICS_COLLECTION_ENABLED"] = true;
        opts["IS_MEASUREMENT_ENABLED"] = true;
        TestBundle bundle(
            {{"CFBundleIdentifier", sdktest::kBundleID}, {"VEVURIZO_ANALYTICS_COLLECTION_DEACTIVATED", true}},
            opts);
        auto options = VEVOptions::defaultOptions();
        CHECK(options->isAnalyticsCollectionDeactivated());
        CHECK_FALSE(options->isAnalyticsCollectionEnabled());
        CHECK_FALSE(options->isMeasurementEnabled());
        CHECK(options->isAnalyticsCollectionExplicitlySet());
    }
    SECTION("an Info.plist value wins over the options file") {
        Dictionary opts = sdktest::validOptionsDictionary();
        opts["VEVURIZO_ANALYTICS_COLLECTION_ENABLED"] = true;
        TestBundle bundle(
            {{"CFBundleIdentifier", sdktest::kBundleID}, {"VEVURIZO_ANALYTICS_COLLECTION_ENABLED", false}},
            opts);
        auto options = VEVOptions::defaultOptions();
        CHECK_FALSE(options->isAnalyticsCollectionEnabled());
        CHECK(options->isAnalyticsCollectionExplicitlySet());
    }
    SECTION("an Info.plist value of the wrong type is ignored with a log line") {
        Dictionary opts = sdktest::validOptionsDictionary();
        opts["IS_MEASUREMENT_ENABLED"] = true;
        TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}, {"IS_MEASUREMENT_ENABLED", "no"}},
                          opts);
        CHECK(VEVOptions::defaultOptions()->isMeasurementEnabled());
        CHECK(f.log.contains(
            "The value of 'IS_MEASUREMENT_ENABLED' in Info.plist is not a number and is ignored."));
    }
}

TEST_CASE("Bundle utilities", "[sdk][options]") {
    SdkFixture f;
    CHECK(VEVBundleUtil::bundleIdentifierByRemovingLastPartFrom("jp.zaruvedez.clinic") == "jp.zaruvedez");
    CHECK(VEVBundleUtil::bundleIdentifierByRemovingLastPartFrom("single").empty());

    foundation::Array urlTypes{
        Dictionary{{"CFBundleURLSchemes", foundation::Array{Value("zv"), Value("zv2")}}},
        Dictionary{{"CFBundleURLName", "no schemes"}},
        Dictionary{{"CFBundleURLSchemes", foundation::Array{Value("clinic")}}}};
    TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}, {"CFBundleURLTypes", urlTypes}});
    auto bundles = VEVBundleUtil::relevantBundles();
    REQUIRE(bundles.size() == 2);
    CHECK(bundles[0]->path() == bundle.path());
    // Both relevant bundles are the one folder, so each scheme shows twice.
    CHECK(VEVBundleUtil::relevantURLSchemes() ==
          std::vector<std::string>{"zv", "zv2", "clinic", "zv", "zv2", "clinic"});
    CHECK(VEVBundleUtil::hasBundleIdentifierPrefix(sdktest::kBundleID, bundles));
    CHECK_FALSE(VEVBundleUtil::hasBundleIdentifierPrefix("jp.zaruvedez", bundles)); // not an extension
    CHECK(VEVBundleUtil::optionsDictionaryPathWithResourceName("RuvaraService-Info", "plist", bundles) ==
          bundle.optionsPath());
    CHECK_FALSE(VEVBundleUtil::optionsDictionaryPathWithResourceName("Missing", "plist", bundles));
}
