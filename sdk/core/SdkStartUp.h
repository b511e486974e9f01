#pragma once
// The SDK's start-up. Static linking drops unreferenced static initialisers, so the class-load hooks
// of every SDK library are an explicit list here.
#include <vector>

#include "platform/foundation/ClassRegistry.h"

namespace sdk {

// Every library class's load hook, in registration order.
const std::vector<foundation::LoadHooks::Hook>& loadHooks();
// Runs each load hook once per process.
void registerLoadHooks();
// Load hooks, then the default app from the main bundle's options file. Raises on a bad options file.
void startUp();

} // namespace sdk
