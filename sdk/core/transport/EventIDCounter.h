#pragma once
// The persistent event-ID counter: the next ID lives in the "count" file of the transport's folder, which
// is replaced (a new file renamed over it) as each ID is handed out, so a reader sees a whole number, old
// or new. A lost or stale file never lets IDs fall back below one that names a stored event: the counter
// also starts above every "event-<ID>" file it finds, and the storage raises it past every ID it loads.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/SerialQueue.h"

namespace transport {

class EventIDCounter {
  public:
    // Reads the count file and scans the folder before it returns.
    explicit EventIDCounter(std::string rootDirectory);
    EventIDCounter(const EventIDCounter&) = delete;
    EventIDCounter& operator=(const EventIDCounter&) = delete;

    // The process's counter, in the shared transport folder ("com.ruvara.RDTCOREventIDQueue").
    static std::shared_ptr<EventIDCounter> shared();

    uint64_t next();
    // Makes sure every later ID is greater than `usedID`.
    void ensureAbove(uint64_t usedID);
    // The ID `next` would hand out (tests).
    uint64_t peek();
    const std::string& path() const { return path_; }

  private:
    void load();
    void persist();
    foundation::QueuePtr queue_;
    std::string root_;
    std::string path_;
    uint64_t next_ = 0;
};

// "event-<decimal>" → the number; nothing for any other name (or an absurdly large number).
bool parseEventFileName(const std::string& name, uint64_t& id);
} // namespace transport
