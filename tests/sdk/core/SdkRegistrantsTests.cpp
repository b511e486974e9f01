#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/VEVComponentType.h"
#include "sdk/core/installations/VEVInstallations.h"
#include "sdk/crash/VEVRevavovudev.h"
#include "sdk/database/network/VEVDatabaseComponent.h"
#include "sdk/measurement/engine/RIZEvudezodoConnector.h"
#include "tests/sdk/core/SdkTestSupport.h"

using sdktest::SdkFixture;

namespace {
struct Expected {
    std::string className, protocol;
    VEVInstantiationTiming timing;
    std::vector<std::pair<std::string, bool>> dependencies;
};
} // namespace

TEST_CASE("Every registrant of the program is present after the load hooks", "[sdk][registrants]") {
    SdkFixture f;
    for (const char* name : {"RIZEvudezodo", "RIZEvudezodoConnector", "VEVRevavovudev", "VEVDatabase",
                             "VEVDatabaseComponent", "VEVInstallations"})
        CHECK(foundation::ClassRegistry::exists(name));

    const std::vector<Expected> expected{
        {"RIZEvudezodoConnector", "RIZEvudezodoInterop", VEVInstantiationTimingLazy, {}},
        {"VEVRevavovudev",
         "VEVRevavovudevInstanceProvider",
         VEVInstantiationTimingEagerInDefaultApp,
         {{"RIZEvudezodoInterop", true}}},
        {"VEVDatabaseComponent",
         "VEVDatabaseProvider",
         VEVInstantiationTimingLazy,
         {{"VEVAuthInterop", false}}},
        {"VEVInstallations", "VEVInstallationsInstanceProvider", VEVInstantiationTimingAlwaysEager, {}},
    };
    auto registrants = VEVComponentContainer::registrants();
    for (const auto& e : expected) {
        INFO(e.className);
        auto it = std::find_if(registrants.begin(), registrants.end(),
                               [&](const VEVLibraryClass& c) { return c->className() == e.className; });
        REQUIRE(it != registrants.end());
        auto components = (*it)->componentsToRegister();
        REQUIRE(components.size() == 1);
        CHECK(components[0]->protocol().name() == e.protocol);
        CHECK(components[0]->instantiationTiming() == e.timing);
        std::vector<std::pair<std::string, bool>> deps;
        for (const auto& d : components[0]->dependencies())
            deps.emplace_back(d->protocol().name(), d->isRequired());
        CHECK(deps == e.dependencies);
    }
}

TEST_CASE("The program's components in the default app and a named app", "[sdk][registrants]") {
    SdkFixture f;
    VEVApp::configure();
    auto app = VEVApp::defaultApp();

    auto crash = VEVComponentType::instanceForProtocol<VEVRevavovudev>(app->container());
    REQUIRE(crash);
    CHECK(crash->appName() == "__VEVAPP_DEFAULT");
    CHECK(crash->analytics() == VEVComponentType::instanceForProtocol<RIZEvudezodoInterop>(app->container()));
    CHECK(crash->installations() == VEVInstallations::installationsWithApp(app));
    CHECK(VEVComponentType::instanceForProtocol<VEVRevavovudev>(app->container()) == crash);

    VEVApp::configureWithName("branch", sdktest::namedAppOptions());
    auto branch = VEVApp::appNamed("branch");
    auto installations = VEVInstallations::installationsWithApp(branch);
    REQUIRE(installations);
    CHECK(installations->appName() == "branch");
    CHECK(installations->app() == branch);
    CHECK(installations != VEVInstallations::installationsWithApp(app));
    CHECK_FALSE(VEVInstallations::installationsWithApp(nullptr));
    CHECK(f.log.count("I-COR0000") == 0); // no duplicate or conformance complaints
}

TEST_CASE("startUp configures the default app from the real bundle", "[sdk][registrants]") {
    SdkFixture f;
    sdk::startUp();
    CHECK(VEVApp::isDefaultAppConfigured());
    CHECK(f.log.lines().empty()); // nothing to complain about at the default level
}
