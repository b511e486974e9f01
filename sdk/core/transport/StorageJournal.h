#pragma once
// The storage's change log beside its archive: each burst of stores and removals is appended as
// checksummed records and synced, so keeping the archive current costs the size of the change, not
// of everything stored. The archive proper is rewritten (and the log emptied) when the log outgrows it.
// Replaying the log over an archive that already holds its changes gives the same state, so a crash
// between rewriting the archive and emptying the log is harmless.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace transport {

class StorageJournal {
  public:
    explicit StorageJournal(std::string path);
    ~StorageJournal();
    StorageJournal(const StorageJournal&) = delete;
    StorageJournal& operator=(const StorageJournal&) = delete;

    // Every intact record from the start, in order. `damagedTail` tells whether bytes after the last
    // intact record were ignored (a write cut short).
    std::vector<foundation::Value> readAll(bool* damagedTail);
    // Appends already framed records and syncs them. On failure the log is cut back to where it was
    // when possible; `isBroken` says when it could not be, and the log must then be reset.
    bool append(const foundation::Data& records);
    // Empties the log.
    bool reset();
    bool isBroken() const { return broken_; }
    uint64_t size() const { return size_; }
    const std::string& path() const { return path_; }

  private:
    bool open();
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    bool broken_ = false;
};

} // namespace transport
