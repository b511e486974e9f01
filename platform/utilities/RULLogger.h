#pragma once
// The utilities layer's logger. Every line carries the service tag and the message code in front of
// the text ("[Vevurizo/Core][I-COR000001] text") and goes through the one log sink, which writes
// standard error. A line is printed when its level passes the current level (default: notice, so
// errors and warnings print, info and debug do not), when debug is forced, or when the caller forces it.
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/foundation/Format.h"

// syslog-style levels: a lower number is more severe.
enum RULLoggerLevel : int {
    RULLoggerLevelError = 3,
    RULLoggerLevelWarning = 4,
    RULLoggerLevelNotice = 5,
    RULLoggerLevelInfo = 6,
    RULLoggerLevelDebug = 7,
};

// The arguments of a message, captured by type (no va_list).
using RULLogArgs = std::initializer_list<foundation::FormatArg>;

void RULLoggerRegisterVersion(std::string_view version);
// Output always goes through the one sink (standard error); these two record that the caller asked.
void RULLoggerInitializeASL();
void RULLoggerEnableSTDERR();
// Lets debug lines through whatever the level.
void RULLoggerForceDebug();
// Levels outside error…debug are clamped, so errors can never be silenced.
void RULSetLoggerLevel(int level);
// A format given no arguments is printed literally.
void RULLogBasic(int level, std::string_view service, bool forceLog, std::string_view code,
                 std::string_view format, RULLogArgs args);

namespace rul {

struct LoggerState {
    std::string version;
    int versionRegistrations = 0;
    int level = RULLoggerLevelNotice;
    bool debugForced = false;
    bool stderrEnabled = false;
    bool initialized = false;
};

LoggerState loggerState();
// Back to the state of a fresh process (tests re-run the callers' one-time set-up).
void resetLoggerForTesting();

} // namespace rul
