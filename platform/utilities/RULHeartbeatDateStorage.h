#pragma once
// The last heartbeat date per tag, in one property-list file under Library/Application Support.
// Application Support rather than Caches: these dates decide when the daily record is due, and a
// cleared cache would send it again early.
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class RULHeartbeatDateStorage {
  public:
    // `fileName` is a plain file name (no folders).
    explicit RULHeartbeatDateStorage(std::string fileName);

    // The stored date, or nullopt when none is stored (or the file is unreadable).
    std::optional<foundation::Date> heartbeatDateForTag(const std::string& tag) const;
    // Writes the file atomically; false when it cannot be written. (Spelled as its callers spell it.)
    bool setHearbeatDate(foundation::Date date, const std::string& tag);

    // Where the dates live under the current app home; empty for an unusable file name.
    std::string filePath() const;

  private:
    foundation::Dictionary readDates() const;
    std::string fileName_;
};
