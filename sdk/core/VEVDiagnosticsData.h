#pragma once
// The diagnostics data object of the core's connector: a mutable dictionary of diagnostic objects,
// with the app count, the data-collection switch and the user agent filled in when asked for.
#include <mutex>
#include <optional>
#include <string>

#include "sdk/core/VEVCoreDiagnosticsData.h"

class VEVDiagnosticsData : public VEVCoreDiagnosticsData {
  public:
    // A missing key is ignored; a null value removes the entry.
    void insertValue(foundation::Value value, const std::optional<std::string>& key);
    // The entries, with any of "VEVCDllAppsCountKey", "VEVCDIsDataCollectionDefaultEnabledKey" and
    // "VEVCDVevurizoUserAgentKey" that are missing filled from the configured apps.
    foundation::Dictionary diagnosticObjects() override;

  private:
    // Built on the configuring thread, read on the diagnostics queue.
    std::mutex mutex_;
    foundation::Dictionary objects_;
};
