#include "sdk/core/transport/EventIDCounter.h"

#include <dirent.h>

#include "platform/foundation/Files.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"

namespace transport {

namespace {
// IDs this large are not ours (a foreign file name); honouring them would run the counter out.
constexpr uint64_t kLargestTrustedID = uint64_t(1) << 62;

bool parseDecimal(const std::string& text, uint64_t& out) {
    if (text.empty() || text.size() > 19) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    out = v;
    return true;
}
} // namespace

bool parseEventFileName(const std::string& name, uint64_t& id) {
    static const std::string prefix = "event-";
    if (name.rfind(prefix, 0) != 0) return false;
    uint64_t v;
    if (!parseDecimal(name.substr(prefix.size()), v) || v >= kLargestTrustedID) return false;
    id = v;
    return true;
}

EventIDCounter::EventIDCounter(std::string rootDirectory)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCOREventIDQueue")),
      root_(std::move(rootDirectory)), path_(root_ + "/count") {
    load();
}

std::shared_ptr<EventIDCounter> EventIDCounter::shared() {
    static sdk::NoDestructor<std::shared_ptr<EventIDCounter>> instance(
        std::make_shared<EventIDCounter>(RDTCORRootDirectory()));
    return *instance;
}

void EventIDCounter::load() {
    foundation::createDirectories(root_);
    next_ = 0;
    if (foundation::fileExists(path_)) {
        auto text = foundation::readTextFile(path_);
        std::string trimmed = text.value_or("");
        while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' '))
            trimmed.pop_back();
        uint64_t v;
        if (text && parseDecimal(trimmed, v) && v < kLargestTrustedID)
            next_ = v;
        else
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                             "The event ID counter %@ is unreadable; IDs continue after the stored events.",
                             path_);
    }
    // Payload files are named by their event's ID: never hand one of those out again.
    if (DIR* dir = ::opendir(root_.c_str())) {
        while (dirent* entry = ::readdir(dir)) {
            uint64_t id;
            if (parseEventFileName(entry->d_name, id) && id >= next_) next_ = id + 1;
        }
        ::closedir(dir);
    }
}

void EventIDCounter::persist() {
    // A whole new file renamed over the old one: a reader, or a start after a kill, finds the old number
    // or the new one, never a part of either. No disk sync per ID: after a power cut a stale number is
    // caught by the scan of the stored events' IDs.
    const std::string text = std::to_string(next_);
    if (!foundation::replaceFile(path_, text.data(), text.size(), foundation::FileSync::None))
        RDTCORLogWarning(RDTCORLogCodeUnreadableFile, "The event ID counter %@ could not be written.", path_);
}

uint64_t EventIDCounter::next() {
    uint64_t id = 0;
    queue_->sync([&] {
        id = next_++;
        persist();
    });
    return id;
}

void EventIDCounter::ensureAbove(uint64_t usedID) {
    if (usedID >= kLargestTrustedID) return;
    queue_->sync([&] {
        if (next_ > usedID) return;
        next_ = usedID + 1;
        persist();
    });
}

uint64_t EventIDCounter::peek() {
    uint64_t id = 0;
    queue_->sync([&] { id = next_; });
    return id;
}

} // namespace transport
