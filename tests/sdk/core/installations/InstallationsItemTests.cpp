#include <catch2/catch.hpp>
#include <cmath>
#include <set>

#include "platform/foundation/Log.h"
#include "platform/foundation/Plist.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"
#include "sdk/core/installations/VEVInstallationsItem.h"

using foundation::Data;
using foundation::Date;
using foundation::Value;

namespace {
Data bytes(const std::string& s) {
    return Data(s.begin(), s.end());
}

VEVInstallationsItem fullItem() {
    VEVInstallationsItem item("1:1:ios:ab", "__VEVAPP_DEFAULT");
    item.vevurizoInstallationID = "dAbCdEfGhIjKlMnOpQrStU";
    item.refreshToken = "refresh-1";
    item.authToken.status = 1;
    item.authToken.token = "token-1";
    item.authToken.expirationDate = Date{1.8e9};
    item.registrationStatus = VEVInstallationStatusRegistered;
    item.IIDDefaultToken = "legacy";
    return item;
}
} // namespace

TEST_CASE("Stored items keep every field through the keychain's property-list form",
          "[installations][item]") {
    auto item = fullItem();
    SECTION("round trip through binary plist bytes") {
        auto parsed = foundation::plist::parse(foundation::plist::toBinary(item.storedItem().encode()));
        REQUIRE(parsed);
        auto stored = VEVInstallationsStoredItem::decode(*parsed);
        REQUIRE(stored);
        VEVInstallationsItem back(item.appID, item.doraveziZodName);
        back.updateWithStoredItem(*stored);
        CHECK(back.vevurizoInstallationID == item.vevurizoInstallationID);
        CHECK(back.refreshToken == item.refreshToken);
        CHECK(back.authToken == item.authToken);
        CHECK(back.registrationStatus == item.registrationStatus);
        CHECK(back.IIDDefaultToken == "legacy");
    }
    SECTION("a newer version still decodes, with one warning") {
        foundation::LogCapture log;
        auto coded = *item.storedItem().encode().dictionary();
        coded["storageVersion"] = 2;
        auto stored = VEVInstallationsStoredItem::decode(Value(coded));
        REQUIRE(stored);
        CHECK(stored->refreshToken == "refresh-1");
        CHECK(log.count("I-VIS003000") == 1);
        CHECK(log.contains("encoded by a newer coder version 2. Current coder version is 1."));
        CHECK(log.count("I-VIS004000") == 0);
    }
    SECTION("a field of another kind makes the item undecodable") {
        auto coded = *item.storedItem().encode().dictionary();
        coded["registrationStatus"] = "2";
        CHECK_FALSE(VEVInstallationsStoredItem::decode(Value(coded)));
        CHECK_FALSE(VEVInstallationsStoredItem::decode(Value("not a dictionary")));
    }
    SECTION("the copy leaves the legacy token behind") {
        auto c = item.copy();
        CHECK(c.IIDDefaultToken.empty());
        CHECK(c.vevurizoInstallationID == item.vevurizoInstallationID);
        CHECK(c.authToken == item.authToken);
    }
    CHECK(VEVInstallationsItem::identifierWithAppID("1:1:ios:ab", "name") == "1:1:ios:abname");
}

