#pragma once
// Where the transport reads the time and schedules its timers. The system source reads the real
// clocks; tests install one they move by hand, so the time rules need no sleeps.
#include <cstdint>
#include <memory>

#include "platform/foundation/SerialQueue.h"

namespace transport {

class TimerHandle {
  public:
    virtual ~TimerHandle() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

class TimeSource {
  public:
    virtual ~TimeSource() = default;
    // Wall-clock time in microseconds since 1970-01-01 UTC.
    virtual int64_t wallClockMicros() const = 0;
    // The kernel's boot time in microseconds since 1970; 0 when it cannot be read.
    virtual int64_t bootTimeMicros() const = 0;
    // Fires `fire` on `queue` after `intervalSeconds`, again every interval when repeating, until
    // the handle is invalidated. The handle does not have to be kept for the timer to run.
    virtual std::shared_ptr<TimerHandle> scheduleTimer(foundation::QueuePtr queue, double intervalSeconds,
                                                       bool repeats, foundation::Task fire) = 0;

    static std::shared_ptr<TimeSource> shared();
    // Installs another source (tests); null goes back to the system one.
    static void setShared(std::shared_ptr<TimeSource> source);
    static std::shared_ptr<TimeSource> system();
};

} // namespace transport
