#pragma once
// The class-wide state of VEVApp, shared by its source files. Everything here is read and changed
// under `mutex`, which is re-entrant: observers and creation blocks run under it and may call back.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sdk/core/VEVApp.h"

namespace sdk::detail {

struct VEVAppClassState {
    std::recursive_mutex mutex;
    VEVAppPtr defaultApp;
    std::optional<std::map<std::string, VEVAppPtr>> registry;
    std::optional<std::map<std::string, std::string>> libraryTable;
    std::vector<VEVLibraryClass> configureList;
    bool platformEntriesRegistered = false;
};

VEVAppClassState& appClassState();

} // namespace sdk::detail
