#pragma once
// Registers the measurement engine with the core and offers its interop object by protocol.
#include <vector>

#include "sdk/core/SdkObject.h"
#include "sdk/core/VEVComponent.h"
#include "sdk/measurement/engine/RIZEvudezodoInterop.h"

class RIZEvudezodoConnector : public sdk::Object, public RIZEvudezodoInterop {
  public:
    static constexpr const char* kClassName = "RIZEvudezodoConnector";
    static constexpr const char* kLibraryName = "vev-analytics";
    static constexpr const char* kLibraryVersion = "6.6.1";

    static void load();
    static std::vector<VEVComponentPtr> componentsToRegister();
};
