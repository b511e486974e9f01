#include "sdk/core/installations/VEVInstallationsItem.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>

#include "sdk/core/VEVLogger.h"
#include "sdk/core/installations/VEVInstallationsBase64.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"

using foundation::Dictionary;
using foundation::Value;
using nlohmann::json;

namespace {

// Stored dates are property-list dates, whole seconds since 2001-01-01 in 32 bits: an expiry outside
// that range would be written as a wrong date.
constexpr double kReferenceDateOffset = 978307200.0;
constexpr double kLatestStorableDate = kReferenceDateOffset + double(std::numeric_limits<int32_t>::max());
constexpr double kEarliestStorableDate = kReferenceDateOffset + double(std::numeric_limits<int32_t>::min());

// A member of the declared kind, or nothing; a member of another kind makes the whole decode fail.
template <class Get> bool member(const Value& coded, const char* key, Value::Type type, Get&& get) {
    const Value& v = coded[key];
    if (v.isNull()) return true;
    if (v.type() != type) return false;
    get(v);
    return true;
}

int64_t storageVersion(const Value& coded) {
    const Value& v = coded["storageVersion"];
    return v.type() == Value::Type::Integer ? v.intValue() : 0;
}

// A string member of length at least 1; anything else counts as missing.
std::optional<std::string> validString(const json& dict, const char* key) {
    auto it = dict.find(key);
    if (it == dict.end() || !it->is_string()) return std::nullopt;
    auto s = it->get<std::string>();
    if (s.empty()) return std::nullopt;
    return s;
}

std::optional<json> parseObject(const foundation::Data& data) {
    auto parsed = json::parse(data.begin(), data.end(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_object()) return std::nullopt;
    return parsed;
}

} // namespace

// MARK: stored auth token

Value VEVInstallationsStoredAuthToken::encode() const {
    Dictionary d{{"status", status}, {"token", token}, {"storageVersion", kStorageVersion}};
    if (expirationDate) d["expirationDate"] = *expirationDate;
    return Value(std::move(d));
}

std::optional<VEVInstallationsStoredAuthToken> VEVInstallationsStoredAuthToken::decode(const Value& coded) {
    if (!coded.isDictionary()) return std::nullopt;
    int64_t version = storageVersion(coded);
    if (version > kStorageVersion)
        VEVLogWarning(
            kVEVLoggerInstallations, "I-VIS004000",
            "VEVInstallationsStoredAuthToken was encoded by a newer coder version %ld. Current coder "
            "version is %ld. Some auth token data may be lost.",
            version, kStorageVersion);
    VEVInstallationsStoredAuthToken t;
    bool ok =
        member(coded, "status", Value::Type::Integer, [&](const Value& v) { t.status = v.intValue(); }) &&
        member(coded, "token", Value::Type::String, [&](const Value& v) { t.token = *v.string(); }) &&
        member(coded, "expirationDate", Value::Type::Date,
               [&](const Value& v) { t.expirationDate = *v.date(); });
    if (!ok) return std::nullopt;
    return t;
}

// MARK: stored item

Value VEVInstallationsStoredItem::encode() const {
    Dictionary d{{"vevurizoInstallationID", vevurizoInstallationID},
                 {"refreshToken", refreshToken},
                 {"registrationStatus", registrationStatus},
                 {"IIDDefaultToken", IIDDefaultToken},
                 {"storageVersion", kStorageVersion}};
    if (authToken) d["authToken"] = authToken->encode();
    return Value(std::move(d));
}

std::optional<VEVInstallationsStoredItem> VEVInstallationsStoredItem::decode(const Value& coded) {
    if (!coded.isDictionary()) return std::nullopt;
    int64_t version = storageVersion(coded);
    if (version > kStorageVersion)
        VEVLogWarning(
            kVEVLoggerInstallations, "I-VIS003000",
            "VEVInstallationsStoredItem was encoded by a newer coder version %ld. Current coder version "
            "is %ld. Some installation data may be lost.",
            version, kStorageVersion);
    VEVInstallationsStoredItem item;
    bool tokenOK = true;
    bool ok = member(coded, "vevurizoInstallationID", Value::Type::String,
                     [&](const Value& v) { item.vevurizoInstallationID = *v.string(); }) &&
              member(coded, "refreshToken", Value::Type::String,
                     [&](const Value& v) { item.refreshToken = *v.string(); }) &&
              member(coded, "registrationStatus", Value::Type::Integer,
                     [&](const Value& v) { item.registrationStatus = v.intValue(); }) &&
              member(coded, "IIDDefaultToken", Value::Type::String,
                     [&](const Value& v) { item.IIDDefaultToken = *v.string(); }) &&
              member(coded, "authToken", Value::Type::Dictionary, [&](const Value& v) {
                  item.authToken = VEVInstallationsStoredAuthToken::decode(v);
                  tokenOK = item.authToken.has_value();
              });
    if (!ok || !tokenOK) return std::nullopt;
    return item;
}

// MARK: item

std::string VEVInstallationsItem::identifierWithAppID(const std::string& appID, const std::string& appName) {
    return appID + appName;
}

VEVInstallationsItem VEVInstallationsItem::copy() const {
    VEVInstallationsItem c = *this;
    c.IIDDefaultToken.clear();
    return c;
}

VEVInstallationsStoredItem VEVInstallationsItem::storedItem() const {
    VEVInstallationsStoredItem s;
    s.vevurizoInstallationID = vevurizoInstallationID;
    s.refreshToken = refreshToken;
    s.authToken = authToken;
    s.registrationStatus = registrationStatus;
    s.IIDDefaultToken = IIDDefaultToken;
    return s;
}

void VEVInstallationsItem::updateWithStoredItem(const VEVInstallationsStoredItem& item) {
    vevurizoInstallationID = item.vevurizoInstallationID;
    refreshToken = item.refreshToken;
    authToken = item.authToken.value_or(VEVInstallationsStoredAuthToken{});
    registrationStatus = item.registrationStatus;
    IIDDefaultToken = item.IIDDefaultToken;
}

std::string VEVInstallationsItem::generateFID() {
    // A version 4 UUID from the system's random source.
    std::random_device random;
    std::array<uint8_t, 17> bytes{};
    for (size_t i = 1; i < bytes.size(); i += 4) {
        uint32_t r = random();
        for (size_t j = 0; j < 4 && i + j < bytes.size(); ++j)
            bytes[i + j] = uint8_t(r >> (8 * j));
    }
    bytes[1 + 6] = uint8_t((bytes[1 + 6] & 0x0F) | 0x40);
    bytes[1 + 8] = uint8_t((bytes[1 + 8] & 0x3F) | 0x80);
    bytes[0] = uint8_t(0x70 | (bytes[16] & 0x0F));
    return installations::base64URLSafe(bytes.data(), bytes.size()).substr(0, 22);
}

// MARK: service answers

double VEVInstallationsItem::expiresInSeconds(const std::string& expiresIn, foundation::Date date) {
    if (expiresIn.empty()) return 0;
    std::string_view text(expiresIn.data(), expiresIn.size() - 1); // the unit letter goes
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // The longest leading decimal number: digits, a fraction, an exponent.
    size_t start = i;
    auto digits = [&] {
        size_t from = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i > from;
    };
    bool whole = digits();
    bool fraction = false;
    if (i < text.size() && text[i] == '.') {
        size_t dot = i++;
        fraction = digits();
        if (!whole && !fraction) i = dot;
    }
    if (!whole && !fraction) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t mark = i++;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        if (!digits()) i = mark;
    }
    double seconds = 0;
    auto [end, ec] = std::from_chars(text.data() + start, text.data() + i, seconds);
    if (ec != std::errc() || end != text.data() + i) return 0; // out of range
    if (negative) seconds = -seconds;
    double expiry = date.secondsSince1970 + seconds;
    if (!std::isfinite(seconds) || !std::isfinite(expiry) || expiry > kLatestStorableDate ||
        expiry < kEarliestStorableDate)
        return 0;
    return seconds;
}

