#include <atomic>
#include <catch2/catch.hpp>
#include <chrono>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"
#include "sdk/core/installations/VEVInstallationsIDController.h"
#include "tests/sdk/core/SdkTestSupport.h"
#include "tests/sdk/core/installations/InstallationsLegacyTestSupport.h"
#include "tests/sdk/core/installations/InstallationsTestSupport.h"

using namespace installationstest;
using nlohmann::json;
using Item = VEVInstallationsItem;

namespace {

constexpr const char* kProject = "zaruvedez-test";
constexpr const char* kSender = "123456789012";

// Counts FID change notifications for one app name.
struct ChangeCounter {
    std::atomic<int> count{0};
    foundation::ObserverPtr token;
    explicit ChangeCounter(std::string appName = "__VEVAPP_DEFAULT") {
        token = foundation::NotificationCenter::defaultCenter()->addObserver(
            kVEVInstallationIDDidChangeNotification, nullptr, nullptr,
            [this, appName](const foundation::Notification& n) {
                if (n.userInfo.size() == 1 &&
                    n.userInfo.at(kVEVInstallationIDDidChangeNotificationAppNameKey) ==
                        foundation::Value(appName))
                    ++count;
            });
    }
};

// The fake service as the real one behaves: registration echoes the FID, tokens are numbered.
struct Service {
    FakeService server;
    std::atomic<int> tokens{0};
    std::atomic<int> registerStatus{200}, generateStatus{200}, deleteStatus{200};
    std::atomic<int> registerDelayMs{0}; // a slow registration, still in flight when the test goes on
    std::string expiresIn = "604800s";
    Service() {
        server.use();
        server.setHandler([this](const httplib::Request& req, httplib::Response& res) {
            if (req.method == "DELETE") {
                res.status = deleteStatus;
                res.set_content("{}", "application/json");
            } else if (req.path.ends_with(":generate")) {
                res.status = generateStatus;
                res.set_content(tokenAnswer("token-" + std::to_string(++tokens), expiresIn),
                                "application/json");
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(registerDelayMs.load()));
                res.status = registerStatus;
                auto fid = json::parse(req.body, nullptr, false).value("fid", "");
                res.set_content(
                    registrationAnswer(fid, "refresh-" + fid, "token-" + std::to_string(++tokens), expiresIn),
                    "application/json");
            }
        });
    }
    std::vector<RecordedRequest> requests() const { return server.requests(); }
};

struct Fixture {
    sdktest::SdkFixture sdk;
    Service service;
    std::atomic<double> clock{0}; // seconds added to the real time
    std::shared_ptr<VEVInstallationsIDController> make(const std::string& appName = "__VEVAPP_DEFAULT") {
        auto c = VEVInstallationsIDController::initWithRuvaraAppID(sdktest::kAppID, appName, "test-key",
                                                                   kProject, kSender, "");
        c->APIService()->setRetryDelaySeconds(0.01);
        c->setDateProvider([this] {
            using namespace std::chrono;
            return foundation::Date{duration<double>(system_clock::now().time_since_epoch()).count() + clock};
        });
        return c;
    }
    Item stored(const std::string& appName = "__VEVAPP_DEFAULT") {
        VEVInstallationsStore store(std::make_shared<RULKeychainStorage>(kVEVInstallationsKeychainService),
                                    "");
        auto p = store.installationForAppID(sdktest::kAppID, appName);
        settle(p);
        REQUIRE(p.isFulfilled());
        return *p.value();
    }
    bool hasStored(const std::string& appName = "__VEVAPP_DEFAULT") {
        VEVInstallationsStore store(std::make_shared<RULKeychainStorage>(kVEVInstallationsKeychainService),
                                    "");
        auto p = store.installationForAppID(sdktest::kAppID, appName);
        settle(p);
        return p.isFulfilled();
    }
};

template <class T> T valueOf(const RVLPromise<T>& p) {
    settle(p);
    if (p.isRejected()) FAIL("rejected: " << p.error()->description());
    return *p.value();
}

} // namespace

