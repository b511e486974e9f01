#include "sdk/core/transport/EventIDCounter.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <random>
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

bool replaceFile(const std::string& path, const void* bytes, size_t size, bool durable) {
    if (durable) return foundation::writeFileAtomically(path, bytes, size);
    static thread_local std::mt19937_64 rng{std::random_device{}()};
    std::string tmp = path + ".tmp-" + std::to_string(getpid()) + "-" + std::to_string(rng());
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const char* p = static_cast<const char*>(bytes);
    bool ok = true;
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        size -= size_t(n);
    }
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

EventIDCounter::EventIDCounter(std::string rootDirectory)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCOREventIDQueue")), root_(std::move(rootDirectory)),
      path_(root_ + "/count") {
    queue_->async([this] { load(); });
}

// Queued work uses our members: let it finish before they go.
EventIDCounter::~EventIDCounter() { queue_->drain(); }

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
        std::string trimmed = text.value_or("");
        while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == ' ')) trimmed.pop_back();
        uint64_t v;
        if (text && parseDecimal(trimmed, v) && v < kLargestTrustedID)
            next_ = v;
        else
            RDTCORLogWarning(RDTCORLogCodeUnreadableFile,
                             "The event ID counter %@ is unreadable; IDs continue after the stored events.", path_);
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
    // A crash cannot tear the file (rename); after a power cut a stale value is caught by the
    // stored-event checks, so every ID is not worth a disk sync.
    if (!replaceFile(path_, text.data(), text.size(), false))
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
