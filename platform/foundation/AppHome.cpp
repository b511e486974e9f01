#include "platform/foundation/AppHome.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"

namespace foundation::home {

namespace {
std::mutex m;
std::string cached;
bool known = false;
std::function<int(const std::string&)> writeCheck;

std::string computeRoot() {
    if (const char* h = std::getenv("ZARUVEDEZ_HOME"); h && *h) return h;
    if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) return std::string(x) + "/zaruvedez";
    if (const char* u = std::getenv("HOME"); u && *u) return std::string(u) + "/.local/share/zaruvedez";
    return {};
}

std::string below(const std::string& sub) {
    std::string r = root();
    return r.empty() ? r : r + sub;
}

// Creates the folder and its parents; 0 or the error number of what failed.
int makeFolder(const std::string& path) {
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return errno;
        if (slash == std::string::npos) break;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

// Writes a small file into the folder and removes it: a read-only or full disk answers here.
int tryWriting(const std::string& folder) {
    const std::string probe = folder + "/.write-check-" + std::to_string(::getpid());
    int fd = openForWriting(probe, 0600);
    if (fd < 0) return errno;
    int error = 0;
    if (!writeAll(fd, "z", 1)) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    ::unlink(probe.c_str());
    return error;
}
} // namespace

std::string root() {
    std::lock_guard lock(m);
    if (!known) {
        cached = computeRoot();
        known = true;
    }
    return cached;
}

void reset() {
    std::lock_guard lock(m);
    cached.clear();
    known = false;
}

void setWriteCheckForTesting(std::function<int(const std::string& folder)> check) {
    std::lock_guard lock(m);
    writeCheck = std::move(check);
}

std::string documents() {
    return below("/Documents");
}
std::string library() {
    return below("/Library");
}
std::string caches() {
    return below("/Library/Caches");
}
std::string applicationSupport() {
    return below("/Library/Application Support");
}
std::string preferences() {
    return below("/Library/Preferences");
}
std::string photoLibrary() {
    return below("/PhotoLibrary");
}
std::string tmp() {
    return below("/tmp");
}

std::optional<Problem> ensureLayout() {
    if (root().empty()) return Problem{};
    std::function<int(const std::string&)> check;
    {
        std::lock_guard lock(m);
        check = writeCheck;
    }
    for (const auto& d :
         {documents(), caches(), applicationSupport(), preferences(), photoLibrary(), tmp()}) {
        if (int error = makeFolder(d)) return Problem{d, error};
        if (int error = check ? check(d) : tryWriting(d)) return Problem{d, error};
    }
    return std::nullopt;
}

} // namespace foundation::home