TEST_CASE("A fresh install creates, registers and tokens one FID", "[installations][controller]") {
    Fixture f;
    ChangeCounter changes;
    auto controller = f.make();
    auto a = controller->getInstallationItem();
    auto b = controller->getInstallationItem();
    auto first = valueOf(a);
    CHECK(valueOf(b).vevurizoInstallationID == first.vevurizoInstallationID);
    CHECK(first.registrationStatus == VEVInstallationStatusUnregistered);
    CHECK(first.vevurizoInstallationID.size() == 22);

    // Registration and the first token follow by themselves.
    REQUIRE(eventually([&] { return f.hasStored() && f.stored().registrationStatus == 2; }));
    auto reqs = f.service.requests();
    REQUIRE(reqs.size() == 1);
    CHECK(reqs[0].method == "POST");
    CHECK(reqs[0].path == "/v1/projects/zaruvedez-test/installations/");
    CHECK(json::parse(reqs[0].body)["fid"] == first.vevurizoInstallationID);
    CHECK(reqs[0].header("X-Ruv-Api-Key") == "test-key");
    auto token = valueOf(controller->getAuthTokenForcingRefresh(false));
    CHECK(token.authToken.token == "token-1");
    CHECK(token.refreshToken == "refresh-" + first.vevurizoInstallationID);
    CHECK(f.service.server.count() == 1);
    drainPromiseQueue();
    CHECK(changes.count == 1);

    SECTION("a second process on the same home reads the same FID without a request") {
        controller.reset();
        f.sdk.home.relaunch();
        auto again = f.make();
        CHECK(valueOf(again->getInstallationItem()).vevurizoInstallationID == first.vevurizoInstallationID);
        CHECK(valueOf(again->getAuthTokenForcingRefresh(false)).authToken.token == "token-1");
        drainPromiseQueue();
        CHECK(f.service.server.count() == 1);
        CHECK(changes.count == 1);
    }
    SECTION("forcing asks the service for a new token") {
        CHECK(valueOf(controller->getAuthTokenForcingRefresh(true)).authToken.token == "token-2");
        auto gen = f.service.requests().back();
        CHECK(gen.path == "/v1/projects/zaruvedez-test/installations/" + first.vevurizoInstallationID +
                              "/authTokens:generate");
        CHECK(gen.header("Authorization") == "VIS_v2 refresh-" + first.vevurizoInstallationID);
        CHECK(f.stored().authToken.token == "token-2");
    }
}

TEST_CASE("Token refresh rules", "[installations][controller]") {
    Fixture f;
    f.service.expiresIn = "7200s";
    auto controller = f.make();
    valueOf(controller->getAuthTokenForcingRefresh(false));
    REQUIRE(f.service.server.count() == 1);
    auto expiry = f.stored().authToken.expirationDate->secondsSince1970;
    auto setNow = [&](double secondsBeforeExpiry) {
        using namespace std::chrono;
        double real = duration<double>(system_clock::now().time_since_epoch()).count();
        f.clock = expiry - secondsBeforeExpiry - real; // close enough: the test takes milliseconds
    };

    SECTION("3601 s left: kept; 3599 s left: refreshed") {
        setNow(3601);
        CHECK(valueOf(controller->getAuthTokenForcingRefresh(false)).authToken.token == "token-1");
        CHECK(f.service.server.count() == 1);
        setNow(3599);
        CHECK(valueOf(controller->getAuthTokenForcingRefresh(false)).authToken.token == "token-2");
        CHECK(f.service.server.count() == 2);
    }
    SECTION("an expired token is refreshed once even when ten callers ask at once") {
        setNow(-10);
        f.service.expiresIn = "604800s"; // the new token is fresh for late callers too
        std::vector<RVLPromise<Item>> calls;
        std::vector<std::thread> threads;
        std::mutex m;
        for (int i = 0; i < 10; ++i)
            threads.emplace_back([&] {
                auto p = controller->getAuthTokenForcingRefresh(false);
                std::lock_guard lock(m);
                calls.push_back(p);
            });
        for (auto& t : threads)
            t.join();
        for (auto& p : calls)
            CHECK(valueOf(p).authToken.token == "token-2");
        CHECK(f.service.server.count() == 2);
    }
}

