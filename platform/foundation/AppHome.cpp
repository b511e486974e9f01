#include "platform/foundation/AppHome.h"

#include <cstdlib>
#include <mutex>

#include "platform/foundation/Files.h"

namespace foundation::home {

namespace {
std::mutex m;
std::string cached;

std::string computeRoot() {
    if (const char* h = std::getenv("ZARUVEDEZ_HOME"); h && *h) return h;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/zaruvedez";
    const char* u = std::getenv("HOME");
    return std::string(u && *u ? u : "/tmp") + "/.local/share/zaruvedez";
}
} // namespace

std::string root() {
    std::lock_guard lock(m);
    if (cached.empty()) cached = computeRoot();
    return cached;
}

void reset() {
    std::lock_guard lock(m);
    cached.clear();
}

std::string documents() {
    return root() + "/Documents";
}
std::string library() {
    return root() + "/Library";
}
std::string caches() {
    return library() + "/Caches";
}
std::string applicationSupport() {
    return library() + "/Application Support";
}
std::string preferences() {
    return library() + "/Preferences";
}
std::string photoLibrary() {
    return root() + "/PhotoLibrary";
}
std::string tmp() {
    return root() + "/tmp";
}

void ensureLayout() {
    for (const auto& d : {documents(), caches(), applicationSupport(), preferences(), photoLibrary(), tmp()})
        createDirectories(d);
}

} // namespace foundation::home
