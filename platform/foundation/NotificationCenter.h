#pragma once
// A notification centre: post by name with a sender and user info; observers hold tokens that
// unregister when destroyed. Once a token's removal returns, its handler runs nowhere and never will:
// queued deliveries are dropped, and a call running on another thread is waited for (a call on the
// remover's own thread, such as a handler removing itself, is not). No handler runs under a lock of
// the centre's.
#include <any>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "platform/foundation/Value.h"

namespace foundation {

struct Notification {
    std::string name;
    const void* object = nullptr; // the sender's identity, for filtering
    Dictionary userInfo;
    std::any payload; // an object the sender hands along (rarely needed)
};

class NotificationCenter;
class NotificationObserver; // one observer's handler and the calls inside it

class ObserverToken {
  public:
    ~ObserverToken();
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    void remove();

  private:
    friend class NotificationCenter;
    ObserverToken(std::weak_ptr<NotificationCenter> c, std::shared_ptr<NotificationObserver> o, uint64_t id);
    std::weak_ptr<NotificationCenter> center_;
    std::shared_ptr<NotificationObserver> observer_;
    uint64_t id_;
};

using ObserverPtr = std::unique_ptr<ObserverToken>;

class NotificationCenter : public std::enable_shared_from_this<NotificationCenter> {
  public:
    using Handler = std::function<void(const Notification&)>;

    static std::shared_ptr<NotificationCenter> defaultCenter();

    // name empty = every notification; object null = from any sender; queue null = on the posting
    // thread, else delivered asynchronously on that queue.
    [[nodiscard]] ObserverPtr addObserver(std::string name, const void* object, QueuePtr queue,
                                          Handler handler);
    void post(const Notification& n);
    void post(std::string name, const void* object = nullptr, Dictionary userInfo = {});
    size_t observerCount() const;

  private:
    friend class ObserverToken;
    struct Entry {
        uint64_t id;
        std::string name;
        const void* object;
        QueuePtr queue;
        std::shared_ptr<NotificationObserver> observer;
    };
    void removeObserver(uint64_t id);
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
    uint64_t nextId_ = 1;
};

} // namespace foundation
