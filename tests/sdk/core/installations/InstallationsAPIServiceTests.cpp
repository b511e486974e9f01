#include <catch2/catch.hpp>
#include <nlohmann/json.hpp>

#include "platform/foundation/Log.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/installations/VEVInstallationsAPIService.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/sdk/core/installations/InstallationsTestSupport.h"

using installationstest::FakeService;
using installationstest::settle;
using nlohmann::json;

namespace {

VEVInstallationsItem unregistered() {
    VEVInstallationsItem item(sdktest::kAppID, "__VEVAPP_DEFAULT");
    item.vevurizoInstallationID = "fAbCdEfGhIjKlMnOpQrStU";
    item.registrationStatus = VEVInstallationStatusUnregistered;
    return item;
}

VEVInstallationsItem registered() {
    auto item = unregistered();
    item.refreshToken = "refresh-secret-token";
    item.registrationStatus = VEVInstallationStatusRegistered;
    return item;
}

struct ServiceFixture {
    sdktest::SdkFixture sdk;
    FakeService server;
    VEVInstallationsAPIService service{"api-key-secret", "zaruvedez-test"};
    ServiceFixture() {
        server.use();
        service.setRetryDelaySeconds(0.01);
    }
};

} // namespace

TEST_CASE("Registration sends the exact request and gives a registered record", "[installations][api]") {
    ServiceFixture f;
    f.server.setHandler([](const httplib::Request&, httplib::Response& res) {
        res.set_content(installationstest::registrationAnswer(
                            "fAbCdEfGhIjKlMnOpQrStU", "refresh-secret-token", "auth-token-value", "3600s"),
                        "application/json");
    });
    auto item = unregistered();
    SECTION("plain registration") {
        auto p = f.service.registerInstallation(item);
        settle(p);
        REQUIRE(p.isFulfilled());
        CHECK(p.value()->registrationStatus == VEVInstallationStatusRegistered);
        CHECK(p.value()->refreshToken == "refresh-secret-token");
        CHECK(p.value()->authToken.token == "auth-token-value");
        auto reqs = f.server.requests();
        REQUIRE(reqs.size() == 1);
        const auto& r = reqs[0];
        CHECK(r.method == "POST");
        CHECK(r.path == "/v1/projects/zaruvedez-test/installations/");
        CHECK(r.header("X-Ruv-Api-Key") == "api-key-secret");
        CHECK(r.header("X-Ios-Bundle-Identifier") == "jp.zaruvedez.clinic");
        CHECK(r.header("Content-Type") == "application/json");
        CHECK_FALSE(r.hasHeader("Authorization"));
        CHECK_FALSE(r.hasHeader("x-ruv-vis-ios-iid-migration-auth"));
        CHECK(r.header("X-vevurizo-client") == VEVApp::vevurizoUserAgent());
        CHECK(r.header("X-vevurizo-client-log-type") == "3"); // first request of the day: both heartbeats
        CHECK(json::parse(r.body) == json{{"fid", "fAbCdEfGhIjKlMnOpQrStU"},
                                          {"authVersion", "VIS_v2"},
                                          {"appId", sdktest::kAppID},
                                          {"sdkVersion", "i:1.4.0"}});
        auto again = f.service.registerInstallation(item);
        settle(again);
        CHECK(f.server.requests()[1].header("X-vevurizo-client-log-type") == "0");
    }
    SECTION("a legacy token adds the migration header to registration only") {
        item.IIDDefaultToken = "legacy-token-value";
        settle(f.service.registerInstallation(item));
        auto reg = registered();
        reg.IIDDefaultToken = "legacy-token-value";
        f.server.setHandler([](const httplib::Request&, httplib::Response& res) {
            res.set_content(installationstest::tokenAnswer("t2"), "application/json");
        });
        settle(f.service.refreshAuthTokenForInstallation(reg));
        auto reqs = f.server.requests();
        REQUIRE(reqs.size() == 2);
        CHECK(reqs[0].header("x-ruv-vis-ios-iid-migration-auth") == "legacy-token-value");
        CHECK_FALSE(reqs[1].hasHeader("x-ruv-vis-ios-iid-migration-auth"));
    }
}

