#include "sdk/core/transport/StoragePayloads.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/foundation/Files.h"

namespace transport {

PayloadBatch::~PayloadBatch() {
    for (const auto& f : files_) {
        ::close(f.fd);
        ::unlink(f.path.c_str());
    }
}

bool PayloadBatch::add(const std::string& path, const foundation::Data& bytes) {
    // No symbolic link is followed out of the folder.
    int fd = foundation::openForWriting(path);
    if (fd < 0) return false;
    if (!foundation::writeAll(fd, bytes.data(), bytes.size())) {
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
