#pragma once
// The upload backend for tests: an HTTP server on 127.0.0.1 (port from the kernel) that records each
// request and answers as the test says, and raw socket servers for what no HTTP server does (a closed
// connection, bytes that are not HTTP, a body read at a slow link's pace).
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <stdexcept>
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
                // Counted before the client can learn anything of the connection: once it is closed
                // (or answered), the test may read the count at once.
                ++connections_;
                char buf[65536];
                timeval tv{0, 200000};
                ::setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
                while (::recv(c, buf, sizeof buf, 0) > 0) {
                }
                if (!reply_.empty() && ::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL) < 0)
                    ++sendFailures_;
                ::close(c);
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

// Reads each request's body at `bytesPerSecond`, as a slow uplink passes it on, then answers 200 with a
// log response; with `stallAfter` it stops reading after that many bytes of the body and answers
// nothing until it is destroyed. Small receive buffers and segments keep what the kernel takes in ahead
// of the reader to some hundred kilobytes, so the pace is the one the client sees.
class PacedServer {
  public:
    PacedServer(size_t bytesPerSecond, std::optional<size_t> stallAfter = std::nullopt)
        : bytesPerSecond_(bytesPerSecond), stallAfter_(stallAfter) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int buffer = 4096, segment = 536; // taken over by the accepted connections
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        // Without the small buffers the client would not see the server's pace.
        if (fd_ < 0 || ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer) != 0 ||
            ::setsockopt(fd_, IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment) != 0 ||
            ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0 || ::listen(fd_, 8) != 0) {
            if (fd_ >= 0) ::close(fd_);
            throw std::runtime_error("the paced server could not be set up");
        }
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] {
            for (;;) {
                int c = ::accept(fd_, nullptr, nullptr);
                if (c < 0) return;
                {
                    std::lock_guard lock(mutex_);
                    connection_ = c;
                }
                serve(c);
                std::lock_guard lock(mutex_);
                connection_ = -1;
                ::close(c);
            }
        });
    }
    ~PacedServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            if (connection_ >= 0) ::shutdown(connection_, SHUT_RDWR);
        }
        cv_.notify_all();
        ::shutdown(fd_, SHUT_RDWR); // wakes the accepting thread
        thread_.join();
        ::close(fd_);
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/upload"; }
    // The last request's body bytes read, and the time from its first to its last.
    size_t bodyBytes() {
        std::lock_guard lock(mutex_);
        return bodyBytes_;
    }
    double bodySeconds() {
        std::lock_guard lock(mutex_);
        return bodySeconds_;
    }
    // Requests read whole and answered.
    int answered() const { return answered_; }

  private:
    void serve(int c) {
        std::string head;
        char buf[16384];
        size_t end = std::string::npos;
        while (end == std::string::npos) {
            ssize_t n = ::recv(c, buf, sizeof buf, 0);
            if (n <= 0) return;
            head.append(buf, size_t(n));
            end = head.find("\r\n\r\n");
        }
        size_t length = 0;
        for (size_t at = 0; (at = head.find("\r\n", at)) < end; at += 2) {
            static const std::string name = "content-length:";
            std::string line = head.substr(at + 2, name.size());
            for (char& ch : line)
                ch = char(std::tolower(static_cast<unsigned char>(ch)));
            if (line == name) length = std::stoul(head.substr(at + 2 + name.size()));
        }
        size_t read = head.size() - (end + 4);
        const auto start = std::chrono::steady_clock::now();
        auto record = [&] {
            std::lock_guard lock(mutex_);
            bodyBytes_ = read;
            bodySeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        };
        while (read < length) {
            if (stallAfter_ && read >= *stallAfter_) {
                record();
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [&] { return stopping_; });
                return;
            }
            // What the pace allows so far, read as it comes.
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const size_t allowed = size_t(elapsed * double(bytesPerSecond_));
            if (allowed <= read) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            size_t want = std::min({allowed - read, length - read, sizeof buf});
            if (stallAfter_) want = std::min(want, *stallAfter_ - read);
            ssize_t n = ::recv(c, buf, want, 0);
            if (n <= 0) return record();
            read += size_t(n);
        }
        record();
        ++answered_; // before the client can see the answer
        const std::string body = logResponse(0);
        const std::string answer =
            "HTTP/1.1 200 OK\r\nContent-Type: application/x-protobuf\r\nContent-Length: " +
            std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
        ::send(c, answer.data(), answer.size(), MSG_NOSIGNAL);
    }

    const size_t bytesPerSecond_;
    const std::optional<size_t> stallAfter_;
    int fd_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable cv_;
    int connection_ = -1;
    bool stopping_ = false;
    size_t bodyBytes_ = 0;
    double bodySeconds_ = 0;
    std::atomic<int> answered_{0};
};

} // namespace transporttest
