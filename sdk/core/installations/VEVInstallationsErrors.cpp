#include "sdk/core/installations/VEVInstallationsErrors.h"

#include <mutex>
#include <unordered_map>

#include "platform/foundation/Format.h"

using foundation::ErrorPtr;

namespace {

constexpr const char* kNotFoundPrefix = "Installation for appID ";

// Errors are plain objects without a type of their own, so the HTTP answer of an error is kept here,
// keyed by the error object and checked against a weak reference (an address can be reused).
struct HTTPErrorTable {
    std::mutex mutex;
    struct Entry {
        std::weak_ptr<foundation::Error> error;
        std::shared_ptr<const VEVInstallationsHTTPError> answer;
    };
    std::unordered_map<const foundation::Error*, Entry> entries;
};

HTTPErrorTable& httpErrors() {
    static auto* table = new HTTPErrorTable; // errors may outlive static destruction
    return *table;
}

std::string bodyText(const foundation::Data& data) {
    return std::string(data.begin(), data.end());
}

} // namespace

std::string VEVInstallationsHTTPResponse::description() const {
    return foundation::format("<HTTPResponse %@ status %ld>", URL, statusCode);
}

ErrorPtr VEVInstallationsHTTPError::errorWithHTTPResponse(const VEVInstallationsHTTPResponse& response,
                                                          const foundation::Data& data) {
    auto error = foundation::Error::make(
        kVEVInstallationsErrorDomain, errorCodeWithHTTPCode(response.statusCode),
        {{foundation::kLocalizedFailureReasonKey,
          foundation::format(
              "The server responded with an error: \n - URL: %@ \n - HTTP status code: %ld \n - "
              "Response body: %@",
              response.URL, response.statusCode, bodyText(data))}});
    auto answer = std::make_shared<const VEVInstallationsHTTPError>(response, data);
    auto& table = httpErrors();
    std::lock_guard lock(table.mutex);
    std::erase_if(table.entries, [](const auto& e) { return e.second.error.expired(); });
    table.entries[error.get()] = {error, answer};
    return error;
}

std::shared_ptr<const VEVInstallationsHTTPError> VEVInstallationsHTTPError::fromError(const ErrorPtr& error) {
    if (!error) return nullptr;
    auto& table = httpErrors();
    std::lock_guard lock(table.mutex);
    auto it = table.entries.find(error.get());
    if (it == table.entries.end() || it->second.error.lock() != error) return nullptr;
    return it->second.answer;
}

ErrorPtr VEVInstallationsErrorUtil::installationsErrorWithCode(long code, const std::string& failureReason,
                                                               const ErrorPtr& underlyingError) {
    foundation::Dictionary userInfo;
    if (!failureReason.empty()) userInfo[foundation::kLocalizedFailureReasonKey] = failureReason;
    auto error = foundation::Error::make(kVEVInstallationsErrorDomain, code, std::move(userInfo));
    error->underlying = underlyingError;
    return error;
}

ErrorPtr VEVInstallationsErrorUtil::keyedArchiverErrorWithException(const std::string& name,
                                                                    const std::string& reason,
                                                                    const foundation::Value& userInfo) {
    return installationsErrorWithCode(
        VEVInstallationsErrorCodeUnknown,
        foundation::format("NSKeyedArchiver exception with name: %@, reason: %@, userInfo: %@", name, reason,
                           userInfo),
        nullptr);
}

ErrorPtr VEVInstallationsErrorUtil::keyedArchiverErrorWithError(const ErrorPtr& error) {
    return installationsErrorWithCode(VEVInstallationsErrorCodeUnknown, "NSKeyedArchiver error.", error);
}

ErrorPtr VEVInstallationsErrorUtil::keychainErrorWithFunction(const std::string& function, long status) {
    return installationsErrorWithCode(VEVInstallationsErrorCodeKeychain,
                                      foundation::format("%@ (%li)", function, status), nullptr);
}

ErrorPtr VEVInstallationsErrorUtil::installationItemNotFoundForAppID(const std::string& appID,
                                                                     const std::string& appName) {
    return installationsErrorWithCode(
        VEVInstallationsErrorCodeUnknown,
        foundation::format("Installation for appID %@ appName %@ not found", appID, appName), nullptr);
}

ErrorPtr VEVInstallationsErrorUtil::corruptedIIDTokenData() {
    return installationsErrorWithCode(
        VEVInstallationsErrorCodeUnknown,
        "IID token data stored in Keychain is corrupted or in an incompatible format.", nullptr);
}

ErrorPtr VEVInstallationsErrorUtil::JSONSerializationError() {
    return installationsErrorWithCode(VEVInstallationsErrorCodeUnknown, "Failed to serialize JSON data.",
                                      nullptr);
}

ErrorPtr VEVInstallationsErrorUtil::FIDRegistrationErrorWithResponseMissingField(const std::string& field) {
    return installationsErrorWithCode(
        VEVInstallationsErrorCodeUnknown,
        foundation::format("A required response field with name %@ is missing", field), nullptr);
}

ErrorPtr VEVInstallationsErrorUtil::networkErrorWithError(const ErrorPtr& error) {
    return installationsErrorWithCode(VEVInstallationsErrorCodeServerUnreachable, "Network connection error.",
                                      error);
}

ErrorPtr VEVInstallationsErrorUtil::APIErrorWithHTTPResponse(const VEVInstallationsHTTPResponse& response,
                                                             const foundation::Data& data) {
    return VEVInstallationsHTTPError::errorWithHTTPResponse(response, data);
}

bool VEVInstallationsErrorUtil::isAPIError(const ErrorPtr& error, long HTTPCode) {
    auto answer = VEVInstallationsHTTPError::fromError(error);
    return answer && answer->HTTPResponse.statusCode == HTTPCode;
}

std::string VEVInstallationsErrorUtil::failureReason(const ErrorPtr& error) {
    if (!error) return {};
    auto it = error->userInfo().find(foundation::kLocalizedFailureReasonKey);
    return it != error->userInfo().end() ? it->second.stringValue() : std::string();
}

bool VEVInstallationsErrorUtil::isItemNotFoundError(const ErrorPtr& error) {
    return error && error->domain() == kVEVInstallationsErrorDomain &&
           error->code() == VEVInstallationsErrorCodeUnknown &&
           !VEVInstallationsHTTPError::fromError(error) && failureReason(error).starts_with(kNotFoundPrefix);
}

bool VEVInstallationsErrorUtil::isKeychainError(const ErrorPtr& error) {
    return error && error->domain() == kVEVInstallationsErrorDomain &&
           error->code() == VEVInstallationsErrorCodeKeychain;
}

ErrorPtr VEVInstallationsErrorUtil::publicDomainErrorWithError(const ErrorPtr& error) {
    if (error && error->domain() == kVEVInstallationsErrorDomain) return error;
    return installationsErrorWithCode(VEVInstallationsErrorCodeUnknown, {}, error);
}
