#pragma once
// The process entry: runs the application's main loop with the delegate class named
// "zurarerizIvaDadadavu" and the storyboard "Main".
#include <functional>

namespace app {

// Load-time registrations of the app (the delegate class, the storyboard, the album the photo library
// takes found photographs back into); runs once per process.
void registerLoadHooks();

int processEntry(int argc, char** argv);

// Runs `body`; an exception escaping it is caught once, its call stack logged with "%@", and thrown again.
// One of another kind than foundation::NamedException has no call stack: its type and message are
// logged first, then the empty stack.
int runLoggingEscapes(const std::function<int()>& body);

} // namespace app
