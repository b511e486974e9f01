#include <atomic>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/RIZEvudezodoConfiguration.h"
#include "sdk/core/VEVCoreDiagnosticsConnector.h"
#include "sdk/measurement/engine/APMAnalytics.h"
#include "sdk/measurement/engine/RIZEvudezodo.h"
#include "tests/sdk/core/SdkTestSupport.h"

using foundation::Dictionary;
using foundation::Value;
using sdktest::raised;
using sdktest::SdkFixture;
using sdktest::TestBundle;

namespace {

// Counts readiness notifications and keeps the last user info.
struct ReadinessObserver {
    ReadinessObserver() {
        token = foundation::NotificationCenter::defaultCenter()->addObserver(
            kVEVAppReadyToConfigureSDKNotification, VEVApp::classObject(), nullptr,
            [this](const foundation::Notification& n) {
                ++count;
                userInfo = n.userInfo;
            });
    }
    int count = 0;
    Dictionary userInfo;
    foundation::ObserverPtr token;
};

// A registrant in the shared set with one component per timing; it stays for the process, so the
// tests compare counts before and after.
struct TimingLibrary {
    static constexpr const char* kClassName = "TestTimingLibrary";
    static inline std::atomic<int> lazy{0}, alwaysEager{0}, defaultEager{0};
    static inline std::atomic<bool> failEager{false};

    static std::vector<VEVComponentPtr> componentsToRegister() {
        auto component = [](const char* name, VEVInstantiationTiming timing, std::atomic<int>* made) {
            return VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
                sdk::Protocol(name), timing, {},
                [made](VEVComponentContainer&, bool& isCacheable) -> sdk::ObjectPtr {
                    if (failEager.exchange(false)) throw std::runtime_error("eager component failed");
                    ++*made;
                    isCacheable = true;
                    return std::make_shared<sdk::Object>();
                });
        };
        return {component("TestLazy", VEVInstantiationTimingLazy, &lazy),
                component("TestAlwaysEager", VEVInstantiationTimingAlwaysEager, &alwaysEager),
                component("TestDefaultEager", VEVInstantiationTimingEagerInDefaultApp, &defaultEager)};
    }
    static void install() {
        VEVComponentContainer::registerAsComponentRegistrant(sdk::libraryClass<TimingLibrary>());
    }
};

// A library whose eager component and configure hook write to the log, so a test can read the
// order of the configuration steps; both look back into VEVApp while the class lock is held.
struct OrderLibrary {
    static constexpr const char* kClassName = "TestOrderLibrary";
    static std::vector<VEVComponentPtr> componentsToRegister() {
        return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
            sdk::Protocol("TestOrderEager"), VEVInstantiationTimingAlwaysEager, {},
            [](VEVComponentContainer& container, bool& isCacheable) -> sdk::ObjectPtr {
                auto app = container.app();
                foundation::log("step: eager component, registered %@",
                                app && VEVApp::allApps() && VEVApp::allApps()->count(app->name()) ? "yes"
                                                                                                  : "no");
                isCacheable = true;
                return std::make_shared<sdk::Object>();
            })};
    }
    static void configureWithApp(const std::shared_ptr<VEVApp>& app) {
        foundation::log("step: configureWithApp %@", app->name());
    }
};

// Asks for the default app from a thread of its own and waits up to ten seconds for the answer: while
// a lock of VEVApp's is held by the caller's thread the question cannot be answered. The thread is left
// to finish by itself, so a regression fails the test instead of hanging it.
struct Answer {
    bool answered = false;
    bool defaultAppSet = false;
};
Answer askFromAnotherThread() {
    auto answer = std::make_shared<std::promise<bool>>();
    auto reply = answer->get_future();
    std::thread([answer] {
        answer->set_value(VEVApp::defaultApp() != nullptr && VEVApp::allApps());
    }).detach();
    if (reply.wait_for(std::chrono::seconds(10)) != std::future_status::ready) return {};
    return {true, reply.get()};
}

