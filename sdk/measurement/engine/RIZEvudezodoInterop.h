#pragma once
// The measurement engine's service as other SDKs find it through the component registry.
class RIZEvudezodoInterop {
  public:
    static constexpr const char* kProtocolName = "RIZEvudezodoInterop";
    virtual ~RIZEvudezodoInterop() = default;
};
