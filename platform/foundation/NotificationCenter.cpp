#include "platform/foundation/NotificationCenter.h"

#include <algorithm>
#include <condition_variable>
#include <thread>

namespace foundation {

// The check that the observer is still registered and the entry into its handler are one step under
// this object's lock, so a removal that has returned sees no call begin after it.
class NotificationObserver {
  public:
    explicit NotificationObserver(NotificationCenter::Handler handler)
        : handler_(std::make_shared<NotificationCenter::Handler>(std::move(handler))) {}

    void deliver(const Notification& n) {
        std::shared_ptr<NotificationCenter::Handler> handler; // outlives the call's bookkeeping below
        {
            std::lock_guard lock(mutex_);
            if (removed_) return;
            handler = handler_;
            inside_.push_back(std::this_thread::get_id());
        }
        struct Leave {
            NotificationObserver& o;
            ~Leave() { o.leave(); }
        } leave{*this};
        (*handler)(n);
    }

    void remove() {
        std::shared_ptr<NotificationCenter::Handler> released; // destroyed once the lock is released
        {
            std::unique_lock lock(mutex_);
            removed_ = true;
            // Calls on this thread are the remover's own callers (a handler removing itself, or one
            // that let its owner go): waiting for them would never end. Those keep the handler alive.
            auto self = std::this_thread::get_id();
            cv_.wait(lock, [&] {
                return std::all_of(inside_.begin(), inside_.end(), [&](auto id) { return id == self; });
            });
            released = std::move(handler_);
        }
    }

  private:
    void leave() {
        std::lock_guard lock(mutex_);
        inside_.erase(std::find(inside_.begin(), inside_.end(), std::this_thread::get_id()));
        if (removed_) cv_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    bool removed_ = false;
    std::vector<std::thread::id> inside_; // one per call in progress
    std::shared_ptr<NotificationCenter::Handler> handler_;
};

ObserverToken::ObserverToken(std::weak_ptr<NotificationCenter> c, std::shared_ptr<NotificationObserver> o,
                             uint64_t id)
    : center_(std::move(c)), observer_(std::move(o)), id_(id) {}

ObserverToken::~ObserverToken() {
    remove();
}

void ObserverToken::remove() {
    auto center = center_.lock();
    center_.reset();
    auto observer = std::move(observer_);
    if (center) center->removeObserver(id_);
    // After the centre let go of it, and with none of its locks held: the wait below may be long.
    if (observer) observer->remove();
}

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter() {
    // Never destroyed: background work may still post while the process's statics go.
    static auto* c = new std::shared_ptr<NotificationCenter>(std::make_shared<NotificationCenter>());
    return *c;
}

ObserverPtr NotificationCenter::addObserver(std::string name, const void* object, QueuePtr queue,
                                            Handler handler) {
    auto observer = std::make_shared<NotificationObserver>(std::move(handler));
    std::lock_guard lock(mutex_);
    uint64_t id = nextId_++;
    entries_.push_back({id, std::move(name), object, std::move(queue), observer});
    return ObserverPtr(new ObserverToken(weak_from_this(), std::move(observer), id));
}

void NotificationCenter::removeObserver(uint64_t id) {
    std::vector<Entry> gone; // may hold a queue's last reference: destroyed once the lock is released
    std::lock_guard lock(mutex_);
    auto it =
        std::stable_partition(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id != id; });
    std::move(it, entries_.end(), std::back_inserter(gone));
    entries_.erase(it, entries_.end());
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
            if ((e.name.empty() || e.name == n.name) && (!e.object || e.object == n.object))
                matching.push_back(e);
    }
    // An observer removed by an earlier handler of this same post is not called: deliver() checks.
    for (const auto& e : matching) {
        if (e.queue)
            e.queue->async([weak = std::weak_ptr<NotificationObserver>(e.observer), n] {
                if (auto observer = weak.lock()) observer->deliver(n);
            });
        else
            e.observer->deliver(n);
    }
}

} // namespace foundation
