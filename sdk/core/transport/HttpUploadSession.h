#pragma once
// The uploader's HTTP client over libcurl: one request at a time on its own queue, cancellable from
// any thread, redirects decided by the caller rather than followed blindly, response bodies bounded.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"

namespace transport {

struct HttpRequest {
    std::string url;
    std::string method = "POST";
    std::vector<std::pair<std::string, std::string>> headers; // in order
    foundation::Data body;

    std::optional<std::string> header(const std::string& name) const;
    void removeHeader(const std::string& name);
};

// Whether two absolute URLs share scheme, host and port (the scheme's default when none is given).
bool sameOrigin(const std::string& a, const std::string& b);

struct HttpResponse {
    long status = 0;
    std::map<std::string, std::string> headers; // names in lower case
    foundation::Data body;
    std::string redirectURL; // the absolute target of a redirect, when it is one
};

// Time-outs of every request. No limit on the whole exchange: a large body on a slow link goes on as
// long as it moves. A request ends when fewer than `lowSpeedBytesPerSecond` move for
// `lowSpeedSeconds` (whole seconds, as libcurl counts them; its rate is the last few seconds' average),
// so a server that stops reading, or accepts the body and never answers, frees the uploader in about a
// minute, well within an upload package's three-minute expiry, for the package's next try.
struct HttpTimeouts {
    double connectSeconds = 30.0;
    long lowSpeedBytesPerSecond = 1000;
    long lowSpeedSeconds = 60;
};

struct HttpResult {
    std::optional<HttpResponse> response; // the last response, when one came
    std::string error;                    // why there is none (or why it is incomplete)
    bool cancelled = false;
};

class HttpTask {
  public:
    HttpTask(uint64_t identifier, HttpRequest request)
        : identifier_(identifier), original_(std::move(request)) {}
    uint64_t identifier() const { return identifier_; }
    const HttpRequest& originalRequest() const { return original_; }
    // Stops the transfer soon after; the completion still runs, with `cancelled` set.
    void cancel() { cancelled_ = true; }
    bool isCancelled() const { return cancelled_; }

  private:
    const uint64_t identifier_;
    const HttpRequest original_;
    std::atomic<bool> cancelled_{false};
};

class HttpUploadSession {
  public:
    // Asked for each redirect with the redirect response and the request a browser would make next;
    // returns the request to make instead, or nothing to end the task with the redirect response.
    using RedirectHandler = std::function<std::optional<HttpRequest>(const HttpTask&, const HttpResponse&,
                                                                     const HttpRequest& proposed)>;
    using Completion = std::function<void(const HttpTask&, HttpResult)>;

    static constexpr size_t kMaxResponseBytes = 1 << 20;
    static constexpr int kMaxRedirects = 8;

    HttpUploadSession(const std::string& queueName, RedirectHandler redirectHandler,
                      HttpTimeouts timeouts = {});
    // Cancels what still runs and waits for it.
    ~HttpUploadSession();
    HttpUploadSession(const HttpUploadSession&) = delete;
    HttpUploadSession& operator=(const HttpUploadSession&) = delete;

    // Starts the request on the session's queue; the completion runs there.
    std::shared_ptr<HttpTask> startTask(HttpRequest request, Completion completion);
    // For the tasks started from now on.
    void setTimeouts(HttpTimeouts timeouts);
    HttpTimeouts timeouts() const;

  private:
    HttpResult perform(HttpTask& task, HttpTimeouts timeouts);
    foundation::QueuePtr queue_;
    RedirectHandler redirectHandler_;
    mutable std::mutex mutex_;
    HttpTimeouts timeouts_;
    std::vector<std::weak_ptr<HttpTask>> tasks_;
    std::atomic<uint64_t> nextIdentifier_{1};
};

} // namespace transport
