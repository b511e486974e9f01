#include "sdk/core/transport/EventIDCounter.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/foundation/Files.h"
#include "sdk/core/transport/NoDestructor.h"
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
    queue_->async([this] { load(); });
}

// Queued work uses our members: let it finish before they go.
EventIDCounter::~EventIDCounter() {
    queue_->drain();
    if (fd_ >= 0) ::close(fd_);
}

std::shared_ptr<EventIDCounter> EventIDCounter::shared() {
    static NoDestructor<std::shared_ptr<EventIDCounter>> instance(
        std::make_shared<EventIDCounter>(RDTCORRootDirectory()));
    return *instance;
}

void EventIDCounter::load() {
    foundation::createDirectories(root_);
    next_ = 0;
    if (foundation::fileExists(path_)) {
        auto text = foundation::readTextFile(path_);
        fileSize_ = text ? text->size() : UINT64_MAX;
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
    std::string text = std::to_string(next_);
    // One small write in place: a killed process leaves the old or the new number. After a power cut
    // a stale or damaged value is caught by the stored-event checks, so no disk sync per ID.
    if (fd_ < 0) fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    bool ok = fd_ >= 0 && ::pwrite(fd_, text.data(), text.size(), 0) == ssize_t(text.size());
    if (ok && text.size() < fileSize_) ok = ::ftruncate(fd_, off_t(text.size())) == 0;
    if (ok)
        fileSize_ = text.size();
    else
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