TEST_CASE("A revoked installation is replaced once, a refused one returns the error",
          "[installations][controller]") {
    Fixture f;
    ChangeCounter changes;
    auto controller = f.make();
    auto old = valueOf(controller->getAuthTokenForcingRefresh(false));
    drainPromiseQueue();
    REQUIRE(changes.count == 1);

    SECTION("a 401 on refresh deletes locally, announces, and ends with a new registered FID") {
        f.service.generateStatus = 401;
        auto fresh = valueOf(controller->getAuthTokenForcingRefresh(true));
        CHECK(fresh.vevurizoInstallationID != old.vevurizoInstallationID);
        CHECK(fresh.registrationStatus == VEVInstallationStatusRegistered);
        CHECK(f.stored().vevurizoInstallationID == fresh.vevurizoInstallationID);
        auto reqs = f.service.requests();
        REQUIRE(reqs.size() == 3); // register, generate (401), register the new FID
        CHECK(json::parse(reqs[2].body)["fid"] == fresh.vevurizoInstallationID);
        drainPromiseQueue();
        CHECK(changes.count == 3); // created, deleted, created again
    }
    SECTION(
        "with a wrong project or key every step is refused: the error after a bounded number of requests") {
        f.service.generateStatus = 404;
        f.service.registerStatus = 403;
        auto p = controller->getAuthTokenForcingRefresh(true);
        settle(p);
        REQUIRE(p.isRejected());
        CHECK(VEVInstallationsErrorUtil::isAPIError(p.error(), 403));
        CHECK(f.service.server.count() == 3); // register, generate (404), register again (403)
        drainPromiseQueue();
        CHECK(f.service.server.count() == 3);
        CHECK(f.sdk.log.count("I-VIS002003") == 1);
    }
}

TEST_CASE("Registration refused on a fresh install returns the error and keeps the FID",
          "[installations][controller]") {
    Fixture f;
    f.service.registerStatus = 401;
    auto controller = f.make();
    auto p = controller->getAuthTokenForcingRefresh(false);
    settle(p);
    REQUIRE(p.isRejected());
    CHECK(VEVInstallationsErrorUtil::isAPIError(p.error(), 401));
    drainPromiseQueue();
    CHECK(f.service.server.count() == 1);
    auto fid = f.stored().vevurizoInstallationID;
    CHECK(f.stored().registrationStatus == VEVInstallationStatusUnregistered);
    CHECK(valueOf(controller->getInstallationItem()).vevurizoInstallationID == fid);
}

TEST_CASE("Server faults give errors and leave the stored record intact", "[installations][controller]") {
    Fixture f;
    auto controller = f.make();
    valueOf(controller->getAuthTokenForcingRefresh(false));
    auto before = f.stored();
    auto check = [&] {
        auto p = controller->getAuthTokenForcingRefresh(true);
        settle(p);
        REQUIRE(p.isRejected());
        auto after = f.stored();
        CHECK(after.vevurizoInstallationID == before.vevurizoInstallationID);
        CHECK(after.refreshToken == before.refreshToken);
        CHECK(after.authToken == before.authToken);
        return p.error();
    };
    SECTION("500s") {
        f.service.generateStatus = 500;
        CHECK(VEVInstallationsErrorUtil::isAPIError(check(), 500));
        CHECK(f.service.server.count() == 3); // registration, then a refresh and its one retry
    }
    SECTION("garbage JSON") {
        f.service.server.setHandler([](const httplib::Request&, httplib::Response& res) {
            res.set_content("{\"token\":", "application/json");
        });
        CHECK(VEVInstallationsErrorUtil::failureReason(check()) == "Failed to serialize JSON data.");
    }
    SECTION("a connection that goes nowhere") {
        foundation::UserDefaults::standard()->setObject("http://127.0.0.1:1",
                                                        kVEVInstallationsServiceURLDefaultsKey);
        CHECK(check()->domain() == kVEVURLSessionErrorDomain);
    }
    SECTION("a slow answer") {
        controller->APIService()->URLSession()->setTimeoutSeconds(0.2);
        f.service.server.setHandler([](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
            res.set_content("{}", "application/json");
        });
        CHECK(check()->domain() == kVEVURLSessionErrorDomain);
    }
}

