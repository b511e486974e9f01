#include <catch2/catch.hpp>
#include <future>

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/installations/VEVInstallations.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"
#include "sdk/measurement/engine/APMInstallationIDObserver.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/sdk/core/installations/InstallationsTestSupport.h"

using namespace installationstest;
using sdktest::raised;

namespace {

VEVOptionsPtr options(foundation::Dictionary d = sdktest::validOptionsDictionary()) {
    auto path = testsupport::makeTempDir("zvopts") + "/o.plist";
    foundation::plist::writeFile(path, foundation::Value(d));
    return VEVOptions::initWithContentsOfFile(path);
}

struct Answering {
    FakeService server;
    Answering() {
        server.use();
        server.setHandler([](const httplib::Request& req, httplib::Response& res) {
            if (req.path.ends_with(":generate"))
                res.set_content(tokenAnswer("fresh-token"), "application/json");
            else if (req.method == "POST")
                res.set_content(registrationAnswer("", "r", "first-token"), "application/json");
            else
                res.set_content("{}", "application/json");
        });
    }
};

} // namespace

TEST_CASE("Options the client cannot work without are named in one exception", "[installations][api]") {
    sdktest::SdkFixture sdk;
    auto d = sdktest::validOptionsDictionary();
    d.erase("API_KEY");
    d.erase("PROJECT_ID");
    d.erase("RCM_SENDER_ID");
    auto e = raised([&] { VEVInstallations::validateAppOptions(options(d), ""); });
    CHECK(e.name() == "com.vevurizo.installations");
    CHECK(e.reason() ==
          "[Vevurizo/Installations][I-VIS008000] Could not configure Vevurizo Installations due to invalid "
          "DoraveziZod "
          "options. The following parameters are nil or empty: `DoraveziZod.name`, `VevurizoOptions.APIKey`, "
          "`VevurizoOptions.projectID`. If you use RuvaraServices-Info.plist please download the most recent "
          "version "
          "from the Vevurizo Console. If you configure Vevurizo in code, please make sure you specify all "
          "required "
          "parameters.");
    auto senderOnly = sdktest::validOptionsDictionary();
    senderOnly.erase("PROJECT_ID");
    CHECK_NOTHROW(VEVInstallations::validateAppOptions(options(senderOnly), "app"));

    SECTION("configuring an app without an API key fails and leaves no app behind") {
        auto noKey = VEVOptions::initWithRuvaraAppID(sdktest::kAppID, "1");
        CHECK(raised([&] { VEVApp::configureWithName("nokey", noKey); }).name() ==
              "com.vevurizo.installations");
        CHECK_FALSE(VEVApp::appNamed("nokey"));
    }
    SECTION("no default app") {
        CHECK(raised([] { VEVInstallations::installations(); })
                  .reason()
                  .starts_with("The default DoraveziZod instance must be configured"));
    }
    SECTION("an instance-ID library too old for installations") {
        foundation::ClassRegistry::registerClass("VEVInstanceID", VEVInstanceIDClass{false});
        CHECK(raised([] { VEVInstallations::assertCompatibleIIDVersion(); })
                  .reason()
                  .starts_with("VevurizoInstallations will not work correctly"));
        foundation::ClassRegistry::registerClass("VEVInstanceID", VEVInstanceIDClass{true});
        CHECK_NOTHROW(VEVInstallations::assertCompatibleIIDVersion());
        foundation::ClassRegistry::unregisterClass("VEVInstanceID");
    }
}

TEST_CASE("The public API answers through completions", "[installations][api]") {
    sdktest::SdkFixture sdk;
    Answering service;
    auto senderOnly = sdktest::validOptionsDictionary();
    senderOnly.erase("PROJECT_ID");
    auto installations = VEVInstallations::initWitAppOptions(options(senderOnly), "clinic");
    installations->installationsIDController()->APIService()->setRetryDelaySeconds(0.01);

    std::promise<std::optional<std::string>> id;
    installations->installationIDWithCompletion(
        [&](std::optional<std::string> fid, foundation::ErrorPtr error) {
            CHECK_FALSE(error);
            id.set_value(fid);
        });
    auto fid = id.get_future().get();
    REQUIRE(fid);
    CHECK(fid->size() == 22);

    std::promise<std::shared_ptr<VEVInstallationsAuthTokenResult>> token;
    installations->authTokenWithCompletion([&](std::shared_ptr<VEVInstallationsAuthTokenResult> result,
                                               foundation::ErrorPtr) { token.set_value(result); });
    auto result = token.get_future().get();
    REQUIRE(result);
    CHECK(result->authToken == "first-token");
    // The sender ID stands in for the missing project ID.
    CHECK(service.server.requests().at(0).path == "/v1/projects/123456789012/installations/");

    std::promise<foundation::ErrorPtr> deleted;
    installations->deleteWithCompletion([&](foundation::ErrorPtr error) { deleted.set_value(error); });
    CHECK_FALSE(deleted.get_future().get());
    CHECK(service.server.requests().back().method == "DELETE");

    SECTION("errors of other domains reach completions wrapped") {
        foundation::UserDefaults::standard()->removeObjectForKey(kVEVInstallationsServiceURLDefaultsKey);
        std::promise<foundation::ErrorPtr> failed;
        installations->authTokenForcingRefresh(
            true, [&](std::shared_ptr<VEVInstallationsAuthTokenResult> r, foundation::ErrorPtr error) {
                CHECK_FALSE(r);
                failed.set_value(error);
            });
        auto error = failed.get_future().get();
        REQUIRE(error);
        CHECK(error->domain() == "com.vevurizo.installations");
        CHECK(error->code() == 0);
        REQUIRE(error->underlying);
        CHECK(error->underlying->domain() == kVEVURLSessionErrorDomain);
    }
}

TEST_CASE("The measurement engine follows the default app's installation ID", "[installations][engine]") {
    sdktest::SdkFixture sdk;
    Answering service;
    sdktest::TestBundle bundle;
    VEVApp::configure();
    auto installations = VEVInstallations::installations();
    REQUIRE(installations);
    REQUIRE(eventually([] { return APMInstallationIDObserver::installationID().has_value(); }));
    auto first = *APMInstallationIDObserver::installationID();

    std::promise<std::optional<std::string>> id;
    installations->installationIDWithCompletion(
        [&](std::optional<std::string> fid, foundation::ErrorPtr) { id.set_value(fid); });
    CHECK(id.get_future().get() == first);

    std::promise<void> deleted;
    installations->deleteWithCompletion([&](foundation::ErrorPtr) { deleted.set_value(); });
    deleted.get_future().get();
    // The engine hears of the change and reads the new ID.
    REQUIRE(eventually([&] {
        auto now = APMInstallationIDObserver::installationID();
        return now && *now != first;
    }));
    APMInstallationIDObserver::stopObserving();
    drainPromiseQueue();
}
