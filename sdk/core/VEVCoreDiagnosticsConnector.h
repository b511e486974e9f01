#pragma once
// Sends the core-diagnostics record when a configured app becomes active with data collection on.
// For now it only takes note of the request; the record itself is built with the heartbeat and the
// event transport.
#include <cstddef>

#include "sdk/core/VEVOptions.h"

class VEVCoreDiagnosticsConnector {
  public:
    static void logCoreTelemetryWithOptions(const VEVOptionsPtr& options);
    // How many times telemetry was asked for in this process.
    static size_t requestCount();
};
