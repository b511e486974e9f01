#pragma once
#include <string_view>

// The core library's version: the "vev-ios" entry of the user agent and the source of the library
// version ID of every options object.
inline constexpr std::string_view kVEVCoreVersion = "6.8.0";