// Every place where VEVApp runs another component's code asks another thread for the default app.
struct ProbeLibrary {
    static constexpr const char* kClassName = "TestProbeLibrary";
    static inline std::atomic<bool> active{false};
    static inline std::mutex mutex;
    static inline std::map<std::string, Answer> answers;
    static void probe(const std::string& where) {
        if (!active) return;
        auto a = askFromAnotherThread();
        std::lock_guard lock(mutex);
        answers[where] = a;
    }
    struct Instance : sdk::Object, VEVComponentLifecycleMaintainer {
        void appWillBeDeleted(const std::shared_ptr<VEVApp>&) override { probe("appWillBeDeleted"); }
    };
    static std::vector<VEVComponentPtr> componentsToRegister() {
        return {VEVComponent::componentWithProtocolInstantiationTimingDependenciesCreationBlock(
            sdk::Protocol("TestProbeEager"), VEVInstantiationTimingAlwaysEager, {},
            [](VEVComponentContainer&, bool& isCacheable) -> sdk::ObjectPtr {
                probe("eager component");
                isCacheable = true;
                return std::make_shared<Instance>();
            })};
    }
    static void configureWithApp(const std::shared_ptr<VEVApp>&) { probe("configureWithApp"); }
};

VEVOptionsPtr optionsWithAppID(const std::string& appID) {
    return sdktest::namedAppOptions(appID);
}

} // namespace

TEST_CASE("configure sets up the default app from the bundle", "[sdk][app]") {
    SdkFixture f;
    VEVSetLoggerLevel(VEVLoggerLevelDebug);
    ReadinessObserver ready;

    VEVApp::configure();

    REQUIRE(VEVApp::isDefaultAppConfigured());
    auto app = VEVApp::defaultApp();
    CHECK(app->name() == "__VEVAPP_DEFAULT");
    CHECK(app->isDefaultApp());
    CHECK(app->options()->editingLocked());
    CHECK(app->options()->isEqual(*VEVOptions::defaultOptions()->copy()));
    CHECK(VEVApp::allApps()->size() == 1);
    CHECK(f.log.contains("[Vevurizo/Core][I-COR000001] Configuring the default app."));

    SECTION("one readiness notification with its user info") {
        CHECK(ready.count == 1);
        CHECK(ready.userInfo == Dictionary{{"VEVAppNameKey", "__VEVAPP_DEFAULT"},
                                           {"VEVAppIsDefaultAppKey", true},
                                           {"VEVRuvaraAppIDKey", sdktest::kAppID}});
        VEVApp::configureWithName("second", optionsWithAppID(sdktest::kAppID));
        CHECK(ready.count == 2);
        CHECK(ready.userInfo == Dictionary{{"VEVAppNameKey", "second"},
                                           {"VEVAppIsDefaultAppKey", false},
                                           {"VEVRuvaraAppIDKey", sdktest::kAppID}});
    }
    SECTION("the measurement engine is started with origin fa and the start options") {
        auto start = APMAnalytics::lastStart();
        REQUIRE(start);
        CHECK(start->appID == sdktest::kAppID);
        CHECK(start->origin == "fa");
        auto& o = start->options;
        CHECK(std::any_cast<std::shared_ptr<RIZEvudezodoConfiguration>>(
                  o.at("VEVURIZO_ANALYTICS_CONFIGURATION")) == RIZEvudezodoConfiguration::sharedInstance());
        CHECK(std::any_cast<Value>(o.at("VEVURIZO_ANALYTICS_COLLECTION_DEACTIVATED")) == Value(false));
        CHECK(std::any_cast<Value>(o.at("VEVURIZO_ANALYTICS_COLLECTION_ENABLED")) == Value(true));
        CHECK(std::any_cast<Value>(o.at("app_measurement_log_tag")) == Value("[Vevurizo/Analytics]"));
        CHECK_FALSE(o.count("safelisted_events"));
        CHECK(f.log.contains("[Vevurizo/Analytics][I-RIZ000001] Measurement engine started for app"));
    }
    SECTION("a second configure raises") {
        auto e = raised([] { VEVApp::configure(); });
        CHECK(e.name() == "com.vevurizo.core");
        CHECK(e.reason() == "Default app has already been configured.");
        CHECK(ready.count == 1);
    }
}

