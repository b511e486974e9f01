// Kept apart from the C++ ABI header, whose declaration of the throw function this file provides.
#include "app/shell/ThrowSite.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <typeinfo>

namespace shell::detail {

namespace {
thread_local ThrowSite site;
}

std::atomic<bool>& throwSiteRecording() {
    static std::atomic<bool> on{false};
    return on;
}

const ThrowSite& lastThrowSite() {
    return site;
}

} // namespace shell::detail

extern "C" {
using ThrowFunction = void (*)(void*, std::type_info*, void (*)(void*));

[[noreturn]] void __cxa_throw(void* thrown, std::type_info* type, void (*destroy)(void*)) {
    static const auto next = reinterpret_cast<ThrowFunction>(dlsym(RTLD_NEXT, "__cxa_throw"));
    if (shell::detail::throwSiteRecording().load(std::memory_order_relaxed)) {
        auto& s = shell::detail::site;
        s.count = backtrace(s.frames, int(sizeof s.frames / sizeof s.frames[0]));
    }
    next(thrown, type, destroy);
    __builtin_unreachable();
}
}