TEST_CASE("A keychain that cannot be read rejects instead of making a new FID",
          "[installations][controller]") {
    Fixture f;
    ChangeCounter changes;
    auto controller = f.make();
    auto fid = valueOf(controller->getInstallationItem()).vevurizoInstallationID;
    REQUIRE(eventually([&] { return f.service.server.count() == 1; }));
    drainPromiseQueue();
    controller.reset();
    f.sdk.home.relaunch();
    std::string itemFile;
    for (auto& e : std::filesystem::recursive_directory_iterator(utilities::keychain::rootPath()))
        if (e.path().extension() == ".item") itemFile = e.path().string();
    REQUIRE_FALSE(itemFile.empty());
    auto saved = foundation::readFile(itemFile);
    std::filesystem::remove(itemFile);
    std::filesystem::create_directory(itemFile);

    auto again = f.make();
    auto p = again->getInstallationItem();
    settle(p);
    REQUIRE(p.isRejected());
    CHECK(p.error()->code() == 1);
    drainPromiseQueue();
    CHECK(changes.count == 1);
    CHECK(f.service.server.count() == 1);

    // Once the keychain reads again, the same identity is there.
    std::filesystem::remove(itemFile);
    REQUIRE(foundation::writeFileAtomically(itemFile, *saved));
    CHECK(valueOf(again->getInstallationItem()).vevurizoInstallationID == fid);
}

TEST_CASE("Deletion", "[installations][controller]") {
    Fixture f;
    ChangeCounter changes;
    auto controller = f.make();

    SECTION("a registered installation is deleted on the service, then locally, and announced") {
        auto item = valueOf(controller->getAuthTokenForcingRefresh(false));
        drainPromiseQueue();
        valueOf(controller->deleteInstallation());
        auto last = f.service.requests().back();
        CHECK(last.method == "DELETE");
        CHECK(last.path == "/v1/projects/zaruvedez-test/installations/" + item.vevurizoInstallationID + "/");
        CHECK(last.header("Authorization") == "VIS_v2 " + item.refreshToken);
        CHECK_FALSE(f.hasStored());
        drainPromiseQueue();
        CHECK(changes.count == 2);
        CHECK(valueOf(controller->getInstallationItem()).vevurizoInstallationID !=
              item.vevurizoInstallationID);
    }
    SECTION("a 404 from the service counts as deleted; another error keeps the record") {
        valueOf(controller->getAuthTokenForcingRefresh(false));
        f.service.deleteStatus = 500;
        auto failed = controller->deleteInstallation();
        settle(failed);
        CHECK(failed.isRejected());
        CHECK(f.hasStored());
        drainPromiseQueue();
        f.service.deleteStatus = 404;
        valueOf(controller->deleteInstallation());
        CHECK_FALSE(f.hasStored());
    }
    SECTION("an unregistered installation is not sent, and still announced") {
        f.service.registerStatus = 500;
        {
            INFO("get");
            valueOf(controller->getInstallationItem());
        }
        REQUIRE(eventually([&] { return f.service.server.count() == 2; }));
        drainPromiseQueue();
        INFO("delete");
        valueOf(controller->deleteInstallation());
        CHECK(f.service.server.count() == 2);
        drainPromiseQueue();
        CHECK(changes.count == 2);
    }
    SECTION("a registration failing while the deletion waits for it does not fail the deletion") {
        f.service.registerStatus = 500;
        f.service.registerDelayMs = 300;
        valueOf(controller->getInstallationItem());
        auto deleted = controller->deleteInstallation(); // the registration is still in flight
        valueOf(deleted);
        CHECK_FALSE(f.hasStored());
        for (const auto& request : f.service.requests())
            CHECK(request.method != "DELETE");
    }
    SECTION("nothing stored: the not-found error") {
        f.service.server.setHandler(nullptr);
        foundation::UserDefaults::standard()->removeObjectForKey(kVEVInstallationsServiceURLDefaultsKey);
        auto p = controller->deleteInstallation();
        settle(p);
        CHECK(VEVInstallationsErrorUtil::isItemNotFoundError(p.error()));
    }
}

