#pragma once
// Where an exception came from: while recording is on, every throw notes the thrower's call stack,
// so the process entry can log it for an exception that escapes the main loop.
#include <string>
#include <vector>

namespace shell {

// Turns recording on or off for the whole process (off by default: a throw then costs nothing more).
void recordThrowSites(bool on);
// The call stack of the last exception thrown on this thread while recording, innermost first; empty
// when none was recorded.
std::vector<std::string> thrownCallStackSymbols();

} // namespace shell
