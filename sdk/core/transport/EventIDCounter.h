#pragma once
// The persistent event-ID counter: the next ID lives in the "count" file of the transport's folder and
// is rewritten in place as each ID is handed out (the number only grows, so each write covers the last). A
// lost or damaged file never lets IDs fall back below one that names a stored event: the counter also starts
// above every "event-<ID>" file it finds, and the storage raises it past every ID it loads.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/SerialQueue.h"

namespace transport {

class EventIDCounter {
  public:
    explicit EventIDCounter(std::string rootDirectory);
    ~EventIDCounter();
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
    int fd_ = -1;
    uint64_t fileSize_ = 0;
};

// "event-<decimal>" → the number; nothing for any other name (or an absurdly large number).
bool parseEventFileName(const std::string& name, uint64_t& id);
} // namespace transport
