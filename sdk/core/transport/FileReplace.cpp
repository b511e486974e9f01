#include "sdk/core/transport/FileReplace.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "platform/foundation/Files.h"

namespace transport {

bool replaceFile(const std::string& path, const void* bytes, size_t size, FileSync sync) {
    static std::atomic<uint64_t> serial{0};
    const std::string temporary =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(temporary.c_str(), flags, 0644);
    if (fd < 0 && errno == ENOENT && foundation::createDirectories(std::filesystem::path(path).parent_path()))
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
        ::unlink(temporary.c_str());
        return false;
    }
    if (sync != FileSync::DataAndFolder) return true;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return syncFolder(parent.empty() ? "." : parent.string());
}

bool syncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace transport
