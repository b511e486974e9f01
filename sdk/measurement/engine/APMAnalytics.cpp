#include "sdk/measurement/engine/APMAnalytics.h"

#include "sdk/core/VEVLogger.h"

namespace {
std::mutex mutex;
std::optional<APMAnalytics::Start> last;
size_t starts = 0;
} // namespace

void APMAnalytics::startWithAppID(const std::string& appID, const std::string& origin,
                                  const APMStartOptions& options) {
    {
        std::lock_guard lock(mutex);
        last = Start{appID, origin, options};
        ++starts;
    }
    VEVLogInfo(kVEVLoggerAnalytics, "I-RIZ000001", "Measurement engine started for app %@ (origin %@)", appID,
               origin);
}

std::optional<APMAnalytics::Start> APMAnalytics::lastStart() {
    std::lock_guard lock(mutex);
    return last;
}

size_t APMAnalytics::startCount() {
    std::lock_guard lock(mutex);
    return starts;
}
