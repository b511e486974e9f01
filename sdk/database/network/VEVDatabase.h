#pragma once
// The realtime database client's class side, as far as the core needs it.
#include <string>

class VEVDatabase {
  public:
    static constexpr const char* kClassName = "VEVDatabase";
    static std::string sdkVersion() { return "6.3.0"; }
    // Makes the class findable by name (other SDK parts ask which services are present).
    static void load();
};
