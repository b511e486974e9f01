#pragma once
// Where an exception came from: our own exceptions note their call stack when they are raised, so the
// process entry can log it for one that escapes the main loop.
#include <exception>
#include <string>
#include <vector>

namespace shell {

// The call stack where the exception was raised, innermost first; empty for an exception of another
// kind than foundation::NamedException, which carries none.
std::vector<std::string> callStackSymbols(const std::exception_ptr& e);

} // namespace shell
