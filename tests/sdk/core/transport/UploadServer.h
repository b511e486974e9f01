#pragma once
// The upload backend for tests: an HTTP server on 127.0.0.1 (port from the kernel) that records each
// request and answers as the test says, and a raw socket server for answers no HTTP server gives
// (a closed connection, bytes that are not HTTP).
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "sdk/core/transport/RDTCCTNanopbHelpers.h"

namespace transporttest {

struct ReceivedRequest {
    std::string path;
    std::map<std::string, std::string> headers;
    std::string body; // as the server saw it: gzip bodies already inflated
    bool gzipped() const {
        auto it = headers.find("Content-Encoding");
        return it != headers.end() && it->second == "gzip";
    }
    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

struct Answer {
    Answer(int status = 200, std::string body = {}, std::string location = {}, bool stall = false)
        : status(status), body(std::move(body)), location(std::move(location)), stall(stall) {}
    int status;
    std::string body;
    std::string location;
    bool stall; // held until the test releases the stalls
};

// A log response asking for a wait.
inline std::string logResponse(int64_t waitMillis) {
    std::string out(1, char(0x08));
    uint64_t v = uint64_t(waitMillis);
    do {
        uint8_t b = v & 0x7f;
        v >>= 7;
        out += char(v ? b | 0x80 : b);
    } while (v);
    return out;
}

class UploadServer {
  public:
    using Responder = std::function<Answer(const ReceivedRequest&)>;

    UploadServer() {
        auto handler = [this](const httplib::Request& req, httplib::Response& res) {
            ReceivedRequest r{req.path, {}, req.body};
            for (const auto& [k, v] : req.headers)
                r.headers[k] = v;
            Answer a;
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(r);
                a = responder_ ? responder_(r) : Answer(200, logResponse(0));
            }
            cv_.notify_all();
            if (a.stall) {
                std::unique_lock lock(mutex_);
                ++stalled_;
                cv_.notify_all();
                cv_.wait(lock, [&] { return released_; });
            }
            res.status = a.status;
            if (!a.location.empty()) res.set_header("Location", a.location);
            res.set_content(a.body, "application/x-protobuf");
        };
        server_.Post(".*", handler);
        server_.Get(".*", handler);
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~UploadServer() {
        releaseStalls();
        server_.stop();
        thread_.join();
    }

    std::string url(const std::string& path = "/upload") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int port() const { return port_; }
    void respond(Responder r) {
        std::lock_guard lock(mutex_);
        responder_ = std::move(r);
    }
    void respondAlways(Answer a) {
        respond([a](const ReceivedRequest&) { return a; });
    }
    std::vector<ReceivedRequest> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    size_t requestCount() {
        std::lock_guard lock(mutex_);
        return requests_.size();
    }
    bool waitForRequests(size_t n, std::chrono::seconds timeout = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return requests_.size() >= n; });
    }
    bool waitForStalls(int n, std::chrono::seconds timeout = std::chrono::seconds(20)) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return stalled_ >= n; });
    }
    void releaseStalls() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        cv_.notify_all();
    }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<ReceivedRequest> requests_;
    Responder responder_;
    int stalled_ = 0;
    bool released_ = false;
};

// Accepts connections on 127.0.0.1, reads what comes, writes `reply` (maybe nothing) and closes.
class RawServer {
  public:
    explicit RawServer(std::string reply) : reply_(std::move(reply)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        ::listen(fd_, 8);
        thread_ = std::thread([this] {
            for (;;) {
                int c = ::accept(fd_, nullptr, nullptr);
                if (c < 0) return;
                char buf[65536];
                timeval tv{0, 200000};
                ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
                while (::recv(c, buf, sizeof buf, 0) > 0) {
                }
                if (!reply_.empty() && ::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL) < 0)
                    ++sendFailures_;
                ::close(c);
                ++connections_;
            }
        });
    }
    ~RawServer() {
        ::shutdown(fd_, SHUT_RDWR); // wakes the accepting thread
        thread_.join();
        ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }
    int connections() const { return connections_; }

  private:
    std::string reply_;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::atomic<int> connections_{0};
    std::atomic<int> sendFailures_{0};
};

// A listening socket on 127.0.0.1 that never accepts, its queue filled: a connection to it is never
// completed, as with a host that does not answer.
class UnansweredServer {
  public:
    UnansweredServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        ::listen(fd_, 0);
        // Fill the accept queue: further handshakes are then left unanswered.
        for (int i = 0; i < 4; ++i) {
            int c = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(c, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            fillers_.push_back(c);
        }
    }
    ~UnansweredServer() {
        for (int c : fillers_)
            ::close(c);
        ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }

  private:
    int fd_ = -1;
    int port_ = 0;
    std::vector<int> fillers_;
};

} // namespace transporttest
