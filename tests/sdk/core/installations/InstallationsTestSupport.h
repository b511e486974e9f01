#pragma once
// A fake installations service on 127.0.0.1 (a kernel-chosen port) that records every request and
// answers through a handler the test sets, and helpers to wait for promises and completions.
#include <atomic>
#include <catch2/catch.hpp>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/UserDefaults.h"
#include "platform/promises/RVLPromise.h"
#include "sdk/core/installations/VEVInstallationsAPIService.h"

namespace installationstest {

struct RecordedRequest {
    std::string method;
    std::string path;   // decoded
    std::string target; // as sent
    httplib::Headers headers;
    std::string body;
    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
    bool hasHeader(const std::string& name) const { return headers.count(name) > 0; }
};

class FakeService {
  public:
    using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;

    FakeService() {
        auto record = [this](const httplib::Request& req, httplib::Response& res) {
            Handler h;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back({req.method, req.path, req.target, req.headers, req.body});
                h = handler_;
            }
            if (h)
                h(req, res);
            else
                res.status = 404;
        };
        server_.Post(".*", record);
        server_.Delete(".*", record);
        server_.Get(".*", record);
        port_ = server_.bind_to_any_port("127.0.0.1");
        REQUIRE(port_ > 0);
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~FakeService() {
        server_.stop();
        thread_.join();
    }

    std::string baseURL() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // Points the client's setting at this service.
    void use() const {
        foundation::UserDefaults::standard()->setObject(baseURL(), kVEVInstallationsServiceURLDefaultsKey);
    }
    void setHandler(Handler h) {
        std::lock_guard lock(mutex_);
        handler_ = std::move(h);
    }
    std::vector<RecordedRequest> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    size_t count() const { return requests().size(); }
    void clear() {
        std::lock_guard lock(mutex_);
        requests_.clear();
    }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    Handler handler_;
};

// A service answer as the real service gives it.
inline std::string registrationAnswer(const std::string& fid, const std::string& refresh,
                                      const std::string& token, const std::string& expiresIn = "604800s") {
    return "{\"name\":\"projects/p/installations/" + fid + "\",\"fid\":\"" + fid + "\",\"refreshToken\":\"" +
           refresh + "\",\"authToken\":{\"token\":\"" + token + "\",\"expiresIn\":\"" + expiresIn + "\"}}";
}
inline std::string tokenAnswer(const std::string& token, const std::string& expiresIn = "604800s") {
    return "{\"token\":\"" + token + "\",\"expiresIn\":\"" + expiresIn + "\"}";
}

// Waits until the predicate holds (polled), false after the time-out.
inline bool eventually(const std::function<bool()>& predicate, double seconds = 10) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Lets the promise queue run what is already queued (the caches' clean-up, notifications).
inline void drainPromiseQueue() {
    for (int i = 0; i < 3; ++i)
        promises::defaultQueue()->drain();
}

// Waits for the promise to settle (fails the test after the time-out), then for the continuations
// queued by then (a settled operation leaves its cache slot in the next continuation).
template <class T> void settle(const RVLPromise<T>& p, double seconds = 10) {
    REQUIRE(p.await(seconds));
    drainPromiseQueue();
}

} // namespace installationstest
