#pragma once
// Sends the core-diagnostics record when a configured app becomes active with data collection on:
// fills a diagnostics data object with the facts of the app's options and hands it to the class
// registered as "VEVCoreDiagnostics", which it looks up once. Without that class it does nothing.
#include <cstddef>

#include "sdk/core/VEVOptions.h"

class VEVCoreDiagnosticsConnector {
  public:
    static void logCoreTelemetryWithOptions(const VEVOptionsPtr& options);
    // How many times telemetry was asked for in this process.
    static size_t requestCount();
    // Forgets the class found at first use, so the next request looks it up again (tests).
    static void resetClassLookupForTesting();
};
