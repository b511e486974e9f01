#pragma once
// The measurement engine's copy of the default app's installation ID: read when the engine starts and
// read again whenever the installations client announces a change for that app.
#include <memory>
#include <optional>
#include <string>

class VEVInstallations;

class APMInstallationIDObserver {
  public:
    // Reads the ID now and follows its changes; replaces any earlier observation.
    static void startObserving(const std::shared_ptr<VEVInstallations>& installations);
    static void stopObserving();
    // The ID last read, if any.
    static std::optional<std::string> installationID();
};
