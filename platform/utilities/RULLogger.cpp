#include "platform/utilities/RULLogger.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/foundation/Log.h"

namespace {

struct Logger {
    std::mutex mutex; // guards version and the counters; the hot path reads the atomics only
    std::string version;
    int versionRegistrations = 0;
    std::atomic<int> level{RULLoggerLevelNotice};
    std::atomic<bool> debugForced{false};
    std::atomic<bool> stderrEnabled{false};
    std::atomic<bool> initialized{false};
};

Logger& logger() {
    static Logger l;
    return l;
}

} // namespace

void RULLoggerRegisterVersion(std::string_view version) {
    auto& l = logger();
    std::lock_guard lock(l.mutex);
    l.version = std::string(version);
    ++l.versionRegistrations;
}

void RULLoggerInitializeASL() {
    logger().initialized = true;
}

void RULLoggerEnableSTDERR() {
    logger().stderrEnabled = true;
}

void RULLoggerForceDebug() {
    logger().debugForced = true;
}

void RULSetLoggerLevel(int level) {
    logger().level = std::clamp(level, int(RULLoggerLevelError), int(RULLoggerLevelDebug));
}

void RULLogBasic(int level, std::string_view service, bool forceLog, std::string_view code,
                 std::string_view format, RULLogArgs args) {
    auto& l = logger();
    int threshold = l.debugForced ? std::max(l.level.load(), int(RULLoggerLevelDebug)) : l.level.load();
    if (!forceLog && level > threshold) return;
    std::string line;
    line.reserve(service.size() + code.size() + format.size() + 16);
    line.append(service);
    line += '[';
    line.append(code);
    line += "] ";
    line += args.size() == 0 ? std::string(format) : foundation::formatWithArgs(format, args);
    // One call into the sink per message keeps concurrent lines whole.
    foundation::logMessage(line);
}

namespace rul {

LoggerState loggerState() {
    auto& l = logger();
    std::lock_guard lock(l.mutex);
    return {l.version, l.versionRegistrations, l.level, l.debugForced, l.stderrEnabled, l.initialized};
}

void resetLoggerForTesting() {
    auto& l = logger();
    std::lock_guard lock(l.mutex);
    l.version.clear();
    l.versionRegistrations = 0;
    l.level = RULLoggerLevelNotice;
    l.debugForced = false;
    l.stderrEnabled = false;
    l.initialized = false;
}

} // namespace rul
