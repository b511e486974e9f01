#include "sdk/core/transport/RDTCORClock.h"

#include <ctime>
#include <functional>

#include "platform/foundation/Format.h"
#include "sdk/core/transport/RDTCORArchive.h"
#include "sdk/core/transport/TimeSource.h"

namespace {
constexpr const char* kTimeMillisKey = "RDTCORClockTimeMillis";
constexpr const char* kTimezoneOffsetKey = "RDTCORClockTimezoneOffsetSeconds";
constexpr const char* kKernelBootTimeKey = "RDTCORClockKernelBootTime";
constexpr const char* kUptimeKey = "RDTCORClockUptime";
} // namespace

int64_t RDTCORTimezoneOffsetAtReferenceDate() {
    time_t reference = 978307200; // 2001-01-01 00:00:00 GMT
    struct tm tm;
    localtime_r(&reference, &tm);
    return int64_t(tm.tm_gmtoff);
}

RDTCORClock RDTCORClock::snapshot() {
    auto source = transport::TimeSource::shared();
    int64_t boot = source->bootTimeMicros();
    // The boot time moves when the wall clock is set; read it around the wall clock until both
    // readings agree, so uptime is measured against one reference.
    int64_t wall = 0;
    for (int attempt = 0; attempt < 8; ++attempt) {
        wall = source->wallClockMicros();
        int64_t again = source->bootTimeMicros();
        if (again == boot) break;
        boot = again;
    }
    int64_t millis = wall / 1000;
    return RDTCORClock(millis, RDTCORTimezoneOffsetAtReferenceDate(), boot, wall - boot);
}

RDTCORClock RDTCORClock::clockSnapshotInTheFuture(int64_t millisInTheFuture) {
    RDTCORClock c = snapshot();
    // Saturates: a huge span must not wrap around into the past.
    if (__builtin_add_overflow(c.timeMillis_, millisInTheFuture, &c.timeMillis_))
        c.timeMillis_ = millisInTheFuture > 0 ? INT64_MAX : INT64_MIN;
    return c;
}

bool RDTCORClock::isAfter(const RDTCORClock& other) const {
    if (kernelBootTime_ != other.kernelBootTime_) return other.kernelBootTime_ < kernelBootTime_;
    // Milliseconds plus seconds, as stored: both snapshots carry the same zone offset in practice.
    // Summed wider than 64 bits, so a saturated deliver-by or wait time cannot overflow.
    return __int128(timeMillis_) + timezoneOffsetSeconds_ >
           __int128(other.timeMillis_) + other.timezoneOffsetSeconds_;
}

size_t RDTCORClock::hash() const {
    std::hash<int64_t> h;
    return h(timeMillis_) ^ h(timezoneOffsetSeconds_) ^ h(kernelBootTime_) ^ h(uptime_);
}

std::string RDTCORClock::description() const {
    return foundation::format("<RDTCORClock: timeMillis=%lld tz=%lld boot=%lld uptime=%lld>", timeMillis_,
                              timezoneOffsetSeconds_, kernelBootTime_, uptime_);
}

foundation::Value RDTCORClock::encodeToArchive() const {
    return foundation::Value(foundation::Dictionary{{kRDTCORArchiveClassKey, "RDTCORClock"},
                                                    {kTimeMillisKey, timeMillis_},
                                                    {kTimezoneOffsetKey, timezoneOffsetSeconds_},
                                                    {kKernelBootTimeKey, kernelBootTime_},
                                                    {kUptimeKey, uptime_}});
}

std::optional<RDTCORClock> RDTCORClock::decode(const foundation::Value& v) {
    if (!RDTCORArchiveIsObjectOfClass(v, "RDTCORClock")) return std::nullopt;
    for (auto key : {kTimeMillisKey, kTimezoneOffsetKey, kKernelBootTimeKey, kUptimeKey})
        if (!v[key].isNull() && !v[key].isNumber()) return std::nullopt;
    return RDTCORClock(v[kTimeMillisKey].intValue(), v[kTimezoneOffsetKey].intValue(),
                       v[kKernelBootTimeKey].intValue(), v[kUptimeKey].intValue());
}
