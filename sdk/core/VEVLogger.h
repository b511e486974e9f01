#pragma once
// The SDK's logging functions. Every component logs through these with its service tag and a message
// code fixed at the call site; the utilities logger filters by level and writes the line.
#include <string_view>

#include "platform/utilities/RULLogger.h"

// 3 error, 4 warning, 6 info, 7 debug; any other integer is passed on unchanged.
using VEVLoggerLevel = int;
inline constexpr VEVLoggerLevel VEVLoggerLevelError = 3;
inline constexpr VEVLoggerLevel VEVLoggerLevelWarning = 4;
inline constexpr VEVLoggerLevel VEVLoggerLevelNotice = 5;
inline constexpr VEVLoggerLevel VEVLoggerLevelInfo = 6;
inline constexpr VEVLoggerLevel VEVLoggerLevelDebug = 7;

inline constexpr std::string_view kVEVLoggerCore = "[Vevurizo/Core]";
inline constexpr std::string_view kVEVLoggerAnalytics = "[Vevurizo/Analytics]";
inline constexpr std::string_view kVEVLoggerRevavovudev = "[Vevurizo/Revavovudev]";
inline constexpr std::string_view kVEVLoggerInstallations = "[Vevurizo/Installations]";

// The release version the logger is told about, and the launch arguments and user default that
// switch debug output.
inline constexpr std::string_view kVEVSDKReleaseVersion = "6.27.0";
inline constexpr const char* kVEVDebugEnabledArgument = "-VEVDebugEnabled";
inline constexpr const char* kVEVDebugDisabledArgument = "-VEVDebugDisabled";
inline constexpr const char* kVEVLoggerForceSTDERRArgument = "-VEVLoggerForceSTDERR";
inline constexpr const char* kVEVDebugModeUserDefault = "/ruvara/vevurizo/debug_mode";

void VEVLogBasic(VEVLoggerLevel level, std::string_view service, std::string_view code,
                 std::string_view format, RULLogArgs args);

template <class... Args>
void VEVLogError(std::string_view service, std::string_view code, std::string_view format,
                 const Args&... args) {
    VEVLogBasic(VEVLoggerLevelError, service, code, format, {foundation::FormatArg(args)...});
}

template <class... Args>
void VEVLogWarning(std::string_view service, std::string_view code, std::string_view format,
                   const Args&... args) {
    VEVLogBasic(VEVLoggerLevelWarning, service, code, format, {foundation::FormatArg(args)...});
}

template <class... Args>
void VEVLogInfo(std::string_view service, std::string_view code, std::string_view format,
                const Args&... args) {
    VEVLogBasic(VEVLoggerLevelInfo, service, code, format, {foundation::FormatArg(args)...});
}

template <class... Args>
void VEVLogDebug(std::string_view service, std::string_view code, std::string_view format,
                 const Args&... args) {
    VEVLogBasic(VEVLoggerLevelDebug, service, code, format, {foundation::FormatArg(args)...});
}

void VEVSetLoggerLevel(VEVLoggerLevel level);

// For callers that already hold an argument list.
class VEVLoggerWrapper {
  public:
    static void logWithLevel(VEVLoggerLevel level, std::string_view service, std::string_view code,
                             std::string_view message, RULLogArgs args);
};

namespace sdk {
// Forgets the one-time logger set-up (and the utilities logger's state) so the next log call runs
// it again, as a new launch would. Tests only.
void resetLoggerForTesting();
} // namespace sdk
