#pragma once
// The storage's journal: the stores and removals made since the archive was last written, appended
// as checksummed records, each batch made durable with one sync. The archive stays the snapshot; a
// start replays the journal over it. An append cut short by a crash can only damage the end, so a
// damaged record ends the journal: the records before it are kept, it and anything after it dropped.
//
//   file:   "RDTJ", version 1, three zero bytes, then records
//   record: body length (u32 LE), CRC-32 of the body (u32 LE), body = kind byte + one archive value
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace transport {

struct JournalRecord {
    enum class Kind : uint8_t { Store = 'S', Removal = 'R' };
    Kind kind;
    // Store: the stored event as the archive holds it; Removal: an array of event IDs.
    foundation::Value value;
};

struct JournalContents {
    std::vector<JournalRecord> records;
    // The header and the whole records before any damage; appends continue from here.
    uint64_t validBytes = 0;
    // What follows them, dropped.
    uint64_t droppedBytes = 0;
    // Why bytes were dropped; empty when none were.
    std::string problem;
    // False when the file is there but could not be read: it must not be started afresh then.
    bool readable = true;
};

class StorageJournal {
  public:
    static constexpr uint64_t kHeaderSize = 8;

    explicit StorageJournal(std::string path);
    ~StorageJournal();
    StorageJournal(const StorageJournal&) = delete;
    StorageJournal& operator=(const StorageJournal&) = delete;

    // What the journal at `path` holds; a missing file holds nothing.
    static JournalContents read(const std::string& path);

    // Opens the journal for appending after its first `validBytes` (whatever follows is cut off),
    // creating it when missing. False when it cannot be written: the caller then keeps everything
    // in the snapshot instead.
    bool open(uint64_t validBytes);
    // True while appends can be trusted to land right after the last whole record.
    bool isUsable() const { return fd_ >= 0 && !broken_; }
    // Appends already encoded records and syncs them; true once they are durable.
    bool append(const foundation::Data& records);
    // Forgets every record (the snapshot now holds them).
    bool reset();
    // Bytes of records since the last reset.
    uint64_t recordBytes() const { return size_ > kHeaderSize ? size_ - kHeaderSize : 0; }
    const std::string& path() const { return path_; }

    static void appendStoreRecord(foundation::Data& out, const foundation::Data& encodedStoredEvent);
    static void appendRemovalRecord(foundation::Data& out, const std::set<uint64_t>& eventIDs);

  private:
    bool truncateTo(uint64_t size);
    std::string path_;
    int fd_ = -1;
    uint64_t size_ = 0;
    bool broken_ = false;
};

} // namespace transport
