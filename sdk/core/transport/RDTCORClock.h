#pragma once
// A moment as the transport records it: wall time, the time zone, the kernel's boot time and the
// time since boot, so moments of one boot order by wall time and later boots order after earlier ones.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class RDTCORClock {
  public:
    RDTCORClock() = default;
    RDTCORClock(int64_t timeMillis, int64_t timezoneOffsetSeconds, int64_t kernelBootTime, int64_t uptime)
        : timeMillis_(timeMillis), timezoneOffsetSeconds_(timezoneOffsetSeconds),
          kernelBootTime_(kernelBootTime), uptime_(uptime) {}

    static RDTCORClock snapshot();
    static RDTCORClock clockSnapshotInTheFuture(int64_t millisInTheFuture);

    bool isAfter(const RDTCORClock& other) const;

    int64_t timeMillis() const { return timeMillis_; }
    int64_t timezoneOffsetSeconds() const { return timezoneOffsetSeconds_; }
    int64_t kernelBootTime() const { return kernelBootTime_; }
    int64_t uptime() const { return uptime_; }

    size_t hash() const;
    bool operator==(const RDTCORClock& o) const = default;
    std::string description() const;

    foundation::Value encodeToArchive() const;
    // Nothing when the value is not an archived clock.
    static std::optional<RDTCORClock> decode(const foundation::Value& v);

  private:
    int64_t timeMillis_ = 0;
    int64_t timezoneOffsetSeconds_ = 0;
    int64_t kernelBootTime_ = 0;
    int64_t uptime_ = 0;
};

// The offset from GMT of the system time zone at 2001-01-01 00:00:00 GMT, in seconds.
int64_t RDTCORTimezoneOffsetAtReferenceDate();
