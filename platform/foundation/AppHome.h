#pragma once
// The app's home: every file the program writes lives under it (ZARUVEDEZ_HOME, default
// $XDG_DATA_HOME/zaruvedez), laid out like the tablet's sandbox.
#include <string>

namespace foundation::home {

std::string root();
std::string documents();
std::string library();
std::string caches();
std::string applicationSupport();
std::string preferences();
std::string photoLibrary();
std::string tmp();

// Creates the folders; called at start. Idempotent.
void ensureLayout();
// Re-reads ZARUVEDEZ_HOME (tests switch homes between cases).
void reset();

} // namespace foundation::home