TEST_CASE("The safelisted events of the options file reach the engine", "[sdk][app]") {
    SdkFixture f;
    Dictionary opts = sdktest::validOptionsDictionary();
    opts["ANALYTICS_SAFELISTED_EVENTS"] = foundation::Array{Value("visit")};
    TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}}, opts);
    VEVApp::configure();
    CHECK(std::any_cast<Value>(APMAnalytics::lastStart()->options.at("safelisted_events")) ==
          Value(foundation::Array{Value("visit")}));
}

TEST_CASE("configure without an options file logs and raises", "[sdk][app]") {
    SdkFixture f;
    TestBundle bundle({{"CFBundleIdentifier", sdktest::kBundleID}}, std::nullopt);
    auto e = raised([] { VEVApp::configure(); });
    CHECK(f.log.contains("[Vevurizo/Core][I-COR000012] Could not locate configuration file: "
                         "'RuvaraService-Info.plist'."));
    CHECK(e.name() == "com.vevurizo.core");
    CHECK(e.reason() == "`[VEVApp configure];` (`DoraveziZod.configure()` in Swift) could not find a valid "
                        "RuvaraService-Info.plist in your project. Please download one from "
                        "https://console.zaruvedez.invalid/.");
    CHECK_FALSE(VEVApp::isDefaultAppConfigured());
}

TEST_CASE("Names and options are checked before anything is configured", "[sdk][app]") {
    SdkFixture f;
    auto options = optionsWithAppID(sdktest::kAppID);
    CHECK(raised([] { VEVApp::configureWithOptions(nullptr); }).reason() ==
          "Options is nil. Please pass a valid options.");
    CHECK(raised([] { VEVApp::configureWithName("x", nullptr); }).reason() ==
          "Neither name nor options can be nil.");
    CHECK(raised([&] { VEVApp::configureWithName("", options); }).reason() == "Name cannot be empty.");
    for (const char* bad : {"my app", "app!", "a.b", "tab\there"})
        CHECK(raised([&] { VEVApp::configureWithName(bad, options); }).reason() ==
              "App name can only contain alphanumeric, hyphen (-), and underscore (_) characters");
    CHECK_FALSE(VEVApp::allApps());

    VEVSetLoggerLevel(VEVLoggerLevelDebug);
    VEVApp::configureWithName("Clinic-2_b", options);
    VEVApp::configureWithName("診療所", options); // letters of any script are alphanumeric
    CHECK(f.log.contains("[Vevurizo/Core][I-COR000002] Configuring app named Clinic-2_b"));
    CHECK(VEVApp::appNamed("Clinic-2_b"));
    CHECK_FALSE(VEVApp::appNamed("Clinic-2_b")->isDefaultApp());
    CHECK(VEVApp::appNamed("診療所"));
    CHECK_FALSE(VEVApp::isDefaultAppConfigured());
    CHECK(raised([&] { VEVApp::configureWithName("Clinic-2_b", options); }).reason() ==
          "App named Clinic-2_b has already been configured.");
}

