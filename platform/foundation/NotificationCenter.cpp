#include "platform/foundation/NotificationCenter.h"

#include <algorithm>

namespace foundation {

ObserverToken::~ObserverToken() { remove(); }

void ObserverToken::remove() {
    if (auto c = center_.lock()) c->removeObserver(id_);
    center_.reset();
}

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter() {
    static auto c = std::make_shared<NotificationCenter>();
    return c;
}

ObserverPtr NotificationCenter::addObserver(std::string name, const void* object, QueuePtr queue,
                                            Handler handler) {
    std::lock_guard lock(mutex_);
    uint64_t id = nextId_++;
    entries_.push_back({id, std::move(name), object, std::move(queue),
                        std::make_shared<Handler>(std::move(handler))});
    return ObserverPtr(new ObserverToken(weak_from_this(), id));
}

void NotificationCenter::removeObserver(uint64_t id) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

size_t NotificationCenter::observerCount() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

void NotificationCenter::post(std::string name, const void* object, Dictionary userInfo) {
    post(Notification{std::move(name), object, std::move(userInfo), {}});
}

void NotificationCenter::post(const Notification& n) {
    std::vector<Entry> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_)
            if ((e.name.empty() || e.name == n.name) && (!e.object || e.object == n.object)) matching.push_back(e);
    }
    for (const auto& e : matching) {
        // An observer removed by an earlier handler of this same post is not called.
        {
            std::lock_guard lock(mutex_);
            if (std::none_of(entries_.begin(), entries_.end(), [&](const Entry& x) { return x.id == e.id; }))
                continue;
        }
        if (e.queue)
            e.queue->async([h = e.handler, n] { (*h)(n); });
        else
            (*e.handler)(n);
    }
}

} // namespace foundation