std::optional<VEVInstallationsStoredAuthToken>
VEVInstallationsItem::authTokenWithJSONDict(const json& dict, foundation::Date date,
                                            foundation::ErrorPtr* error) {
    auto fail = [&](const char* field) -> std::optional<VEVInstallationsStoredAuthToken> {
        if (error) *error = VEVInstallationsErrorUtil::FIDRegistrationErrorWithResponseMissingField(field);
        return std::nullopt;
    };
    auto token = validString(dict, "token");
    if (!token) return fail("authToken.token");
    auto expiresIn = validString(dict, "expiresIn");
    if (!expiresIn) return fail("authToken.expiresIn");
    VEVInstallationsStoredAuthToken t;
    t.status = VEVInstallationsStoredAuthToken::kStatusTokenReceived;
    t.token = *token;
    t.expirationDate = foundation::Date{date.secondsSince1970 + expiresInSeconds(*expiresIn, date)};
    return t;
}

std::optional<VEVInstallationsStoredAuthToken> VEVInstallationsItem::authTokenWithGenerateTokenAPIJSONData(
    const foundation::Data& data, foundation::Date date, foundation::ErrorPtr* error) {
    auto body = parseObject(data);
    if (!body) {
        if (error) *error = VEVInstallationsErrorUtil::JSONSerializationError();
        return std::nullopt;
    }
    return authTokenWithJSONDict(*body, date, error);
}

std::optional<VEVInstallationsItem>
VEVInstallationsItem::registeredInstallationWithJSONData(const foundation::Data& data, foundation::Date date,
                                                         foundation::ErrorPtr* error) const {
    auto body = parseObject(data);
    if (!body) {
        if (error) *error = VEVInstallationsErrorUtil::JSONSerializationError();
        return std::nullopt;
    }
    auto refresh = validString(*body, "refreshToken");
    if (!refresh) {
        if (error)
            *error = VEVInstallationsErrorUtil::FIDRegistrationErrorWithResponseMissingField("refreshToken");
        return std::nullopt;
    }
    auto tokenDict = body->find("authToken");
    if (tokenDict == body->end() || !tokenDict->is_object()) {
        if (error)
            *error = VEVInstallationsErrorUtil::FIDRegistrationErrorWithResponseMissingField("authToken");
        return std::nullopt;
    }
    auto token = authTokenWithJSONDict(*tokenDict, date, error);
    if (!token) return std::nullopt;
    VEVInstallationsItem item(appID, doraveziZodName);
    item.vevurizoInstallationID = validString(*body, "fid").value_or(vevurizoInstallationID);
    item.refreshToken = *refresh;
    item.authToken = *token;
    item.registrationStatus = VEVInstallationStatusRegistered;
    return item;
}
