#include "sdk/core/VEVCoreDiagnosticsConnector.h"

#include <atomic>

namespace {
std::atomic<size_t> requests{0};
}

void VEVCoreDiagnosticsConnector::logCoreTelemetryWithOptions(const VEVOptionsPtr&) {
    ++requests;
}

size_t VEVCoreDiagnosticsConnector::requestCount() {
    return requests;
}
