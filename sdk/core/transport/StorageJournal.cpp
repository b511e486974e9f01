#include "sdk/core/transport/StorageJournal.h"

#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/ArchiveCodec.h"

namespace transport {

namespace {

using foundation::Data;

constexpr uint8_t kHeader[StorageJournal::kHeaderSize] = {'R', 'D', 'T', 'J', 1, 0, 0, 0};
constexpr size_t kRecordHead = 8;
// No record of ours comes near this: a larger length is damage, not a record to wait for.
constexpr uint32_t kLargestRecord = 256u << 20;

uint32_t getU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Fills in the head of the record at `headAt`, whose body (kind byte first) runs to the end of `out`.
void frameRecord(Data& out, size_t headAt) {
    const size_t bodyStart = headAt + kRecordHead;
    const size_t length = out.size() - bodyStart;
    uint32_t crc = codec::crc32(out.data() + bodyStart, length);
    for (int i = 0; i < 4; ++i) {
        out[headAt + size_t(i)] = uint8_t(length >> (8 * i));
        out[headAt + 4 + size_t(i)] = uint8_t(crc >> (8 * i));
    }
}

} // namespace

StorageJournal::StorageJournal(std::string path) : path_(std::move(path)) {}

StorageJournal::~StorageJournal() {
    if (fd_ >= 0) ::close(fd_);
}

JournalContents StorageJournal::read(const std::string& path) {
    JournalContents out;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return out; // none yet
    if (!S_ISREG(st.st_mode)) {
        out.problem = "it is not a file";
        out.readable = false;
        return out;
    }
    auto bytes = foundation::readFile(path);
    if (!bytes) {
        out.problem = "it could not be read";
        out.readable = false;
        return out;
    }
    const Data& b = *bytes;
    if (b.empty()) return out; // created, cut off before its header
    if (b.size() < kHeaderSize || std::memcmp(b.data(), kHeader, kHeaderSize) != 0) {
        out.droppedBytes = b.size();
        out.problem = "it is not a journal of this storage";
        return out;
    }
    size_t at = kHeaderSize;
    while (at < b.size()) {
        std::string why;
        if (b.size() - at < kRecordHead) {
            why = "a record is cut short";
        } else {
            uint32_t length = getU32(b.data() + at);
            uint32_t crc = getU32(b.data() + at + 4);
            const uint8_t* body = b.data() + at + kRecordHead;
            if (length < 2 || length > kLargestRecord || length > b.size() - at - kRecordHead)
                why = "a record is cut short";
            else if (codec::crc32(body, length) != crc)
                why = "a record fails its checksum";
            else if (body[0] != uint8_t(JournalRecord::Kind::Store) &&
                     body[0] != uint8_t(JournalRecord::Kind::Removal))
                why = "a record is of no known kind";
            else if (auto value = codec::decodeValue(body + 1, length - 1, &why)) {
                out.records.push_back({JournalRecord::Kind(body[0]), std::move(*value)});
                at += kRecordHead + length;
                continue;
            } else {
                why = "a record does not decode (" + why + ")";
            }
        }
        out.droppedBytes = b.size() - at;
        out.problem = why;
        break;
    }
    out.validBytes = at;
    return out;
}

bool StorageJournal::open(uint64_t validBytes) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    struct stat st;
    if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd_);
        fd_ = -1;
    }
    if (fd_ < 0) return false;
    broken_ = false;
    if (validBytes < kHeaderSize) {
        // New, or not ours: start it afresh, and make its name durable with it.
        bool ok = ::ftruncate(fd_, 0) == 0 && foundation::writeAllAt(fd_, kHeader, kHeaderSize, 0) &&
                  ::fsync(fd_) == 0 &&
                  foundation::syncFolder(std::filesystem::path(path_).parent_path().string());
        size_ = kHeaderSize;
        broken_ = !ok;
        return ok;
    }
    size_ = validBytes;
    if (uint64_t(st.st_size) != validBytes) broken_ = !truncateTo(validBytes);
    return !broken_;
}

bool StorageJournal::truncateTo(uint64_t size) {
    return ::ftruncate(fd_, off_t(size)) == 0 && ::fdatasync(fd_) == 0;
}

bool StorageJournal::append(const Data& records) {
    if (!isUsable()) return false;
    if (records.empty()) return true;
    if (foundation::writeAllAt(fd_, records.data(), records.size(), size_) && ::fdatasync(fd_) == 0) {
        size_ += records.size();
        return true;
    }
    // Later records must follow the last whole one, not half of this batch.
    broken_ = !truncateTo(size_);
    return false;
}

bool StorageJournal::reset() {
    if (fd_ < 0) return false;
    if (size_ == kHeaderSize && !broken_) return true;
    // The header is written again too: after a failed start it may never have reached the file.
    bool ok = ::ftruncate(fd_, 0) == 0 && foundation::writeAllAt(fd_, kHeader, kHeaderSize, 0) &&
              ::fdatasync(fd_) == 0;
    size_ = kHeaderSize;
    broken_ = !ok;
    return ok;
}

void StorageJournal::appendStoreRecord(Data& out, const Data& encodedStoredEvent) {
    size_t headAt = out.size();
    out.resize(headAt + kRecordHead);
    out.push_back(uint8_t(JournalRecord::Kind::Store));
    out.insert(out.end(), encodedStoredEvent.begin(), encodedStoredEvent.end());
    frameRecord(out, headAt);
}

void StorageJournal::appendRemovalRecord(Data& out, const std::set<uint64_t>& eventIDs) {
    foundation::Array ids;
    for (uint64_t id : eventIDs)
        ids.emplace_back(int64_t(id));
    size_t headAt = out.size();
    out.resize(headAt + kRecordHead);
    out.push_back(uint8_t(JournalRecord::Kind::Removal));
    codec::appendValue(out, foundation::Value(std::move(ids)));
    frameRecord(out, headAt);
}

} // namespace transport
