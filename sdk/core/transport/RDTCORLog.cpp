#include "sdk/core/transport/RDTCORLog.h"

#include "platform/foundation/Log.h"

void RDTCORLogMessage(long code, RDTCORLoggingLevel level, std::string_view message) {
    if (level < kRDTCORPrintThreshold) return;
    std::string line = foundation::format("[RuvaraDataTransport][I-RDTCOR%06ld] ", code);
    line.append(message);
    foundation::logMessage(line);
}
