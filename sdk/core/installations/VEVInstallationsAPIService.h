#pragma once
// The client of the installations web service: registers an installation, generates auth tokens and
// deletes an installation. The service's base URL is a setting (the standard user default
// kVEVInstallationsServiceURLDefaultsKey); without one every request fails at once with a transport
// error and nothing is sent.
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/promises/RVLPromise.h"
#include "sdk/core/installations/VEVInstallationsItem.h"
#include "sdk/core/installations/VEVInstallationsURLSession.h"

inline constexpr const char* kVEVInstallationsServiceURLDefaultsKey = "VEVInstallationsServiceURL";
inline constexpr const char* kVEVInstallationsSDKVersion = "1.4.0";
inline constexpr const char* kVEVInstallationsHeartbeatTag = "vev-installations";
inline constexpr const char* kVEVInstallationsIIDMigrationAuthHeader = "x-ruv-vis-ios-iid-migration-auth";

class VEVInstallationsAPIService {
  public:
    using Headers = std::vector<std::pair<std::string, std::string>>;

    VEVInstallationsAPIService(std::string APIKey, std::string projectID);
    virtual ~VEVInstallationsAPIService() = default;

    RVLPromise<VEVInstallationsItem> registerInstallation(const VEVInstallationsItem& installation) const;
    RVLPromise<VEVInstallationsItem>
    refreshAuthTokenForInstallation(const VEVInstallationsItem& installation) const;
    RVLPromise<VEVInstallationsItem> deleteInstallation(const VEVInstallationsItem& installation) const;

    // Scheme and host of the service from the setting, without a trailing slash; empty when unset or
    // not an http(s) URL.
    static std::string serviceBaseURL();
    // "i:1.4.0".
    static std::string SDKVersion();

    RVLPromise<VEVURLRequest> requestWithURL(const std::string& URL, const std::string& HTTPMethod,
                                             const foundation::Value& bodyDict,
                                             const std::string& refreshToken,
                                             const Headers& additionalHeaders = {}) const;
    RVLPromise<VEVInstallationsURLSessionResponse> sendURLRequest(const VEVURLRequest& request) const;
    RVLPromise<VEVInstallationsURLSessionResponse> URLRequestPromise(const VEVURLRequest& request) const;

    const std::string& APIKey() const { return APIKey_; }
    const std::string& projectID() const { return projectID_; }
    const std::shared_ptr<VEVInstallationsURLSession>& URLSession() const { return URLSession_; }
    // The wait before the one retry after a 500 (tests shorten it).
    void setRetryDelaySeconds(double seconds) { retryDelaySeconds_ = seconds; }

    // Secrets in log lines keep their first four characters.
    static std::string maskedSecret(const std::string& secret);

  private:
    std::string APIKey_;
    std::string projectID_;
    std::shared_ptr<VEVInstallationsURLSession> URLSession_;
    double retryDelaySeconds_ = 1.0;
};
