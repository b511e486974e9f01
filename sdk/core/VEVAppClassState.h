#pragma once
// The class-wide state of VEVApp, shared by its source files. Everything here is read and changed
// under `mutex`; no code of another component runs while it is held (decisions are recorded under it,
// creation, configuration and notifications happen after it is released). It is re-entrant for the
// user agent's once-step, which registers libraries while holding it.
#include <map>
#include <mutex>
#include <optional>
#include <set>
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
    // Names whose configuration has been decided and not yet finished, and apps being deleted: a
    // second configure or delete meanwhile is refused as if the first had finished.
    std::set<std::string> configuring;
    std::set<const VEVApp*> deleting;
};

VEVAppClassState& appClassState();

} // namespace sdk::detail
