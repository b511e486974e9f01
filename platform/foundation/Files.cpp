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

// Hands `write` what is left until all is taken, again after an interruption; `write(from, count, done)`
// writes from `from` and answers as write(2) does.
template <class Write> bool writeEvery(const void* bytes, size_t size, Write write) {
    const char* p = static_cast<const char*>(bytes);
    for (size_t done = 0; done < size;) {
        const ssize_t n = write(p + done, size - done, done);
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) errno = EIO; // took nothing and said nothing
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
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

int openForWriting(const std::string& path, mode_t mode) {
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
}

bool writeAll(int fd, const void* bytes, size_t size) {
    return writeEvery(bytes, size,
                      [fd](const char* from, size_t count, size_t) { return ::write(fd, from, count); });
}

bool writeAllAt(int fd, const void* bytes, size_t size, uint64_t offset) {
    return writeEvery(bytes, size, [fd, offset](const char* from, size_t count, size_t done) {
        return ::pwrite(fd, from, count, off_t(offset + done));
    });
}

bool replaceFile(const std::string& path, const void* bytes, size_t size, FileSync sync,
                 std::optional<mode_t> mode) {
    static std::atomic<uint64_t> serial{0};
    const std::string temporary =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++serial);
    const mode_t made = mode.value_or(kNewFileMode);
    int fd = openForWriting(temporary, made);
    if (fd < 0 && errno == ENOENT && !mode && createDirectories(fs::path(path).parent_path().string()))
        fd = openForWriting(temporary, made);
    if (fd < 0) return false;
    // A mode asked for is the file's before its first byte, whatever the umask took from it.
    bool ok = !mode || ::fchmod(fd, *mode) == 0;
    // Unsynced, its blocks are given at once: left to be allocated at write-back, the rename over an
    // existing file would start that write-back itself, a wait of its own on a busy disk.
    if (ok && sync == FileSync::None && size > 0) (void)::fallocate(fd, 0, 0, off_t(size));
    ok = ok && writeAll(fd, bytes, size);
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

bool writeFileAtomically(const std::string& path, const void* bytes, size_t size,
                         std::optional<mode_t> mode) {
    if (!replaceFile(path, bytes, size, FileSync::Data, mode)) return false;
    // The rename is made durable as well as the folder allows; the new content is in place either way.
    (void)syncFolder(parentFolder(path));
    return true;
}

} // namespace foundation