TEST_CASE("The app ID check", "[sdk][app]") {
    SdkFixture f;

    SECTION("its three outcomes") {
        CHECK(VEVApp::validateAppID("1:123456789012:ios:0a1b2c3d4e5f"));
        VEVSetLoggerLevel(VEVLoggerLevelInfo);
        CHECK(VEVApp::validateAppID("2:123456789012:web:anything"));
        CHECK(f.log.contains("[Vevurizo/Core][I-COR000010] Unknown RUVARA_APP_ID version: 2"));
        CHECK_FALSE(VEVApp::validateAppID("1:123456789012:android:0a1b2c3d4e5f"));
    }
    SECTION("malformed identifiers") {
        for (const char* bad : {"", "x:1:ios:ab", ":1:ios:ab", "1", "1-123:ios:ab", "1:abc:ios:ab",
                                "1:123:ios:", "1:123:ios:zz", "1:123:ios:ab:cd", "1:123:ios:ab ",
                                " 1:123:ios:ab", "1:123:IOS:ab", "1:123:ios"})
            CHECK_FALSE(VEVApp::validateAppID(bad));
        CHECK(VEVApp::validateAppID("1:-5:ios:0xABCDEF"));
    }
    SECTION("through configure: a rejected ID raises and leaves no default app behind") {
        auto e = raised([] { VEVApp::configureWithOptions(optionsWithAppID("1:123:android:ab")); });
        CHECK(e.reason() == "Configuration fails. It may be caused by an invalid RUVARA_APP_ID in "
                            "RuvaraService-Info.plist or set in the customized options.");
        CHECK(f.log.contains(
            "[Vevurizo/Core][I-COR000009] The RUVARA_APP_ID either in the plist file "
            "'RuvaraService-Info.plist' or the one set in the customized options is invalid."));
        CHECK_FALSE(VEVApp::isDefaultAppConfigured());
        CHECK(VEVApp::allApps()->empty());
        VEVApp::configureWithOptions(optionsWithAppID(sdktest::kAppID)); // a retry works
        CHECK(VEVApp::isDefaultAppConfigured());
    }
    SECTION("version 2 configures") {
        VEVApp::configureWithOptions(optionsWithAppID("2:123:web:ab"));
        CHECK(VEVApp::isDefaultAppConfigured());
    }
}

TEST_CASE("A bundle ID that differs from the bundle's is logged and configuration goes on", "[sdk][app]") {
    SdkFixture f;
    auto options = optionsWithAppID(sdktest::kAppID);
    options->setBundleID("jp.other.app");
    VEVApp::configureWithOptions(options);
    CHECK(VEVApp::isDefaultAppConfigured());
    CHECK(f.log.contains(
        "[Vevurizo/Core][I-COR000008] The project's Bundle ID is inconsistent with either the Bundle "
        "ID in 'RuvaraService-Info.plist'"));
    CHECK(f.log.contains(
        "you may change your app's bundle identifier to 'jp.other.app'. Or you can download a new "
        "configuration file that matches your bundle identifier from "
        "https://console.zaruvedez.invalid/ and replace the current one."));
}

TEST_CASE("Eager components are made by timing", "[sdk][app]") {
    SdkFixture f;
    TimingLibrary::install();
    int lazy = TimingLibrary::lazy, always = TimingLibrary::alwaysEager,
        byDefault = TimingLibrary::defaultEager;

    SECTION("the default app makes timings 1 and 2") {
        VEVApp::configure();
        CHECK(TimingLibrary::alwaysEager == always + 1);
        CHECK(TimingLibrary::defaultEager == byDefault + 1);
        CHECK(TimingLibrary::lazy == lazy);
        VEVApp::defaultApp()->container().instanceForProtocol(sdk::Protocol("TestLazy"));
        CHECK(TimingLibrary::lazy == lazy + 1);
    }
    SECTION("a named app makes timing 1 only; timing 2 waits for a request") {
        VEVApp::configureWithName("named", optionsWithAppID(sdktest::kAppID));
        CHECK(TimingLibrary::alwaysEager == always + 1);
        CHECK(TimingLibrary::defaultEager == byDefault);
        VEVApp::appNamed("named")->container().instanceForProtocol(sdk::Protocol("TestDefaultEager"));
        CHECK(TimingLibrary::defaultEager == byDefault + 1);
    }
    SECTION("an eager component that throws leaves no default app behind") {
        TimingLibrary::failEager = true;
        ReadinessObserver ready;
        size_t observers = foundation::NotificationCenter::defaultCenter()->observerCount();
        CHECK_THROWS_WITH(VEVApp::configure(), "eager component failed");
        CHECK_FALSE(VEVApp::isDefaultAppConfigured());
        CHECK(VEVApp::allApps()->empty());
        CHECK(ready.count == 0);
        CHECK(foundation::NotificationCenter::defaultCenter()->observerCount() == observers);
        VEVApp::configure();
        CHECK(VEVApp::isDefaultAppConfigured());
        CHECK(ready.count == 1);
    }
}

