#include "app/shell/CallStack.h"

#include <cxxabi.h>
#include <execinfo.h>

#include <cstdlib>
#include <memory>

#include "app/shell/ThrowSite.h"

namespace shell {

namespace {
// "binary(mangled+0x1f) [0x...]" → the same with the name demangled.
std::string demangleLine(const char* line) {
    std::string text(line);
    auto open = text.find('('), plus = text.find('+', open == std::string::npos ? 0 : open);
    if (open == std::string::npos || plus == std::string::npos || plus == open + 1) return text;
    std::string mangled = text.substr(open + 1, plus - open - 1);
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(
        abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status), std::free);
    if (status != 0 || !name) return text;
    return text.substr(0, open + 1) + name.get() + text.substr(plus);
}
} // namespace

void recordThrowSites(bool on) {
    detail::throwSiteRecording().store(on);
}

std::vector<std::string> thrownCallStackSymbols() {
    const auto& site = detail::lastThrowSite();
    std::vector<std::string> out;
    if (site.count <= 0) return out;
    std::unique_ptr<char*, void (*)(void*)> symbols(backtrace_symbols(site.frames, site.count), std::free);
    if (!symbols) return out;
    // Frame 0 is the recorder itself.
    for (int i = 1; i < site.count; ++i)
        out.push_back(demangleLine(symbols.get()[i]));
    return out;
}

} // namespace shell
