#include "sdk/core/transport/TimeSource.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/time.h>

#include "sdk/core/NoDestructor.h"

namespace transport {

namespace {

// The kernel's boot time from /proc/stat ("btime", whole seconds). It only moves when someone sets
// the wall clock, so snapshots of one boot agree on it.
int64_t readBootTimeMicros() {
    FILE* f = std::fopen("/proc/stat", "re");
    if (!f) return 0;
    char line[256];
    long long seconds = 0;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, "btime ", 6) == 0) {
            seconds = std::strtoll(line + 6, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return seconds > 0 ? int64_t(seconds) * 1000000 : 0;
}

class QueueTimer final : public TimerHandle {
  public:
    explicit QueueTimer(std::shared_ptr<foundation::Timer> t) : timer_(std::move(t)) {}
    ~QueueTimer() override = default;
    void invalidate() override { timer_->invalidate(); }
    bool isValid() const override { return timer_->isValid(); }

  private:
    std::shared_ptr<foundation::Timer> timer_;
};

class SystemTimeSource final : public TimeSource {
  public:
    int64_t wallClockMicros() const override {
        struct timeval tv;
        gettimeofday(&tv, nullptr);
        return int64_t(tv.tv_sec) * 1000000 + tv.tv_usec;
    }
    int64_t bootTimeMicros() const override {
        static const int64_t boot = readBootTimeMicros();
        return boot;
    }
    std::shared_ptr<TimerHandle> scheduleTimer(foundation::QueuePtr queue, double interval, bool repeats,
                                               foundation::Task fire) override {
        return std::make_shared<QueueTimer>(
            foundation::Timer::schedule(std::move(queue), interval, repeats, std::move(fire)));
    }
};

std::mutex& sourceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<TimeSource>& installed() {
    static sdk::NoDestructor<std::shared_ptr<TimeSource>> s;
    return *s;
}

} // namespace

std::shared_ptr<TimeSource> TimeSource::system() {
    static sdk::NoDestructor<std::shared_ptr<TimeSource>> s(std::make_shared<SystemTimeSource>());
    return *s;
}

std::shared_ptr<TimeSource> TimeSource::shared() {
    std::lock_guard lock(sourceMutex());
    return installed() ? installed() : system();
}

void TimeSource::setShared(std::shared_ptr<TimeSource> source) {
    std::lock_guard lock(sourceMutex());
    installed() = std::move(source);
}

} // namespace transport
