#include "sdk/core/transport/StorageJournal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/ArchiveCodec.h"

namespace transport {

StorageJournal::StorageJournal(std::string path) : path_(std::move(path)) {}

StorageJournal::~StorageJournal() {
    if (fd_ >= 0) ::close(fd_);
}

bool StorageJournal::open() {
    if (fd_ >= 0) return true;
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    struct stat st;
    if (::fstat(fd_, &st) != 0) {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    size_ = uint64_t(st.st_size);
    return true;
}

std::vector<foundation::Value> StorageJournal::readAll(bool* damagedTail) {
    std::vector<foundation::Value> records;
    if (damagedTail) *damagedTail = false;
    auto bytes =
        foundation::fileExists(path_) ? foundation::readFile(path_) : std::optional<foundation::Data>();
    if (!bytes) return records;
    size_t offset = 0;
    while (offset < bytes->size()) {
        auto v = codec::parseRecord(*bytes, offset);
        if (!v) {
            if (damagedTail) *damagedTail = true;
            break;
        }
        records.push_back(std::move(*v));
    }
    return records;
}

bool StorageJournal::append(const foundation::Data& records) {
    if (records.empty()) return true;
    if (broken_ || !open()) return false;
    // Writes land at our own idea of the end, so a cut-back after a failure is exact.
    const uint64_t start = size_;
    size_t done = 0;
    bool ok = true;
    while (done < records.size()) {
        ssize_t n = ::pwrite(fd_, records.data() + done, records.size() - done, off_t(start + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += size_t(n);
    }
    ok = ok && ::fdatasync(fd_) == 0;
    if (!ok) {
        if (::ftruncate(fd_, off_t(start)) != 0 || ::fdatasync(fd_) != 0) broken_ = true;
        return false;
    }
    size_ = start + records.size();
    return true;
}

bool StorageJournal::reset() {
    if (!open()) return false;
    if (::ftruncate(fd_, 0) != 0) {
        broken_ = true;
        return false;
    }
    ::fdatasync(fd_);
    size_ = 0;
    broken_ = false;
    return true;
}

} // namespace transport
