#include "sdk/core/transport/StoragePayloads.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace transport {

PayloadBatch::~PayloadBatch() {
    for (const auto& f : files_) {
        ::close(f.fd);
        ::unlink(f.path.c_str());
    }
}

bool PayloadBatch::add(const std::string& path, const foundation::Data& bytes) {
    // No symbolic link is followed out of the folder.
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return false;
    const uint8_t* p = bytes.data();
    bool ok = true;
    for (size_t left = bytes.size(); ok && left > 0;) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) {
            p += n;
            left -= size_t(n);
        }
    }
    if (!ok) {
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    // Only a hint (the sync below is what counts): the disk starts on this file while the next is
    // written.
    (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    files_.push_back({path, fd});
    return true;
}

std::vector<bool> PayloadBatch::sync() {
    std::vector<bool> synced;
    synced.reserve(files_.size());
    for (const auto& f : files_) {
        bool ok = ::fdatasync(f.fd) == 0;
        ok = ::close(f.fd) == 0 && ok;
        if (!ok) ::unlink(f.path.c_str());
        synced.push_back(ok);
    }
    files_.clear();
    return synced;
}

} // namespace transport
