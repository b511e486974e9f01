#pragma once
// Named exceptions: misuse raises an exception with a name and a reason. One that nobody catches is
// logged with both before the process ends.
#include <stdexcept>
#include <string>

#include "platform/foundation/Format.h"

namespace foundation {

inline constexpr const char* kInvalidArgumentException = "NSInvalidArgumentException";

class NamedException : public std::runtime_error {
public:
    NamedException(std::string name, std::string reason)
        : std::runtime_error(name + ": " + reason), name_(std::move(name)), reason_(std::move(reason)) {}
    const std::string& name() const { return name_; }
    const std::string& reason() const { return reason_; }

private:
    std::string name_;
    std::string reason_;
};

template <class... Args>
[[noreturn]] void raise(const std::string& name, std::string_view fmt, const Args&... args) {
    throw NamedException(name, format(fmt, args...));
}

// Installs a terminate handler that logs an escaping exception's name and reason.
void installUncaughtExceptionLogger();
// The log line for an exception that ends the process (exposed for tests).
std::string describeUncaught(std::exception_ptr e);

} // namespace foundation
