#include "platform/foundation/CallStack.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace foundation {

namespace {
// "binary(mangled+0x1f) [0x...]" → the same with the name demangled.
std::string demangleLine(const char* line) {
    std::string text(line);
    auto open = text.find('(');
    if (open == std::string::npos) return text;
    auto plus = text.find('+', open);
    if (plus == std::string::npos || plus == open + 1) return text;
    return text.substr(0, open + 1) + demangledName(text.substr(open + 1, plus - open - 1).c_str()) +
           text.substr(plus);
}
} // namespace

// Not inlined, so that the frame left out is always this one.
[[gnu::noinline]] CallStack CallStack::capture() {
    CallStack stack;
    int n = backtrace(stack.frames_.data(), int(stack.frames_.size()));
    if (n > 1) {
        std::copy(stack.frames_.begin() + 1, stack.frames_.begin() + n, stack.frames_.begin());
        stack.count_ = n - 1;
    }
    return stack;
}

std::vector<std::string> CallStack::symbols() const {
    std::vector<std::string> out;
    if (count_ == 0) return out;
    std::unique_ptr<char*, void (*)(void*)> lines(backtrace_symbols(frames_.data(), count_), std::free);
    if (!lines) return out;
    for (int i = 0; i < count_; ++i)
        out.push_back(demangleLine(lines.get()[i]));
    return out;
}

std::string demangledName(const char* mangled) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}

} // namespace foundation