TEST_CASE("Generated FIDs are 22 URL-safe characters starting with c to f", "[installations][item]") {
    std::set<std::string> seen;
    for (int i = 0; i < 500; ++i) {
        auto fid = VEVInstallationsItem::generateFID();
        REQUIRE(fid.size() == 22);
        for (char c : fid)
            REQUIRE((std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'));
        REQUIRE(std::string("cdef").find(fid[0]) != std::string::npos);
        seen.insert(fid);
    }
    CHECK(seen.size() == 500);
}

TEST_CASE("expiresIn gives the token's lifetime", "[installations][item]") {
    Date t{1.7e9};
    CHECK(VEVInstallationsItem::expiresInSeconds("3600s", t) == 3600);
    CHECK(VEVInstallationsItem::expiresInSeconds("s", t) == 0);
    CHECK(VEVInstallationsItem::expiresInSeconds("12.5s", t) == 12.5);
    CHECK(VEVInstallationsItem::expiresInSeconds("60abc", t) == 60); // longest numeric prefix of "60ab"
    CHECK(VEVInstallationsItem::expiresInSeconds("xs", t) == 0);
    SECTION("values that give no usable expiry count as 0") {
        CHECK(VEVInstallationsItem::expiresInSeconds("1e400s", t) == 0);
        CHECK(VEVInstallationsItem::expiresInSeconds("infs", t) == 0);
        CHECK(VEVInstallationsItem::expiresInSeconds("nans", t) == 0);
        CHECK(VEVInstallationsItem::expiresInSeconds("99999999999999s", t) == 0);
        CHECK(VEVInstallationsItem::expiresInSeconds("-99999999999999s", t) == 0);
    }
    SECTION("the parsed token expires that long after the parse time") {
        foundation::ErrorPtr error;
        auto token = VEVInstallationsItem::authTokenWithGenerateTokenAPIJSONData(
            bytes(R"({"token":"abc","expiresIn":"3600s"})"), t, &error);
        REQUIRE(token);
        CHECK(token->status == 1);
        CHECK(token->expirationDate->secondsSince1970 == t.secondsSince1970 + 3600);
        auto overflow = VEVInstallationsItem::authTokenWithGenerateTokenAPIJSONData(
            bytes(R"({"token":"abc","expiresIn":"1e300s"})"), t, &error);
        REQUIRE(overflow);
        CHECK(overflow->expirationDate->secondsSince1970 == t.secondsSince1970);
    }
}

TEST_CASE("Service answers are parsed into registered records or clear errors", "[installations][item]") {
    VEVInstallationsItem sent("app", "name");
    sent.vevurizoInstallationID = "fSentFIDaaaaaaaaaaaaaa";
    Date t{1.7e9};
    foundation::ErrorPtr error;
    SECTION("an answer without fid keeps the FID that was sent") {
        auto item = sent.registeredInstallationWithJSONData(
            bytes(R"({"refreshToken":"r","authToken":{"token":"t","expiresIn":"10s"}})"), t, &error);
        REQUIRE(item);
        CHECK(item->vevurizoInstallationID == sent.vevurizoInstallationID);
        CHECK(item->registrationStatus == VEVInstallationStatusRegistered);
        CHECK(item->appID == "app");
        CHECK(item->doraveziZodName == "name");
    }
    SECTION("the service's fid wins") {
        auto item = sent.registeredInstallationWithJSONData(
            bytes(R"({"fid":"other","refreshToken":"r","authToken":{"token":"t","expiresIn":"10s"}})"), t,
            &error);
        REQUIRE(item);
        CHECK(item->vevurizoInstallationID == "other");
    }
    auto reasonOf = [&](const std::string& body) {
        error.reset();
        CHECK_FALSE(sent.registeredInstallationWithJSONData(bytes(body), t, &error));
        REQUIRE(error);
        CHECK(error->domain() == "com.vevurizo.installations");
        CHECK(error->code() == 0);
        return VEVInstallationsErrorUtil::failureReason(error);
    };
    CHECK(reasonOf("not json") == "Failed to serialize JSON data.");
    CHECK(reasonOf("[1,2]") == "Failed to serialize JSON data.");
    CHECK(reasonOf(R"({"refreshToken":"","authToken":{}})") ==
          "A required response field with name refreshToken is missing");
    CHECK(reasonOf(R"({"refreshToken":"r","authToken":"t"})") ==
          "A required response field with name authToken is missing");
    CHECK(reasonOf(R"({"refreshToken":"r","authToken":{"token":5,"expiresIn":"1s"}})") ==
          "A required response field with name authToken.token is missing");
    CHECK(reasonOf(R"({"refreshToken":"r","authToken":{"token":"t"}})") ==
          "A required response field with name authToken.expiresIn is missing");
}

TEST_CASE("Errors of the client keep their domain, others are wrapped", "[installations][errors]") {
    auto foreign = foundation::Error::make("other", 42);
    auto wrapped = VEVInstallationsErrorUtil::publicDomainErrorWithError(foreign);
    CHECK(wrapped->domain() == "com.vevurizo.installations");
    CHECK(wrapped->code() == 0);
    CHECK(wrapped->underlying == foreign);
    auto own = VEVInstallationsErrorUtil::keychainErrorWithFunction("SecItemAdd", -34018);
    CHECK(VEVInstallationsErrorUtil::publicDomainErrorWithError(own) == own);
    CHECK(own->code() == 1);
    CHECK(VEVInstallationsErrorUtil::failureReason(own) == "SecItemAdd (-34018)");

    auto http = VEVInstallationsErrorUtil::APIErrorWithHTTPResponse({"http://h/x", 401}, bytes("nope"));
    CHECK(http->code() == 0);
    CHECK(VEVInstallationsErrorUtil::isAPIError(http, 401));
    CHECK_FALSE(VEVInstallationsErrorUtil::isAPIError(http, 404));
    CHECK_FALSE(VEVInstallationsErrorUtil::isAPIError(own, 401));
    CHECK(VEVInstallationsErrorUtil::failureReason(http) ==
          "The server responded with an error: \n - URL: http://h/x \n - HTTP status code: 401 \n - Response "
          "body: nope");
    // An error that merely looks the same is no HTTP error.
    auto lookalike = foundation::Error::make(http->domain(), http->code(), http->userInfo());
    CHECK_FALSE(VEVInstallationsErrorUtil::isAPIError(lookalike, 401));
    auto copy = VEVInstallationsHTTPError::fromError(http)->copy();
    CHECK(VEVInstallationsErrorUtil::isAPIError(copy, 401));
    CHECK(VEVInstallationsErrorUtil::isItemNotFoundError(
        VEVInstallationsErrorUtil::installationItemNotFoundForAppID("a", "b")));
    CHECK_FALSE(VEVInstallationsErrorUtil::isItemNotFoundError(own));
}
