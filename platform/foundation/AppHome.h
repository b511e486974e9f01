#pragma once
// The app's home: every file the program writes lives under it (ZARUVEDEZ_HOME, default
// $XDG_DATA_HOME/zaruvedez, else $HOME/.local/share/zaruvedez), laid out like the tablet's sandbox.
// Without any of those there is no home: the program does not start then, rather than writing into
// a folder of the shared temporary folder that another local user could have made first.
#include <functional>
#include <optional>
#include <string>

namespace foundation::home {

// Empty when there is no home; so are the folders below it, so nothing is written at the top of the
// file system by mistake.
std::string root();
std::string documents();
std::string library();
std::string caches();
std::string applicationSupport();
std::string preferences();
std::string photoLibrary();
std::string tmp();

// Why the home cannot be used: the folder concerned and the system's error number (none when there is
// no home at all).
struct Problem {
    std::string folder;
    int error = 0;
    bool noHome() const { return folder.empty(); }
};

// Creates the folders and makes sure each can be written to; the first problem met, if any.
// Idempotent; called at start.
std::optional<Problem> ensureLayout();
// Re-reads ZARUVEDEZ_HOME (tests switch homes between cases).
void reset();
// Tests: how a folder is tried for writing (an error number, 0 when it can be written). Null goes
// back to writing and removing a small file.
void setWriteCheckForTesting(std::function<int(const std::string& folder)> check);

} // namespace foundation::home
