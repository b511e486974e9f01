#pragma once
// The errors of the installations client: one domain, codes 0 unknown, 1 keychain, 2 server
// unreachable, and the HTTP error that carries the service's answer.
#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

inline constexpr const char* kVEVInstallationsErrorDomain = "com.vevurizo.installations";

enum VEVInstallationsErrorCode : long {
    VEVInstallationsErrorCodeUnknown = 0,
    VEVInstallationsErrorCodeKeychain = 1,
    VEVInstallationsErrorCodeServerUnreachable = 2,
};

// An HTTP answer as the client sees it.
struct VEVInstallationsHTTPResponse {
    std::string URL;
    long statusCode = 0;
    std::string description() const;
};

// An error answer of the service. The error object the caller gets is a plain foundation::Error of the
// client's domain; this record travels beside it and is found again with `fromError`.
class VEVInstallationsHTTPError {
  public:
    VEVInstallationsHTTPError(VEVInstallationsHTTPResponse response, foundation::Data data)
        : HTTPResponse(std::move(response)), data(std::move(data)) {}

    // The error object for the answer (code from errorCodeWithHTTPCode, one failure reason).
    static foundation::ErrorPtr errorWithHTTPResponse(const VEVInstallationsHTTPResponse& response,
                                                      const foundation::Data& data);
    // The answer behind an error made by errorWithHTTPResponse; null for any other error.
    static std::shared_ptr<const VEVInstallationsHTTPError> fromError(const foundation::ErrorPtr& error);
    static long errorCodeWithHTTPCode(long) { return VEVInstallationsErrorCodeUnknown; }
    // A new error of the same answer.
    foundation::ErrorPtr copy() const { return errorWithHTTPResponse(HTTPResponse, data); }

    const VEVInstallationsHTTPResponse HTTPResponse;
    const foundation::Data data;
};

class VEVInstallationsErrorUtil {
  public:
    static foundation::ErrorPtr installationsErrorWithCode(long code, const std::string& failureReason,
                                                           const foundation::ErrorPtr& underlyingError);
    static foundation::ErrorPtr keyedArchiverErrorWithException(const std::string& name,
                                                                const std::string& reason,
                                                                const foundation::Value& userInfo);
    static foundation::ErrorPtr keyedArchiverErrorWithError(const foundation::ErrorPtr& error);
    static foundation::ErrorPtr keychainErrorWithFunction(const std::string& function, long status);
    static foundation::ErrorPtr installationItemNotFoundForAppID(const std::string& appID,
                                                                 const std::string& appName);
    static foundation::ErrorPtr corruptedIIDTokenData();
    static foundation::ErrorPtr JSONSerializationError();
    static foundation::ErrorPtr FIDRegistrationErrorWithResponseMissingField(const std::string& field);
    static foundation::ErrorPtr networkErrorWithError(const foundation::ErrorPtr& error);
    static foundation::ErrorPtr APIErrorWithHTTPResponse(const VEVInstallationsHTTPResponse& response,
                                                         const foundation::Data& data);

    static bool isAPIError(const foundation::ErrorPtr& error, long HTTPCode);
    // True for the error installationItemNotFoundForAppID makes: the record is simply not there.
    static bool isItemNotFoundError(const foundation::ErrorPtr& error);
    static bool isKeychainError(const foundation::ErrorPtr& error);
    static foundation::ErrorPtr publicDomainErrorWithError(const foundation::ErrorPtr& error);
    static std::string failureReason(const foundation::ErrorPtr& error);
};
