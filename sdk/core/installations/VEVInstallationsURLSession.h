#pragma once
// The HTTP client of the installations service, over libcurl: one request at a time on the session's
// own queue, answers as promises. Only http and https URLs are used, redirects are not followed, and
// loopback addresses never go through a proxy.
#include <atomic>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"
#include "platform/promises/RVLPromise.h"
#include "sdk/core/installations/VEVInstallationsErrors.h"

// Transport failures (no connection, time-out, no service URL, an answer too large) carry this domain
// and a libcurl code, kVEVURLSessionErrorNoURL or kVEVURLSessionErrorResponseTooLarge.
inline constexpr const char* kVEVURLSessionErrorDomain = "com.zaruvedez.urlsession";
inline constexpr long kVEVURLSessionErrorNoURL = -1;
inline constexpr long kVEVURLSessionErrorResponseTooLarge = -2;

struct VEVURLRequest {
    std::string URL;
    std::string HTTPMethod = "GET";
    // In the order they are sent.
    std::vector<std::pair<std::string, std::string>> headers;
    foundation::Data body;

    // Replaces a header of the same name (compared without case) in place, or adds it last.
    void setValue(const std::string& value, const std::string& field);
    std::string description() const { return HTTPMethod + " " + URL; }
};

struct VEVInstallationsURLSessionResponse {
    VEVInstallationsHTTPResponse HTTPResponse;
    foundation::Data data; // empty when the session gave none
};

class VEVInstallationsURLSession {
  public:
    // The most an answer may hold; the service's answers are a few hundred bytes.
    static constexpr size_t kMaxResponseBytes = size_t(1) << 20;

    explicit VEVInstallationsURLSession(double timeoutSeconds = 60.0);
    ~VEVInstallationsURLSession();
    VEVInstallationsURLSession(const VEVInstallationsURLSession&) = delete;
    VEVInstallationsURLSession& operator=(const VEVInstallationsURLSession&) = delete;

    // Settles with the answer of any status, or rejects with the transport error.
    RVLPromise<VEVInstallationsURLSessionResponse> dataTaskWithRequest(const VEVURLRequest& request);

    void setTimeoutSeconds(double seconds) { timeoutSeconds_ = seconds; }
    double timeoutSeconds() const { return timeoutSeconds_; }

  private:
    std::atomic<double> timeoutSeconds_;
    foundation::QueuePtr queue_;
};
