#pragma once
// Queue time that stands still until a test moves it: delayed tasks and timers fall due on advance(),
// never on the wall clock. Queues built on it (or handed it with setClock) hear of every step.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/foundation/SerialQueue.h"

namespace testsupport {

class ManualQueueClock final : public foundation::QueueClock {
  public:
    TimePoint now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }
    bool movesByItself() const override { return false; }
    std::shared_ptr<void> watch(std::function<void()> moved) override {
        auto watcher = std::make_shared<std::function<void()>>(std::move(moved));
        std::lock_guard lock(mutex_);
        watchers_.push_back(watcher);
        return watcher;
    }
    void advance(double seconds) {
        std::vector<std::shared_ptr<std::function<void()>>> live;
        {
            std::lock_guard lock(mutex_);
            now_ += std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(seconds));
            std::erase_if(watchers_, [](const auto& w) { return w.expired(); });
            for (auto& w : watchers_)
                if (auto s = w.lock()) live.push_back(std::move(s));
        }
        for (auto& moved : live) // outside the lock: a queue asks the time while it looks again
            (*moved)();
    }

  private:
    mutable std::mutex mutex_;
    TimePoint now_ = std::chrono::steady_clock::now(); // deadlines set before a switch stay meaningful
    std::vector<std::weak_ptr<std::function<void()>>> watchers_;
};

// Gives a queue (the main one, usually) manual time for one test, and steady time back afterwards.
class ManualTimeOn {
  public:
    explicit ManualTimeOn(foundation::QueuePtr queue) : queue_(std::move(queue)) { queue_->setClock(clock); }
    ~ManualTimeOn() { queue_->setClock(nullptr); }
    ManualTimeOn(const ManualTimeOn&) = delete;
    ManualTimeOn& operator=(const ManualTimeOn&) = delete;
    void advance(double seconds) { clock->advance(seconds); }
    const std::shared_ptr<ManualQueueClock> clock = std::make_shared<ManualQueueClock>();

  private:
    foundation::QueuePtr queue_;
};

} // namespace testsupport
