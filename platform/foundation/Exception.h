#pragma once
// Named exceptions: misuse raises an exception with a name and a reason, and the call stack where it was
// raised (by the time it is caught, the stack that raised it is gone). One that nobody catches is logged
// with its name and reason before the process ends.
#include <exception>
#include <stdexcept>
#include <string>

#include "platform/foundation/CallStack.h"
#include "platform/foundation/Format.h"

namespace foundation {

inline constexpr const char* kInvalidArgumentException = "NSInvalidArgumentException";

class NamedException : public std::runtime_error {
  public:
    NamedException(std::string name, std::string reason);
    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }
    const CallStack& callStack() const { return callStack_; }
    std::vector<std::string> callStackSymbols() const { return callStack_.symbols(); }

  private:
    std::string name_;
    std::string reason_;
    CallStack callStack_;
};

template <class... Args>
[[noreturn]] void raise(const std::string& name, std::string_view fmt, const Args&... args) {
    throw NamedException(name, format(fmt, args...));
}

// What can be said of any exception: a named one's name and reason; another std::exception's type name
// and what(); for anything else its type name and an empty reason.
struct ExceptionSummary {
    std::string name;
    std::string reason;
    bool named = false;
};
ExceptionSummary summarize(const std::exception_ptr& e);

// Installs a terminate handler that logs an escaping exception's name and reason.
void installUncaughtExceptionLogger();
// The log line for an exception that ends the process (exposed for tests).
std::string describeUncaught(std::exception_ptr e);

} // namespace foundation
