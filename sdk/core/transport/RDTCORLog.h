#pragma once
// The transport's log line: "[RuvaraDataTransport][I-RDTCOR<code>] message", printed only from
// level 4 (warnings) up; debug lines cost nothing.
#include <string_view>

#include "platform/foundation/Format.h"

using RDTCORLoggingLevel = int;
inline constexpr RDTCORLoggingLevel RDTCORLoggingLevelDebug = 1;
inline constexpr RDTCORLoggingLevel RDTCORLoggingLevelInfo = 2;
inline constexpr RDTCORLoggingLevel RDTCORLoggingLevelNotice = 3;
inline constexpr RDTCORLoggingLevel RDTCORLoggingLevelWarnings = 4;
inline constexpr RDTCORLoggingLevel RDTCORLoggingLevelErrors = 5;

// Message codes of the transport's warnings.
inline constexpr long RDTCORLogCodeDebug = 0;
inline constexpr long RDTCORLogCodeUpload = 2;
inline constexpr long RDTCORLogCodeReachability = 4;
inline constexpr long RDTCORLogCodeReadExtensionBytes = 6;
inline constexpr long RDTCORLogCodeTransformerWithoutTransform = 1000;
inline constexpr long RDTCORLogCodeEventNotSaved = 1002;
inline constexpr long RDTCORLogCodeNoPrioritizer = 1003;
inline constexpr long RDTCORLogCodeCompletedTwice = 1004;
inline constexpr long RDTCORLogCodeDiagnosticsEncoding = 1005;
inline constexpr long RDTCORLogCodeEncoding = 1006;
// Damaged or unreadable files of the transport (archive, counter, payloads): read as absent.
inline constexpr long RDTCORLogCodeUnreadableFile = 1007;
inline constexpr long RDTCORLogCodeEventWithoutFileURL = 1008;

inline constexpr RDTCORLoggingLevel kRDTCORPrintThreshold = RDTCORLoggingLevelWarnings;

// Writes the line for an already formatted message (level filtering included).
void RDTCORLogMessage(long code, RDTCORLoggingLevel level, std::string_view message);

template <class... Args>
void RDTCORLog(long code, RDTCORLoggingLevel level, std::string_view fmt, const Args&... args) {
    if (level < kRDTCORPrintThreshold) return;
    RDTCORLogMessage(code, level, foundation::format(fmt, args...));
}

template <class... Args> void RDTCORLogDebug(std::string_view fmt, const Args&... args) {
    RDTCORLog(RDTCORLogCodeDebug, RDTCORLoggingLevelDebug, fmt, args...);
}

template <class... Args> void RDTCORLogWarning(long code, std::string_view fmt, const Args&... args) {
    RDTCORLog(code, RDTCORLoggingLevelWarnings, fmt, args...);
}
