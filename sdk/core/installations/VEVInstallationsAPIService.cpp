#include "sdk/core/installations/VEVInstallationsAPIService.h"

#include <cctype>
#include <chrono>
#include <functional>
#include <nlohmann/json.hpp>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/PercentEncoding.h"
#include "platform/foundation/UserDefaults.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVHeartbeatInfo.h"
#include "sdk/core/VEVLogger.h"

using foundation::Data;
using foundation::ErrorPtr;
using foundation::Value;
using nlohmann::json;
using Response = VEVInstallationsURLSessionResponse;

namespace {

constexpr const char* kAPIKeyHeader = "X-Ruv-Api-Key";
constexpr const char* kAuthorizationHeader = "Authorization";

foundation::Date now() {
    using namespace std::chrono;
    return {duration<double>(system_clock::now().time_since_epoch()).count()};
}

// A path segment: everything but the unreserved characters is percent-encoded, so an ID can neither
// add segments nor a query.
std::string pathSegment(const std::string& s) {
    return foundation::percentEncode(s, "-._~");
}

json toJSON(const Value& v) {
    if (auto d = v.dictionary()) {
        json o = json::object();
        for (const auto& [k, m] : *d)
            o[k] = toJSON(m);
        return o;
    }
    if (auto s = v.string()) return *s;
    if (v.type() == Value::Type::Bool) return v.boolValue();
    if (v.type() == Value::Type::Integer) return v.intValue();
    if (v.type() == Value::Type::Real) return v.doubleValue();
    return nullptr;
}

std::string text(const Data& d) {
    return std::string(d.begin(), d.end());
}

// The body for a log line, with the tokens of an answer masked.
std::string maskedBody(const Data& body) {
    auto parsed = json::parse(body.begin(), body.end(), nullptr, false);
    if (parsed.is_discarded() || !parsed.is_structured()) return text(body);
    std::function<void(json&)> mask = [&](json& j) {
        if (j.is_object()) {
            for (auto it = j.begin(); it != j.end(); ++it) {
                if ((it.key() == "refreshToken" || it.key() == "token") && it->is_string())
                    *it = VEVInstallationsAPIService::maskedSecret(it->get<std::string>());
                else
                    mask(*it);
            }
        } else if (j.is_array()) {
            for (auto& e : j)
                mask(e);
        }
    };
    mask(parsed);
    return parsed.dump();
}

std::string maskedHeaders(const VEVURLRequest& request) {
    std::string out = "{";
    for (const auto& [field, value] : request.headers) {
        bool secret = field == kAPIKeyHeader || field == kAuthorizationHeader ||
                      field == kVEVInstallationsIIDMigrationAuthHeader;
        if (out.size() > 1) out += ", ";
        out += field + ": " + (secret ? VEVInstallationsAPIService::maskedSecret(value) : value);
    }
    return out + "}";
}

RVLPromise<Response> validateHTTPResponseStatusCode(const Response& response) {
    long status = response.HTTPResponse.statusCode;
    if (status >= 200 && status <= 299) return RVLPromise<Response>::resolvedWith(response);
    VEVLogDebug(kVEVLoggerInstallations, "I-VIS001004", "Unexpected API response: %@, body: %@.",
                response.HTTPResponse.description(), maskedBody(response.data));
    return RVLPromise<Response>::resolvedWith(
        VEVInstallationsErrorUtil::APIErrorWithHTTPResponse(response.HTTPResponse, response.data));
}

} // namespace

VEVInstallationsAPIService::VEVInstallationsAPIService(std::string APIKey, std::string projectID)
    : APIKey_(std::move(APIKey)), projectID_(std::move(projectID)),
      URLSession_(std::make_shared<VEVInstallationsURLSession>()) {}

std::string VEVInstallationsAPIService::serviceBaseURL() {
    std::string url =
        foundation::UserDefaults::standard()->stringForKey(kVEVInstallationsServiceURLDefaultsKey);
    if (!url.starts_with("http://") && !url.starts_with("https://")) return {};
    while (url.ends_with("/"))
        url.pop_back();
    return url;
}

std::string VEVInstallationsAPIService::SDKVersion() {
    return foundation::format("i:%s", kVEVInstallationsSDKVersion);
}

std::string VEVInstallationsAPIService::maskedSecret(const std::string& secret) {
    if (secret.size() <= 4) return std::string(secret.size(), '*');
    return secret.substr(0, 4) + "****";
}

RVLPromise<VEVURLRequest> VEVInstallationsAPIService::requestWithURL(const std::string& URL,
                                                                     const std::string& HTTPMethod,
                                                                     const Value& bodyDict,
                                                                     const std::string& refreshToken,
                                                                     const Headers& additionalHeaders) const {
    return RVLPromise<VEVURLRequest>::do_([URL, HTTPMethod, bodyDict, refreshToken, additionalHeaders,
                                           APIKey = APIKey_] {
        VEVURLRequest request;
        request.URL = URL;
        request.HTTPMethod = HTTPMethod;
        std::string body = toJSON(bodyDict).dump();
        request.body.assign(body.begin(), body.end());
        request.setValue(APIKey, kAPIKeyHeader);
        request.setValue(foundation::Bundle::main()->bundleIdentifier(), "X-Ios-Bundle-Identifier");
        request.setValue("application/json", "Content-Type");
        if (!refreshToken.empty())
            request.setValue(foundation::format("VIS_v2 %@", refreshToken), kAuthorizationHeader);
        request.setValue(VEVApp::vevurizoUserAgent(), "X-vevurizo-client");
        request.setValue(std::to_string(VEVHeartbeatInfo::heartbeatCodeForTag(kVEVInstallationsHeartbeatTag)),
                         "X-vevurizo-client-log-type");
        for (const auto& [field, value] : additionalHeaders)
            request.setValue(value, field);
        return request;
    });
}

