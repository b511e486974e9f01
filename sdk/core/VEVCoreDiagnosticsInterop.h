#pragma once
// What the connector asks of the class it finds at run time under the name "VEVCoreDiagnostics": its
// class operation that takes a diagnostics data object. Found by name so the connector works (and
// does nothing) in a program without core diagnostics.
#include <functional>

#include "sdk/core/VEVCoreDiagnosticsData.h"

inline constexpr const char* kVEVCoreDiagnosticsClassName = "VEVCoreDiagnostics";

struct VEVCoreDiagnosticsInterop {
    std::function<void(const VEVCoreDiagnosticsDataPtr& data)> sendDiagnosticsData;
};