TEST_CASE("Token generation and deletion carry the refresh token", "[installations][api]") {
    ServiceFixture f;
    auto item = registered();
    SECTION("token generation") {
        f.server.setHandler([](const httplib::Request&, httplib::Response& res) {
            res.set_content(installationstest::tokenAnswer("new-token", "7200s"), "application/json");
        });
        auto p = f.service.refreshAuthTokenForInstallation(item);
        settle(p);
        REQUIRE(p.isFulfilled());
        CHECK(p.value()->authToken.token == "new-token");
        CHECK(p.value()->vevurizoInstallationID == item.vevurizoInstallationID);
        CHECK(p.value()->refreshToken == item.refreshToken);
        auto r = f.server.requests().at(0);
        CHECK(r.method == "POST");
        CHECK(r.path ==
              "/v1/projects/zaruvedez-test/installations/fAbCdEfGhIjKlMnOpQrStU/authTokens:generate");
        CHECK(r.header("Authorization") == "VIS_v2 refresh-secret-token");
        CHECK(json::parse(r.body) == json{{"installation", {{"sdkVersion", "i:1.4.0"}}}});
    }
    SECTION("deletion") {
        f.server.setHandler([](const httplib::Request&, httplib::Response& res) {
            res.set_content("{}", "application/json");
        });
        auto p = f.service.deleteInstallation(item);
        settle(p);
        REQUIRE(p.isFulfilled());
        auto r = f.server.requests().at(0);
        CHECK(r.method == "DELETE");
        CHECK(r.path == "/v1/projects/zaruvedez-test/installations/fAbCdEfGhIjKlMnOpQrStU/");
        CHECK(r.header("Authorization") == "VIS_v2 refresh-secret-token");
        CHECK(r.body == "{}");
    }
    SECTION("IDs are percent-encoded path segments") {
        VEVInstallationsAPIService odd("k", "a/b?c");
        item.vevurizoInstallationID = "x/../y";
        settle(odd.deleteInstallation(item));
        CHECK(f.server.requests().at(0).target == "/v1/projects/a%2Fb%3Fc/installations/x%2F..%2Fy/");
        CHECK(f.server.requests().at(0).path == "/v1/projects/a/b?c/installations/x/../y/");
    }
}

TEST_CASE("Request headers follow the fixed order, additional ones last", "[installations][api]") {
    sdktest::SdkFixture sdk;
    VEVInstallationsAPIService service("key", "p");
    auto p =
        service.requestWithURL("http://127.0.0.1:9/x", "POST", foundation::Value(foundation::Dictionary{}),
                               "refresh", {{"Content-Type", "text/plain"}, {"X-Extra", "1"}});
    settle(p);
    auto request = *p.value();
    std::vector<std::string> names;
    for (const auto& h : request.headers)
        names.push_back(h.first);
    CHECK(names == std::vector<std::string>{"X-Ruv-Api-Key", "X-Ios-Bundle-Identifier", "Content-Type",
                                            "Authorization", "X-vevurizo-client",
                                            "X-vevurizo-client-log-type", "X-Extra"});
    CHECK(request.headers[2].second == "text/plain");
}