RVLPromise<Response> VEVInstallationsAPIService::URLRequestPromise(const VEVURLRequest& request) const {
    VEVLogDebug(kVEVLoggerInstallations, "I-VIS001001", "Sending request: %@, body:%@, headers: %@.",
                request.description(), text(request.body), maskedHeaders(request));
    return URLSession_->dataTaskWithRequest(request)
        .recover([request](const ErrorPtr& error) -> promises::Outcome<Response> {
            VEVLogDebug(kVEVLoggerInstallations, "I-VIS001002", "Request failed: %@, error: %@.",
                        request.description(), error ? error->description() : std::string("(null)"));
            return error;
        })
        .then([request](const Response& response) {
            VEVLogDebug(kVEVLoggerInstallations, "I-VIS001003",
                        "Request response received: %@, error: %@, body: %@.", request.description(), nullptr,
                        maskedBody(response.data));
            return validateHTTPResponseStatusCode(response);
        });
}

RVLPromise<Response> VEVInstallationsAPIService::sendURLRequest(const VEVURLRequest& request) const {
    // The attempt holds the service's values, not the service: the answer arrives even if it goes.
    VEVInstallationsAPIService copy(*this);
    return RVLPromise<Response>::attempts(
        1, retryDelaySeconds_,
        [](const ErrorPtr& error) { return VEVInstallationsErrorUtil::isAPIError(error, 500); },
        [copy, request]() -> promises::Outcome<Response> { return copy.URLRequestPromise(request); });
}

RVLPromise<VEVInstallationsItem>
VEVInstallationsAPIService::registerInstallation(const VEVInstallationsItem& installation) const {
    std::string base = serviceBaseURL();
    std::string URL =
        base.empty() ? std::string()
                     : foundation::format("%@/v1/projects/%@/installations/", base, pathSegment(projectID_));
    foundation::Dictionary body{{"fid", installation.vevurizoInstallationID},
                                {"authVersion", "VIS_v2"},
                                {"appId", installation.appID},
                                {"sdkVersion", SDKVersion()}};
    Headers extra;
    if (!installation.IIDDefaultToken.empty())
        extra.emplace_back(kVEVInstallationsIIDMigrationAuthHeader, installation.IIDDefaultToken);
    VEVInstallationsAPIService self(*this);
    return requestWithURL(URL, "POST", Value(body), {}, extra)
        .then([self](const VEVURLRequest& request) { return self.sendURLRequest(request); })
        .then([installation](const Response& response) -> promises::Outcome<VEVInstallationsItem> {
            VEVLogDebug(kVEVLoggerInstallations, "I-VIS001005", "Parsing server response for %@.",
                        response.HTTPResponse.URL);
            ErrorPtr error;
            auto registered = installation.registeredInstallationWithJSONData(response.data, now(), &error);
            if (!registered) {
                VEVLogDebug(kVEVLoggerInstallations, "I-VIS001006",
                            "Failed to parse VEVInstallationsItem: %@.",
                            error ? error->description() : std::string("(null)"));
                return error;
            }
            VEVLogDebug(kVEVLoggerInstallations, "I-VIS001007", "VEVInstallationsItem parsed successfully.");
            return *registered;
        });
}

RVLPromise<VEVInstallationsItem>
VEVInstallationsAPIService::refreshAuthTokenForInstallation(const VEVInstallationsItem& installation) const {
    std::string base = serviceBaseURL();
    std::string URL =
        base.empty()
            ? std::string()
            : foundation::format("%@/v1/projects/%@/installations/%@/authTokens:generate", base,
                                 pathSegment(projectID_), pathSegment(installation.vevurizoInstallationID));
    foundation::Dictionary body{{"installation", foundation::Dictionary{{"sdkVersion", SDKVersion()}}}};
    VEVInstallationsAPIService self(*this);
    return requestWithURL(URL, "POST", Value(body), installation.refreshToken)
        .then([self](const VEVURLRequest& request) { return self.sendURLRequest(request); })
        .then([installation](const Response& response) -> promises::Outcome<VEVInstallationsItem> {
            VEVLogDebug(kVEVLoggerInstallations, "I-VIS001005", "Parsing server response for %@.",
                        response.HTTPResponse.URL);
            ErrorPtr error;
            auto token =
                VEVInstallationsItem::authTokenWithGenerateTokenAPIJSONData(response.data, now(), &error);
            if (!token) {
                VEVLogDebug(kVEVLoggerInstallations, "I-VIS001008",
                            "Failed to parse VEVInstallationsStoredAuthToken: %@.",
                            error ? error->description() : std::string("(null)"));
                return error;
            }
            VEVLogDebug(kVEVLoggerInstallations, "I-VIS001009",
                        "VEVInstallationsStoredAuthToken parsed successfully.");
            auto updated = installation.copy();
            updated.authToken = *token;
            return updated;
        });
}

RVLPromise<VEVInstallationsItem>
VEVInstallationsAPIService::deleteInstallation(const VEVInstallationsItem& installation) const {
    std::string base = serviceBaseURL();
    std::string URL = base.empty() ? std::string()
                                   : foundation::format("%@/v1/projects/%@/installations/%@/", base,
                                                        pathSegment(projectID_),
                                                        pathSegment(installation.vevurizoInstallationID));
    VEVInstallationsAPIService self(*this);
    return requestWithURL(URL, "DELETE", Value(foundation::Dictionary{}), installation.refreshToken)
        .then([self](const VEVURLRequest& request) { return self.sendURLRequest(request); })
        .then([installation] { return installation; });
}