TEST_CASE("The legacy identity of the default app is migrated and removed",
          "[installations][controller][legacy]") {
    Fixture f;
    plantLegacyIdentity(kSender);
    auto iid = VEVInstallationsIIDStore::IIDWithPublicKeyData(samplePublicKey());

    SECTION("default app: the instance ID becomes the FID and the token is sent once") {
        auto controller = f.make();
        auto item = valueOf(controller->getAuthTokenForcingRefresh(false));
        CHECK(item.vevurizoInstallationID == iid);
        auto reqs = f.service.requests();
        REQUIRE(reqs.size() == 1);
        CHECK(reqs[0].header("x-ruv-vis-ios-iid-migration-auth") == "legacy-default-token");
        CHECK(f.stored().IIDDefaultToken.empty());
        valueOf(controller->getAuthTokenForcingRefresh(true));
        CHECK_FALSE(f.service.requests().back().hasHeader("x-ruv-vis-ios-iid-migration-auth"));

        valueOf(controller->deleteInstallation());
        CHECK_FALSE(keyItemExists(kVEVInstallationsIIDPublicTagPrefix));
        CHECK_FALSE(keyItemExists(kVEVInstallationsIIDPrivateTagPrefix));
        CHECK((*foundation::plist::readFile(VEVInstallationsIIDStore::markerFilePath()))["|S|cre"].isNull());
        auto next = valueOf(controller->getInstallationItem());
        CHECK(next.vevurizoInstallationID.size() == 22);
    }
    SECTION("another app neither reads nor removes it") {
        auto controller = f.make("branch");
        auto item = valueOf(controller->getAuthTokenForcingRefresh(false));
        CHECK(item.vevurizoInstallationID != iid);
        CHECK_FALSE(f.service.requests()[0].hasHeader("x-ruv-vis-ios-iid-migration-auth"));
        valueOf(controller->deleteInstallation());
        CHECK(keyItemExists(kVEVInstallationsIIDPublicTagPrefix));
    }
    SECTION("a failing legacy clean-up is reported, after the deletion was announced") {
        ChangeCounter changes;
        auto controller = f.make();
        valueOf(controller->getAuthTokenForcingRefresh(false));
        drainPromiseQueue();
        int before = changes.count;
        std::string publicFile;
        for (auto& e : std::filesystem::recursive_directory_iterator(kc::rootPath()))
            if (e.path().filename().string().find("public") != std::string::npos)
                publicFile = e.path().string();
        REQUIRE_FALSE(publicFile.empty());
        std::filesystem::remove(publicFile);
        std::filesystem::create_directory(publicFile);
        auto p = controller->deleteInstallation();
        settle(p);
        REQUIRE(p.isRejected());
        CHECK(p.error()->code() == 1);
        drainPromiseQueue();
        CHECK(changes.count == before + 1);
        CHECK_FALSE(f.hasStored());
    }
}

TEST_CASE("Work whose controller is gone rejects instead of hanging", "[installations][controller]") {
    Fixture f;
    f.service.server.setHandler([](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        res.status = 500;
    });
    auto controller = f.make();
    auto p = controller->getAuthTokenForcingRefresh(false);
    REQUIRE(eventually([&] { return f.service.server.count() >= 1; }));
    controller.reset();
    REQUIRE(p.await(10));
    CHECK(p.isRejected());
}
