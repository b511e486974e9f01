#pragma once
// The SDK's start-up. Static linking drops unreferenced static initialisers, so the class-load hooks
// of every SDK library are an explicit list here.
#include <vector>

#include "platform/foundation/ClassRegistry.h"

namespace sdk {

// Every library class's load hook, in registration order.
const std::vector<foundation::LoadHooks::Hook>& loadHooks();
// Runs each load hook once per process, and adds the SDK's steps to the way out of the process
// (foundation::ExitSteps): first the event transport terminates (uploads given up, timers stopped,
// what it keeps written), then every queue finishes, within the steps' bound.
void registerLoadHooks();
// Load hooks, then the default app from the main bundle's options file. Raises on a bad options file.
void startUp();

} // namespace sdk
