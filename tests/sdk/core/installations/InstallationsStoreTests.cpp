#include <catch2/catch.hpp>
#include <filesystem>

#include "platform/foundation/UserDefaults.h"
#include "platform/utilities/Keychain.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"
#include "sdk/core/installations/VEVInstallationsSingleOperationPromiseCache.h"
#include "sdk/core/installations/VEVInstallationsStore.h"
#include "tests/sdk/core/installations/InstallationsTestSupport.h"
#include "tests/support/TestHome.h"

namespace fs = std::filesystem;
using installationstest::settle;

namespace {

VEVInstallationsItem sampleItem(const std::string& name = "__VEVAPP_DEFAULT") {
    VEVInstallationsItem item("1:1:ios:ab", name);
    item.vevurizoInstallationID = "eAbCdEfGhIjKlMnOpQrStU";
    item.refreshToken = "refresh";
    item.authToken = {1, "token", foundation::Date{1.9e9}};
    item.registrationStatus = VEVInstallationStatusRegistered;
    item.IIDDefaultToken = "legacy";
    return item;
}

std::vector<fs::path> itemFiles() {
    std::vector<fs::path> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(utilities::keychain::rootPath(), ec), end; !ec && it != end;
         it.increment(ec))
        if (it->path().extension() == ".item") out.push_back(it->path());
    return out;
}

} // namespace

TEST_CASE("The store keeps one record per app in the keychain, flagged in the defaults",
          "[installations][store]") {
    testsupport::TempHome home;
    auto keychain = std::make_shared<RULKeychainStorage>("com.vevurizo.VEVInstallations.installations");
    VEVInstallationsStore store(keychain, "");

    SECTION("a saved record reads back whole, also after a relaunch") {
        settle(store.saveInstallation(sampleItem()));
        home.relaunch();
        VEVInstallationsStore again(std::make_shared<RULKeychainStorage>(keychain->service()), "");
        auto read = again.installationForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT");
        settle(read);
        REQUIRE(read.isFulfilled());
        auto item = *read.value();
        CHECK(item.vevurizoInstallationID == "eAbCdEfGhIjKlMnOpQrStU");
        CHECK(item.refreshToken == "refresh");
        CHECK(item.authToken == sampleItem().authToken);
        CHECK(item.registrationStatus == 2);
        CHECK(item.IIDDefaultToken == "legacy");
        CHECK(foundation::UserDefaults::suite("com.vevurizo.VEVInstallations")
                  ->boolForKey("1:1:ios:ab__VEVAPP_DEFAULT"));
    }
    SECTION("without the flag the keychain entry counts as absent") {
        settle(store.saveInstallation(sampleItem()));
        settle(store.setInstallationExists(false, sampleItem().identifier()));
        auto read = store.installationForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT");
        settle(read);
        REQUIRE(read.isRejected());
        CHECK(VEVInstallationsErrorUtil::isItemNotFoundError(read.error()));
        CHECK(VEVInstallationsErrorUtil::failureReason(read.error()) ==
              "Installation for appID 1:1:ios:ab appName __VEVAPP_DEFAULT not found");
        CHECK(itemFiles().size() == 1);
    }
    SECTION("removal clears entry and flag") {
        settle(store.saveInstallation(sampleItem()));
        settle(store.removeInstallationForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT"));
        CHECK(itemFiles().empty());
        auto exists = store.installationExistsForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT");
        settle(exists);
        CHECK(exists.isRejected());
    }
    SECTION("a damaged entry is no record") {
        settle(store.saveInstallation(sampleItem()));
        auto files = itemFiles();
        REQUIRE(files.size() == 1);
        std::ofstream(files[0], std::ios::trunc) << "garbage";
        auto read = store.installationForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT");
        settle(read);
        CHECK(VEVInstallationsErrorUtil::isItemNotFoundError(read.error()));
    }
    SECTION("a keychain that cannot be read is a keychain error, not a missing record") {
        settle(store.saveInstallation(sampleItem()));
        auto files = itemFiles();
        REQUIRE(files.size() == 1);
        fs::remove(files[0]);
        fs::create_directory(files[0]); // unreadable for anyone, root included
        auto read = store.installationForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT");
        settle(read);
        REQUIRE(read.isRejected());
        CHECK(read.error()->domain() == "com.vevurizo.installations");
        CHECK(read.error()->code() == 1);
        CHECK_FALSE(VEVInstallationsErrorUtil::isItemNotFoundError(read.error()));
    }
    SECTION("app names with path characters stay inside the keychain") {
        auto item = sampleItem("../../../escape");
        settle(store.saveInstallation(item));
        auto files = itemFiles();
        REQUIRE(files.size() == 1);
        CHECK(fs::weakly_canonical(files[0]).parent_path().parent_path() ==
              fs::weakly_canonical(utilities::keychain::rootPath()));
        auto read = store.installationForAppID(item.appID, item.doraveziZodName);
        settle(read);
        CHECK(read.isFulfilled());
    }
    SECTION("the access group names the defaults suite") {
        VEVInstallationsStore grouped(keychain, "group.clinic");
        settle(grouped.saveInstallation(sampleItem()));
        CHECK(foundation::UserDefaults::suite("group.clinic")->boolForKey(sampleItem().identifier()));
        auto other = store.installationForAppID("1:1:ios:ab", "__VEVAPP_DEFAULT");
        settle(other);
        CHECK(other.isRejected());
    }
}

TEST_CASE("One operation in flight is shared by every caller", "[installations][cache]") {
    int calls = 0;
    RVLPromise<int> current = RVLPromise<int>::pendingPromise();
    VEVInstallationsSingleOperationPromiseCache<int> cache([&] {
        ++calls;
        current = RVLPromise<int>::pendingPromise();
        return current;
    });
    CHECK_FALSE(cache.getExistingPendingPromise());
    auto a = cache.getExistingPendingOrCreateNewPromise();
    auto b = cache.getExistingPendingOrCreateNewPromise();
    CHECK(calls == 1);
    CHECK(a == b);
    CHECK(cache.getExistingPendingPromise() == a);

    SECTION("after success the next call starts anew") {
        a.fulfill(7);
        installationstest::drainPromiseQueue();
        CHECK_FALSE(cache.getExistingPendingPromise());
        auto c = cache.getExistingPendingOrCreateNewPromise();
        CHECK(calls == 2);
        CHECK_FALSE(c == a);
    }
    SECTION("a rejection clears the slot too") {
        a.reject(foundation::Error::make("x", 1));
        installationstest::drainPromiseQueue();
        cache.getExistingPendingOrCreateNewPromise();
        CHECK(calls == 2);
    }
    SECTION("a caller told of the outcome who asks again gets a new operation") {
        std::atomic<bool> fresh{false}, done{false};
        a.then([&] {
            fresh = !(cache.getExistingPendingOrCreateNewPromise() == a);
            done = true;
        });
        a.fulfill(1);
        REQUIRE(installationstest::eventually([&] { return done.load(); }));
        CHECK(fresh);
        CHECK(calls == 2);
    }
    current.fulfill(0);
    CHECK_THROWS_AS(VEVInstallationsSingleOperationPromiseCache<int>(nullptr), foundation::NamedException);
}
