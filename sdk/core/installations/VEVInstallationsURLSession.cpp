#include "sdk/core/installations/VEVInstallationsURLSession.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>

#include "platform/foundation/ExitSteps.h"
#include "platform/foundation/Format.h"

using foundation::ErrorPtr;

namespace {

bool sameField(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

ErrorPtr transportError(long code, const std::string& reason) {
    return foundation::Error::make(kVEVURLSessionErrorDomain, code,
                                   {{foundation::kLocalizedDescriptionKey, reason}});
}

struct Body {
    foundation::Data data;
    bool tooLarge = false;
};

size_t collect(char* bytes, size_t size, size_t count, void* out) {
    auto* body = static_cast<Body*>(out);
    const size_t n = size * count;
    if (n > VEVInstallationsURLSession::kMaxResponseBytes - body->data.size()) {
        body->tooLarge = true;
        return 0; // ends the transfer
    }
    body->data.insert(body->data.end(), bytes, bytes + n);
    return n;
}

// The process leaving ends a request at once.
int onProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return foundation::ExitSteps::leaving() ? 1 : 0;
}

ErrorPtr tooLargeError() {
    return transportError(kVEVURLSessionErrorResponseTooLarge,
                          foundation::format("The installations service answered with more than %ld bytes.",
                                             long(VEVInstallationsURLSession::kMaxResponseBytes)));
}

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
};

// One exchange; runs on the session's queue.
promises::Outcome<VEVInstallationsURLSessionResponse> perform(const VEVURLRequest& request, double timeout) {
    static CurlGlobal global;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    if (!curl) return transportError(CURLE_FAILED_INIT, "The HTTP client could not be created.");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(nullptr, curl_slist_free_all);
    // The list's head comes back from each append; a failed one leaves the list as it was.
    auto append = [&headers](const std::string& line) {
        curl_slist* old = headers.release();
        curl_slist* list = curl_slist_append(old, line.c_str());
        headers.reset(list ? list : old);
        return list != nullptr;
    };
    for (const auto& [field, value] : request.headers) {
        if (!append(field + ": " + value)) return transportError(CURLE_OUT_OF_MEMORY, "Out of memory.");
    }
    append("Expect:"); // no "Expect: 100-continue" pause for bodies
    VEVInstallationsURLSessionResponse response;
    Body body;
    char errorText[CURL_ERROR_SIZE] = {0};
    CURL* c = curl.get();
    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
        if (rc == CURLE_OK) rc = curl_easy_setopt(c, option, value);
    };
    set(CURLOPT_URL, request.URL.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 0L);
    set(CURLOPT_NOPROXY, "127.0.0.1,localhost,::1");
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_TIMEOUT_MS, long(std::max(1.0, timeout * 1000.0)));
    set(CURLOPT_CUSTOMREQUEST, request.HTTPMethod.c_str());
    if (!request.body.empty() || request.HTTPMethod != "GET") {
        set(CURLOPT_POSTFIELDSIZE, long(request.body.size()));
        set(CURLOPT_POSTFIELDS,
            request.body.empty() ? "" : reinterpret_cast<const char*>(request.body.data()));
    }
    set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_WRITEFUNCTION, collect);
    set(CURLOPT_WRITEDATA, &body);
    // An answer that announces its size is refused before any of it is read.
    set(CURLOPT_MAXFILESIZE_LARGE, curl_off_t(VEVInstallationsURLSession::kMaxResponseBytes));
    set(CURLOPT_ERRORBUFFER, errorText);
    set(CURLOPT_NOPROGRESS, 0L);
    set(CURLOPT_XFERINFOFUNCTION, onProgress);
    if (rc != CURLE_OK) return transportError(rc, curl_easy_strerror(rc));
    rc = curl_easy_perform(c);
    if (body.tooLarge || rc == CURLE_FILESIZE_EXCEEDED) return tooLargeError();
    if (rc != CURLE_OK)
        return transportError(rc,
                              errorText[0] ? std::string(errorText) : std::string(curl_easy_strerror(rc)));
    long status = 0;
    if (curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status <= 0)
        return transportError(CURLE_WEIRD_SERVER_REPLY, "The server gave no HTTP status.");
    response.HTTPResponse = {request.URL, status};
    response.data = std::move(body.data);
    return response;
}

} // namespace

void VEVURLRequest::setValue(const std::string& value, const std::string& field) {
    for (auto& header : headers)
        if (sameField(header.first, field)) {
            header.second = value;
            return;
        }
    headers.emplace_back(field, value);
}

VEVInstallationsURLSession::VEVInstallationsURLSession(double timeoutSeconds)
    : timeoutSeconds_(timeoutSeconds),
      queue_(foundation::SerialQueue::create("com.vevurizo.installations.session")) {}

VEVInstallationsURLSession::~VEVInstallationsURLSession() = default;

RVLPromise<VEVInstallationsURLSessionResponse>
VEVInstallationsURLSession::dataTaskWithRequest(const VEVURLRequest& request) {
    if (request.URL.empty())
        return RVLPromise<VEVInstallationsURLSessionResponse>::resolvedWith(
            transportError(kVEVURLSessionErrorNoURL, "No installations service URL is configured."));
    double timeout = timeoutSeconds_;
    return RVLPromise<VEVInstallationsURLSessionResponse>::onQueueDo(
        queue_, [request, timeout] { return perform(request, timeout); });
}
