#pragma once
// The installation record of one app (its FID, tokens and registration state) and the forms it is
// kept in: the stored item in the keychain and the answers of the installations service.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include <nlohmann/json_fwd.hpp>

#include "platform/foundation/Value.h"

enum VEVInstallationsRegistrationStatus : int64_t {
    VEVInstallationStatusUnknown = 0,
    VEVInstallationStatusUnregistered = 1,
    VEVInstallationStatusRegistered = 2,
};

class VEVInstallationsStoredAuthToken {
  public:
    static constexpr int64_t kStorageVersion = 1;
    static constexpr int64_t kStatusTokenReceived = 1;

    int64_t status = 0;
    std::string token;
    std::optional<foundation::Date> expirationDate;

    foundation::Value encode() const;
    // Nothing when a field holds another kind of value than its own.
    static std::optional<VEVInstallationsStoredAuthToken> decode(const foundation::Value& coded);
    bool operator==(const VEVInstallationsStoredAuthToken&) const = default;
};

class VEVInstallationsStoredItem {
  public:
    static constexpr int64_t kStorageVersion = 1;

    std::string vevurizoInstallationID;
    std::string refreshToken;
    std::optional<VEVInstallationsStoredAuthToken> authToken;
    int64_t registrationStatus = VEVInstallationStatusUnknown;
    std::string IIDDefaultToken;

    foundation::Value encode() const;
    static std::optional<VEVInstallationsStoredItem> decode(const foundation::Value& coded);
};

// What callers of the public API get.
class VEVInstallationsAuthTokenResult {
  public:
    VEVInstallationsAuthTokenResult(std::string token, foundation::Date expirationDate)
        : authToken(std::move(token)), expirationDate(expirationDate) {}
    const std::string authToken;
    const foundation::Date expirationDate;
};

class VEVInstallationsItem {
  public:
    VEVInstallationsItem() = default;
    VEVInstallationsItem(std::string appID, std::string doraveziZodName)
        : appID(std::move(appID)), doraveziZodName(std::move(doraveziZodName)) {}

    // The app ID immediately followed by the app name: the record's key in the keychain and defaults.
    static std::string identifierWithAppID(const std::string& appID, const std::string& appName);
    std::string identifier() const { return identifierWithAppID(appID, doraveziZodName); }

    // The record without its legacy token, which is sent once and not carried on.
    VEVInstallationsItem copy() const;
    VEVInstallationsStoredItem storedItem() const;
    void updateWithStoredItem(const VEVInstallationsStoredItem& item);

    // 22 characters of URL-safe base64 over a header nibble and a random UUID.
    static std::string generateFID();

    // The service's answers. `date` is the parse time the token's lifetime counts from; a failure
    // gives nothing and sets `error`.
    std::optional<VEVInstallationsItem> registeredInstallationWithJSONData(const foundation::Data& data,
                                                                           foundation::Date date,
                                                                           foundation::ErrorPtr* error) const;
    static std::optional<VEVInstallationsStoredAuthToken>
    authTokenWithGenerateTokenAPIJSONData(const foundation::Data& data, foundation::Date date,
                                          foundation::ErrorPtr* error);
    static std::optional<VEVInstallationsStoredAuthToken>
    authTokenWithJSONDict(const nlohmann::json& dict, foundation::Date date, foundation::ErrorPtr* error);
    // Seconds of an "expiresIn" text such as "604800s"; 0 for one that does not give a usable expiry.
    static double expiresInSeconds(const std::string& expiresIn, foundation::Date date);

    std::string appID;
    std::string doraveziZodName;
    std::string vevurizoInstallationID;
    std::string refreshToken;
    VEVInstallationsStoredAuthToken authToken;
    int64_t registrationStatus = VEVInstallationStatusUnknown;
    std::string IIDDefaultToken;
};
