#include "platform/foundation/Log.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <sys/syscall.h>
#include <unistd.h>

namespace foundation {

namespace {
std::mutex& sinkMutex() {
    static std::mutex m;
    return m;
}
std::vector<LogCapture*>& captures() {
    // Never destroyed: background work logs until the process ends.
    static auto* c = new std::vector<LogCapture*>;
    return *c;
}
} // namespace

std::string formatLogLine(std::string_view message) {
    using namespace std::chrono;
    auto now = system_clock::now();
    auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    time_t t = system_clock::to_time_t(now);
    struct tm tm;
    localtime_r(&t, &tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
    char prefix[96];
    std::snprintf(prefix, sizeof prefix, "%s.%03d zaruvedez[%d:%ld] ", stamp, int(ms), int(getpid()),
                  long(syscall(SYS_gettid)));
    std::string line(prefix);
    line.append(message);
    line += '\n';
    return line;
}

void logMessage(std::string_view message) {
    std::string line = formatLogLine(message);
    std::lock_guard lock(sinkMutex());
    bool silent = false;
    for (auto* c : captures()) {
        c->add(message);
        silent = silent || c->silence_;
    }
    if (!silent) {
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    }
}

LogCapture::LogCapture(bool silence) : silence_(silence) {
    std::lock_guard lock(sinkMutex());
    captures().push_back(this);
}

LogCapture::~LogCapture() {
    std::lock_guard lock(sinkMutex());
    std::erase(captures(), this);
}

void LogCapture::add(std::string_view message) {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(message);
}

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(std::string_view needle) const {
    return count(needle) > 0;
}

size_t LogCapture::count(std::string_view needle) const {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const auto& l : lines_)
        if (l.find(needle) != std::string::npos) ++n;
    return n;
}

void LogCapture::clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
}

} // namespace foundation