TEST_CASE("Status codes and server faults", "[installations][api]") {
    ServiceFixture f;
    auto item = registered();
    auto answerWith = [&](int status, std::string body = installationstest::tokenAnswer("t")) {
        f.server.setHandler([status, body](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_content(body, "application/json");
        });
    };
    SECTION("299 passes, 199 and 300 reject with the HTTP error") {
        answerWith(299);
        auto ok = f.service.refreshAuthTokenForInstallation(item);
        settle(ok);
        CHECK(ok.isFulfilled());
        answerWith(300);
        auto bad = f.service.refreshAuthTokenForInstallation(item);
        settle(bad);
        REQUIRE(bad.isRejected());
        CHECK(VEVInstallationsErrorUtil::isAPIError(bad.error(), 300));
        // A 1xx is an interim answer in HTTP: one given as final leaves no response to accept.
        answerWith(199);
        auto interim = f.service.refreshAuthTokenForInstallation(item);
        settle(interim);
        CHECK(interim.isRejected());
    }
    SECTION("a 500 is retried once") {
        std::atomic<int> n{0};
        f.server.setHandler([&](const httplib::Request&, httplib::Response& res) {
            res.status = n++ == 0 ? 500 : 200;
            res.set_content(installationstest::tokenAnswer("t"), "application/json");
        });
        auto p = f.service.refreshAuthTokenForInstallation(item);
        settle(p);
        CHECK(p.isFulfilled());
        CHECK(f.server.count() == 2);
    }
    SECTION("two 500s fail with the second HTTP error; other statuses are not retried") {
        answerWith(500, "second");
        auto p = f.service.refreshAuthTokenForInstallation(item);
        settle(p);
        REQUIRE(p.isRejected());
        CHECK(VEVInstallationsErrorUtil::isAPIError(p.error(), 500));
        CHECK(f.server.count() == 2);
        answerWith(503);
        settle(f.service.refreshAuthTokenForInstallation(item));
        CHECK(f.server.count() == 3);
    }
    SECTION("garbage JSON") {
        answerWith(200, "<html>");
        auto p = f.service.refreshAuthTokenForInstallation(item);
        settle(p);
        CHECK(VEVInstallationsErrorUtil::failureReason(p.error()) == "Failed to serialize JSON data.");
    }
    SECTION("an answer over 1 MiB fails with a clear error, announced or streamed") {
        const size_t limit = VEVInstallationsURLSession::kMaxResponseBytes;
        for (bool streamed : {false, true}) {
            INFO("streamed " << streamed);
            f.server.setHandler([&](const httplib::Request&, httplib::Response& res) {
                if (!streamed) return res.set_content(std::string(limit + 1, ' '), "application/json");
                res.set_chunked_content_provider("application/json", [](size_t, httplib::DataSink& sink) {
                    const std::string chunk(64 * 1024, ' ');
                    for (int i = 0; i < 17; ++i) // 17 × 64 KiB: one chunk past the limit
                        if (!sink.write(chunk.data(), chunk.size())) return false;
                    sink.done();
                    return true;
                });
            });
            auto p = f.service.refreshAuthTokenForInstallation(item);
            settle(p);
            REQUIRE(p.isRejected());
            CHECK(p.error()->domain() == kVEVURLSessionErrorDomain);
            CHECK(p.error()->code() == kVEVURLSessionErrorResponseTooLarge);
            CHECK(p.error()->localizedDescription() ==
                  "The installations service answered with more than 1048576 bytes.");
        }
        // Up to the limit the answer is read (and here is no JSON).
        answerWith(200, std::string(limit, ' '));
        auto p = f.service.refreshAuthTokenForInstallation(item);
        settle(p);
        CHECK(VEVInstallationsErrorUtil::failureReason(p.error()) == "Failed to serialize JSON data.");
    }
    SECTION("a slow answer times out with the session's error") {
        f.service.URLSession()->setTimeoutSeconds(0.2);
        f.server.setHandler([](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            res.set_content("{}", "application/json");
        });
        auto p = f.service.refreshAuthTokenForInstallation(item);
        settle(p);
        REQUIRE(p.isRejected());
        CHECK(p.error()->domain() == kVEVURLSessionErrorDomain);
        CHECK(f.server.count() == 1);
    }
    SECTION("a closed port is a transport error") {
        foundation::UserDefaults::standard()->setObject("http://127.0.0.1:1",
                                                        kVEVInstallationsServiceURLDefaultsKey);
        auto p = f.service.registerInstallation(unregistered());
        settle(p);
        REQUIRE(p.isRejected());
        CHECK(p.error()->domain() == kVEVURLSessionErrorDomain);
    }
}

TEST_CASE("Without a service URL nothing is sent", "[installations][api]") {
    ServiceFixture f;
    for (const char* setting : {"", "ftp://127.0.0.1/", "127.0.0.1:80"}) {
        foundation::UserDefaults::standard()->setObject(setting, kVEVInstallationsServiceURLDefaultsKey);
        auto p = f.service.registerInstallation(unregistered());
        settle(p);
        REQUIRE(p.isRejected());
        CHECK(p.error()->domain() == kVEVURLSessionErrorDomain);
        CHECK(p.error()->code() == kVEVURLSessionErrorNoURL);
    }
    CHECK(f.server.count() == 0);
    foundation::UserDefaults::standard()->setObject(f.server.baseURL() + "//",
                                                    kVEVInstallationsServiceURLDefaultsKey);
    CHECK(VEVInstallationsAPIService::serviceBaseURL() == f.server.baseURL());
}

TEST_CASE("Debug lines keep secrets to their first four characters", "[installations][api]") {
    ServiceFixture f;
    foundation::launch::setArguments(std::vector<std::string>{"zaruvedez", "-VEVDebugEnabled"});
    f.server.setHandler([](const httplib::Request&, httplib::Response& res) {
        res.set_content(installationstest::registrationAnswer("fAbCdEfGhIjKlMnOpQrStU",
                                                              "refresh-secret-token", "auth-token-value"),
                        "application/json");
    });
    auto item = unregistered();
    item.IIDDefaultToken = "legacy-token-value";
    settle(f.service.registerInstallation(item));
    auto reg = registered();
    settle(f.service.deleteInstallation(reg));
    auto lines = f.sdk.log.lines();
    CHECK(f.sdk.log.count("I-VIS001001") == 2);
    CHECK(f.sdk.log.count("I-VIS001003") == 2);
    CHECK(f.sdk.log.contains("api-****"));
    CHECK(f.sdk.log.contains("refr****"));
    for (const auto& l : lines) {
        INFO(l);
        CHECK(l.find("api-key-secret") == std::string::npos);
        CHECK(l.find("refresh-secret-token") == std::string::npos);
        CHECK(l.find("auth-token-value") == std::string::npos);
        CHECK(l.find("legacy-token-value") == std::string::npos);
    }
}
