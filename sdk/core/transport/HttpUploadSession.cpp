#include "sdk/core/transport/HttpUploadSession.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>

#include "platform/foundation/ExitSteps.h"

namespace transport {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Transfer {
    HttpTask* task;
    HttpResponse response;
    bool tooLarge = false;
};

size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    if (t->response.body.size() + n > HttpUploadSession::kMaxResponseBytes) {
        t->tooLarge = true;
        return 0; // ends the transfer with an error
    }
    t->response.body.insert(t->response.body.end(), data, data + n);
    return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    size_t n = size * count;
    std::string line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        t->response.headers.clear(); // a new response (after a 100 Continue)
    } else if (auto colon = line.find(':'); colon != std::string::npos) {
        std::string value = line.substr(colon + 1);
        auto first = value.find_first_not_of(" \t");
        auto last = value.find_last_not_of(" \t\r\n");
        t->response.headers[lower(line.substr(0, colon))] =
            first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    }
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    // The process leaving ends a transfer as a cancellation would.
    return static_cast<Transfer*>(user)->task->isCancelled() || foundation::ExitSteps::leaving() ? 1 : 0;
}

bool isRedirect(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

void initCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

long milliseconds(double seconds) {
    return long(std::clamp(seconds * 1000.0, 1.0, 1e9));
}

// One request; `error` says why no whole response came.
std::optional<HttpResponse> performOne(HttpTask& task, const HttpRequest& request,
                                       const HttpTimeouts& timeouts, std::string& error) {
    CURL* curl = curl_easy_init();
    if (!curl) {
        error = "the HTTP client could not be set up";
        return std::nullopt;
    }
    Transfer transfer{&task, {}};
    curl_slist* headers = nullptr;
    std::string acceptEncoding;
    for (const auto& [name, value] : request.headers) {
        // libcurl asks for and inflates compressed answers itself when told the encodings.
        if (lower(name) == "accept-encoding") {
            acceptEncoding = value;
            continue;
        }
        headers = curl_slist_append(headers, (name + ": " + value).c_str());
    }
    headers = curl_slist_append(headers, "Expect:"); // no waiting for a 100 Continue
    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, milliseconds(timeouts.connectSeconds));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, std::max(1L, timeouts.lowSpeedBytesPerSecond));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, timeouts.lowSpeedSeconds));
    // Loopback traffic never goes through a proxy.
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (!acceptEncoding.empty()) curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, acceptEncoding.c_str());
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS,
                         request.body.empty() ? "" : (const char*)request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(request.body.size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    CURLcode code = curl_easy_perform(curl);
    std::optional<HttpResponse> response;
    if (code == CURLE_OK) {
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        transfer.response.status = status;
        char* location = nullptr;
        if (isRedirect(status) && curl_easy_getinfo(curl, CURLINFO_REDIRECT_URL, &location) == CURLE_OK &&
            location)
            transfer.response.redirectURL = location;
        response = std::move(transfer.response);
    } else {
        error = transfer.tooLarge ? "the response body is too large" : curl_easy_strerror(code);
    }
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return response;
}

} // namespace

std::optional<std::string> HttpRequest::header(const std::string& name) const {
    for (const auto& [n, v] : headers)
        if (lower(n) == lower(name)) return v;
    return std::nullopt;
}

void HttpRequest::removeHeader(const std::string& name) {
    std::erase_if(headers, [&](const auto& h) { return lower(h.first) == lower(name); });
}

namespace {
// Scheme, host and port of an absolute URL, lower-cased; none when it does not parse.
std::optional<std::string> originOf(const std::string& url) {
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> u(curl_url(), curl_url_cleanup);
    if (!u || curl_url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
    std::string origin;
    for (auto [part, flags] : {std::pair{CURLUPART_SCHEME, 0u}, std::pair{CURLUPART_HOST, 0u},
                               std::pair{CURLUPART_PORT, unsigned(CURLU_DEFAULT_PORT)}}) {
        char* text = nullptr;
        if (curl_url_get(u.get(), part, &text, flags) != CURLUE_OK || !text) return std::nullopt;
        origin += lower(text) + "|";
        curl_free(text);
    }
    return origin;
}
} // namespace

bool sameOrigin(const std::string& a, const std::string& b) {
    auto x = originOf(a);
    return x && x == originOf(b);
}

HttpUploadSession::HttpUploadSession(const std::string& queueName, RedirectHandler redirectHandler,
                                     HttpTimeouts timeouts)
    : queue_(foundation::SerialQueue::create(queueName)), redirectHandler_(std::move(redirectHandler)),
      timeouts_(timeouts) {
    initCurlOnce();
}

void HttpUploadSession::setTimeouts(HttpTimeouts timeouts) {
    std::lock_guard lock(mutex_);
    timeouts_ = timeouts;
}

HttpTimeouts HttpUploadSession::timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

HttpUploadSession::~HttpUploadSession() {
    {
        std::lock_guard lock(mutex_);
        for (auto& weak : tasks_)
            if (auto task = weak.lock()) task->cancel();
    }
    queue_->drain();
}

std::shared_ptr<HttpTask> HttpUploadSession::startTask(HttpRequest request, Completion completion) {
    auto task = std::make_shared<HttpTask>(nextIdentifier_++, std::move(request));
    HttpTimeouts timeouts;
    {
        std::lock_guard lock(mutex_);
        std::erase_if(tasks_, [](const auto& w) { return w.expired(); });
        tasks_.push_back(task);
        timeouts = timeouts_;
    }
    // The session outlives its queue's work (its destructor drains the queue), so `this` is safe here.
    queue_->async([this, task, timeouts, completion = std::move(completion)] {
        HttpResult result = perform(*task, timeouts);
        if (completion) completion(*task, std::move(result));
    });
    return task;
}

HttpResult HttpUploadSession::perform(HttpTask& task, HttpTimeouts timeouts) {
    HttpResult result;
    HttpRequest request = task.originalRequest();
    for (int hop = 0;; ++hop) {
        if (task.isCancelled()) {
            result.cancelled = true;
            result.error = "cancelled";
            return result;
        }
        std::string error;
        auto response = performOne(task, request, timeouts, error);
        if (!response) {
            result.cancelled = task.isCancelled();
            result.error = result.cancelled ? "cancelled" : error;
            return result;
        }
        result.response = std::move(response);
        const HttpResponse& r = *result.response;
        if (!isRedirect(r.status) || r.redirectURL.empty() || hop >= kMaxRedirects || !redirectHandler_)
            return result;
        HttpRequest proposed = request;
        proposed.url = r.redirectURL;
        // As browsers do: a 303, and a 301 or 302 after a POST, continue as a GET without a body.
        if (r.status == 303 || ((r.status == 301 || r.status == 302) && request.method == "POST")) {
            proposed.method = "GET";
            proposed.body.clear();
            std::erase_if(proposed.headers, [](const auto& h) {
                auto n = lower(h.first);
                return n == "content-type" || n == "content-encoding";
            });
        }
        auto next = redirectHandler_(task, r, proposed);
        if (!next) return result;
        request = std::move(*next);
    }
}

} // namespace transport
