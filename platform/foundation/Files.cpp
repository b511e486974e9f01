#include "platform/foundation/Files.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace fs = std::filesystem;

namespace {
std::string parentFolder(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? "." : parent.string();
}
} // namespace

std::optional<Data> readFile(const std::string& path) {
    return readFile(path, SIZE_MAX);
}

std::optional<Data> readFile(const std::string& path, size_t maxBytes) {
    // A read error (a folder where the file should be, an I/O fault) is no file, not an empty one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    Data d;
    char buf[16384];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        if (size_t(n) > maxBytes - d.size()) {
            ok = false;
            break;
        }
        d.insert(d.end(), buf, buf + n);
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    return d;
}

std::optional<std::string> readTextFile(const std::string& path) {
    auto d = readFile(path);
    if (!d) return std::nullopt;
    return std::string(d->begin(), d->end());
}

bool createDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

bool replaceFile(const std::string& path, const void* bytes, size_t size, FileSync sync) {
    static std::atomic<uint64_t> serial{0};
    const std::string temporary =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(temporary.c_str(), flags, 0644);
    if (fd < 0 && errno == ENOENT && createDirectories(fs::path(path).parent_path().string()))
        fd = ::open(temporary.c_str(), flags, 0644);
    if (fd < 0) return false;
    // Unsynced, its blocks are given at once: left to be allocated at write-back, the rename over an
    // existing file would start that write-back itself, a wait of its own on a busy disk.
    if (sync == FileSync::None && size > 0) (void)::fallocate(fd, 0, 0, off_t(size));
    const char* p = static_cast<const char*>(bytes);
    bool ok = true;
    for (size_t left = size; ok && left > 0;) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) {
            p += n;
            left -= size_t(n);
        }
    }
    if (ok && sync != FileSync::None) ok = ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int cause = errno; // kept for the caller: the clean-up must not replace it
        ::unlink(temporary.c_str());
        errno = cause;
        return false;
    }
    if (sync != FileSync::DataAndFolder) return true;
    return syncFolder(parentFolder(path));
}

bool syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool writeFileAtomically(const std::string& path, const void* bytes, size_t size) {
    if (!replaceFile(path, bytes, size, FileSync::Data)) return false;
    // The rename is made durable as well as the folder allows; the new content is in place either way.
    (void)syncFolder(parentFolder(path));
    return true;
}

} // namespace foundation
