#include "platform/utilities/RULHeartbeatDateStorage.h"

#include <mutex>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Plist.h"

namespace {
// Read-modify-write of the file must not interleave, even between two objects on the same file.
std::mutex fileMutex;
} // namespace

RULHeartbeatDateStorage::RULHeartbeatDateStorage(std::string fileName) : fileName_(std::move(fileName)) {}

std::string RULHeartbeatDateStorage::filePath() const {
    if (fileName_.empty() || fileName_ == "." || fileName_ == ".." ||
        fileName_.find('/') != std::string::npos)
        return {};
    return foundation::home::applicationSupport() + "/" + fileName_;
}

foundation::Dictionary RULHeartbeatDateStorage::readDates() const {
    std::string path = filePath();
    if (path.empty()) return {};
    auto v = foundation::plist::readFile(path);
    if (!v || !v->isDictionary()) return {};
    return *v->dictionary();
}

std::optional<foundation::Date> RULHeartbeatDateStorage::heartbeatDateForTag(const std::string& tag) const {
    std::lock_guard lock(fileMutex);
    auto dates = readDates();
    auto it = dates.find(tag);
    if (it == dates.end() || !it->second.date()) return std::nullopt;
    return *it->second.date();
}

bool RULHeartbeatDateStorage::setHearbeatDate(foundation::Date date, const std::string& tag) {
    std::lock_guard lock(fileMutex);
    std::string path = filePath();
    if (path.empty()) return false;
    // A damaged file is replaced: its dates are lost either way, and the next heartbeat rebuilds them.
    auto dates = readDates();
    dates[tag] = foundation::Value(date);
    return foundation::plist::writeFile(path, foundation::Value(std::move(dates)));
}