TEST_CASE("Concurrent configure calls make exactly one default app", "[sdk][app]") {
    SdkFixture f;
    ReadinessObserver ready;
    std::atomic<int> succeeded{0}, refused{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] {
            try {
                VEVApp::configure();
                ++succeeded;
            } catch (const foundation::NamedException& e) {
                if (e.reason() == "Default app has already been configured.") ++refused;
            }
        });
    for (auto& t : threads)
        t.join();
    CHECK(succeeded == 1);
    CHECK(refused == 7);
    CHECK(ready.count == 1);
    CHECK(VEVApp::allApps()->size() == 1);
}

TEST_CASE("The configuration road runs its steps in order", "[sdk][app]") {
    SdkFixture f;
    VEVApp::registerInternalLibrary(sdk::libraryClass<OrderLibrary>(), "test-order", "1");
    VEVSetLoggerLevel(VEVLoggerLevelDebug);
    auto token = foundation::NotificationCenter::defaultCenter()->addObserver(
        kVEVAppReadyToConfigureSDKNotification, VEVApp::classObject(), nullptr,
        [](const foundation::Notification&) {
            // Observers run on the configuring thread, with no lock of VEVApp's held, and may call back in.
            foundation::log("step: ready, default app %@", VEVApp::defaultApp() ? "set" : "missing");
        });
    size_t telemetryBefore = VEVCoreDiagnosticsConnector::requestCount();

    VEVApp::configure();

    std::vector<std::string> steps;
    for (const auto& line : f.log.lines())
        if (line.find("step: ") == 0 || line.find("[I-COR000001]") != std::string::npos ||
            line.find("[I-RIZ000001]") != std::string::npos)
            steps.push_back(line.substr(0, line.find(" for app")));
    CHECK(steps == std::vector<std::string>{"[Vevurizo/Core][I-COR000001] Configuring the default app.",
                                            "[Vevurizo/Analytics][I-RIZ000001] Measurement engine started",
                                            "step: eager component, registered yes",
                                            "step: ready, default app set",
                                            "step: configureWithApp __VEVAPP_DEFAULT"});
    CHECK(VEVCoreDiagnosticsConnector::requestCount() == telemetryBefore + 1); // once, at configuration
}

TEST_CASE("Other components' code runs with no lock of VEVApp's held", "[sdk][app]") {
    SdkFixture f;
    VEVApp::registerInternalLibrary(sdk::libraryClass<ProbeLibrary>(), "test-probe", "1");
    ProbeLibrary::answers.clear();
    ProbeLibrary::active = true;
    auto center = foundation::NotificationCenter::defaultCenter();
    // Observers of both notifications wait for a second thread that asks for the default app.
    auto ready = center->addObserver(kVEVAppReadyToConfigureSDKNotification, VEVApp::classObject(), nullptr,
                                     [](const foundation::Notification&) { ProbeLibrary::probe("ready"); });
    auto deleted =
        center->addObserver(kVEVAppDeleteNotification, VEVApp::classObject(), nullptr,
                            [](const foundation::Notification&) { ProbeLibrary::probe("deleted"); });

    VEVApp::configure();
    std::promise<bool> done;
    VEVApp::defaultApp()->deleteApp([&](bool success) { done.set_value(success); });
    CHECK(done.get_future().get());
    ProbeLibrary::active = false;

    std::lock_guard lock(ProbeLibrary::mutex);
    for (const char* where :
         {"eager component", "ready", "configureWithApp", "appWillBeDeleted", "deleted"}) {
        INFO(where);
        REQUIRE(ProbeLibrary::answers.count(where));
        CHECK(ProbeLibrary::answers[where].answered); // at once, not after the configuration
    }
    // The app is found from the start of the eager step until its deletion has been decided.
    CHECK(ProbeLibrary::answers["eager component"].defaultAppSet);
    CHECK(ProbeLibrary::answers["ready"].defaultAppSet);
    CHECK(ProbeLibrary::answers["configureWithApp"].defaultAppSet);
    CHECK(ProbeLibrary::answers["appWillBeDeleted"].defaultAppSet);
    CHECK_FALSE(ProbeLibrary::answers["deleted"].defaultAppSet);
}
