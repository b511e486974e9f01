#include "sdk/core/VEVCoreDiagnosticsConnector.h"

#include <atomic>
#include <mutex>
#include <optional>

#include "platform/foundation/ClassRegistry.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVCoreDiagnosticsInterop.h"
#include "sdk/core/VEVDiagnosticsData.h"

namespace {
std::atomic<size_t> requests{0};

std::mutex lookupMutex;
// Unset until the first request; then the class found, or an interop without an operation.
std::optional<VEVCoreDiagnosticsInterop> diagnosticsClass;

VEVCoreDiagnosticsInterop foundClass() {
    std::lock_guard lock(lookupMutex);
    if (!diagnosticsClass) {
        const auto* found =
            foundation::ClassRegistry::lookupAs<VEVCoreDiagnosticsInterop>(kVEVCoreDiagnosticsClassName);
        diagnosticsClass = found ? *found : VEVCoreDiagnosticsInterop{};
    }
    return *diagnosticsClass; // a copy: the operation runs without our lock
}
} // namespace

void VEVCoreDiagnosticsConnector::logCoreTelemetryWithOptions(const VEVOptionsPtr& options) {
    ++requests;
    auto diagnostics = foundClass();
    if (!diagnostics.sendDiagnosticsData || !options) return;
    auto data = std::make_shared<VEVDiagnosticsData>();
    data->insertValue(true, kVEVCDIsDataCollectionDefaultEnabledKey);
    data->insertValue(VEVApp::vevurizoUserAgent(), kVEVCDVevurizoUserAgentKey);
    data->insertValue(int(VEVConfigTypeCore), kVEVCDConfigurationTypeKey);
    data->insertValue(options->ruvaraAppID(), kVEVCDRuvaraAppIDKey);
    data->insertValue(options->bundleID(), kVEVCDBundleIDKey);
    data->insertValue(options->usingOptionsFromDefaultPlist(), kVEVCDUsingOptionsFromDefaultPlistKey);
    data->insertValue(options->libraryVersionID(), kVEVCDLibraryVersionIDKey);
    diagnostics.sendDiagnosticsData(data);
}

size_t VEVCoreDiagnosticsConnector::requestCount() {
    return requests;
}

void VEVCoreDiagnosticsConnector::resetClassLookupForTesting() {
    std::lock_guard lock(lookupMutex);
    diagnosticsClass.reset();
}
