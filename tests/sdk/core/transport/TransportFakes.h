#pragma once
// Stand-ins for the transport tests: a clock moved by hand (its timers fire as it passes them), a
// payload object, a prioritizer and an uploader that record what they are asked, and a gate that holds
// a queue.
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORProtocols.h"
#include "sdk/core/transport/RDTCORUploadPackage.h"
#include "sdk/core/transport/TimeSource.h"
#include "tests/support/TestHome.h"

namespace transporttest {

// A folder of its own for one test, removed afterwards.
struct TempDir {
    std::string path = testsupport::makeTempDir("zvtransport");
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

// Holds a queue until released, so work piles up behind it. Returns once the queue is held: the tasks
// queued before it have finished and let go of whatever they held (a store's completion runs before its
// task ends, so its owner may still be held when the completion is heard).
struct QueueGate {
    explicit QueueGate(const foundation::QueuePtr& queue) {
        auto entered = std::make_shared<std::promise<void>>(); // the task's own: it outlives this call
        auto holding = entered->get_future();
        queue->async([entered, gate = released.get_future().share()] {
            entered->set_value();
            gate.wait();
        });
        holding.wait();
    }
    ~QueueGate() { release(); }
    void release() {
        if (!done) released.set_value();
        done = true;
    }
    std::promise<void> released;
    bool done = false;
};

class ManualTimeSource : public transport::TimeSource {
  public:
    explicit ManualTimeSource(int64_t wallMicros = 1700000000000000, int64_t bootMicros = 1699990000000000)
        : wall_(wallMicros), boot_(bootMicros) {}

    int64_t wallClockMicros() const override {
        std::lock_guard lock(mutex_);
        return wall_;
    }
    int64_t bootTimeMicros() const override {
        std::lock_guard lock(mutex_);
        return boot_;
    }
    void setBootTime(int64_t micros) {
        std::lock_guard lock(mutex_);
        boot_ = micros;
    }

    std::shared_ptr<transport::TimerHandle> scheduleTimer(foundation::QueuePtr queue, double interval,
                                                          bool repeats, foundation::Task fire) override {
        auto t = std::make_shared<Timer>();
        std::lock_guard lock(mutex_);
        t->queue = std::move(queue);
        t->interval = int64_t(interval * 1e6);
        t->repeats = repeats;
        t->fire = std::move(fire);
        t->due = wall_ + t->interval;
        timers_.push_back(t);
        return t;
    }

    // Moves the clock on, firing each timer it passes on its queue (and waiting for it), in order.
    void advance(double seconds) {
        int64_t target;
        {
            std::lock_guard lock(mutex_);
            target = wall_ + int64_t(seconds * 1e6);
        }
        for (;;) {
            std::shared_ptr<Timer> next;
            {
                std::lock_guard lock(mutex_);
                std::erase_if(timers_, [](const auto& t) { return !t->isValid(); });
                for (auto& t : timers_)
                    if (t->due <= target && (!next || t->due < next->due)) next = t;
                if (!next) {
                    wall_ = target;
                    return;
                }
                wall_ = std::max(wall_, next->due);
                if (next->repeats)
                    next->due += next->interval;
                else
                    next->invalidate();
            }
            next->queue->sync([&] {
                if (next->repeats ? next->isValid() : true) next->fire();
            });
        }
    }

    size_t liveTimers() const {
        std::lock_guard lock(mutex_);
        return size_t(
            std::count_if(timers_.begin(), timers_.end(), [](const auto& t) { return t->isValid(); }));
    }

  private:
    struct Timer : transport::TimerHandle {
        foundation::QueuePtr queue;
        int64_t interval = 0;
        bool repeats = false;
        foundation::Task fire;
        int64_t due = 0;
        std::atomic<bool> valid{true};
        void invalidate() override { valid = false; }
        bool isValid() const override { return valid; }
    };
    mutable std::mutex mutex_;
    int64_t wall_;
    int64_t boot_;
    std::vector<std::shared_ptr<Timer>> timers_;
};

// Installs a manual clock for the scope of a test.
class ManualClock {
  public:
    ManualClock() : source(std::make_shared<ManualTimeSource>()) { transport::TimeSource::setShared(source); }
    ~ManualClock() { transport::TimeSource::setShared(nullptr); }
    ManualTimeSource* operator->() { return source.get(); }
    std::shared_ptr<ManualTimeSource> source;
};

class BytesObject : public RDTCOREventDataObject {
  public:
    explicit BytesObject(foundation::Data b) : bytes(std::move(b)) {}
    explicit BytesObject(const std::string& s) : bytes(s.begin(), s.end()) {}
    foundation::Data transportBytes() override { return bytes; }
    foundation::Data bytes;
};

inline std::shared_ptr<RDTCOREvent> makeEvent(uint64_t id, const std::string& payload = "payload",
                                              RDTCORTarget target = RDTCORTargetCCT,
                                              RDTCOREventQoS tier = RDTCOREventQoSDefault) {
    auto e = std::make_shared<RDTCOREvent>("137", target);
    e->setEventID(id);
    e->setQosTier(tier);
    e->setDataObject(std::make_shared<BytesObject>(payload));
    return e;
}

// Keeps every prioritized event until a package holding it is delivered; expiry drops the events
// as a successful delivery would, the way the real prioritizer has been described.
class FakePrioritizer : public RDTCORPrioritizer {
  public:
    std::shared_ptr<RDTCORStorageProtocol> storage;
    std::weak_ptr<RDTCORUploadPackageProtocol> handler;

    void prioritizeEvent(std::shared_ptr<RDTCOREvent> event) override {
        std::lock_guard lock(mutex);
        events.insert(event);
    }
    std::shared_ptr<RDTCORUploadPackage> uploadPackageWithTarget(RDTCORTarget target,
                                                                 RDTCORUploadConditions conditions) override {
        auto package = RDTCORUploadPackage::initWithTarget(target, storage, handler);
        std::lock_guard lock(mutex);
        asked.push_back(conditions);
        RDTCOREventSet chosen;
        for (const auto& e : events)
            if (e->target() == target) chosen.insert(e);
        package->setEvents(chosen);
        return package;
    }
    void saveState() override { ++saves; }
    void packageDelivered(std::shared_ptr<RDTCORUploadPackage> package, bool successful) override {
        std::lock_guard lock(mutex);
        (successful ? delivered : retried)++;
        if (successful)
            for (const auto& e : package->events())
                events.erase(e);
    }
    void packageExpired(std::shared_ptr<RDTCORUploadPackage> package) override {
        std::lock_guard lock(mutex);
        ++expired;
        for (const auto& e : package->events())
            events.erase(e);
    }
    size_t pending() {
        std::lock_guard lock(mutex);
        return events.size();
    }
    std::vector<RDTCORUploadConditions> askedConditions() {
        std::lock_guard lock(mutex);
        return asked;
    }

    std::mutex mutex;
    RDTCOREventSet events;
    std::vector<RDTCORUploadConditions> asked;
    std::atomic<int> saves{0};
    std::atomic<int> delivered{0}, retried{0}, expired{0};
};

class FakeUploader : public RDTCORUploader {
  public:
    bool readyToUploadTarget(RDTCORTarget, RDTCORUploadConditions conditions) override {
        std::lock_guard lock(mutex);
        readyAsked.push_back(conditions);
        return ready;
    }
    void uploadPackage(std::shared_ptr<RDTCORUploadPackage> package) override {
        std::lock_guard lock(mutex);
        uploaded.push_back(package);
    }
    void packageExpired(std::shared_ptr<RDTCORUploadPackage>) override { ++expired; }
    std::vector<std::shared_ptr<RDTCORUploadPackage>> packages() {
        std::lock_guard lock(mutex);
        return uploaded;
    }
    std::vector<RDTCORUploadConditions> asked() {
        std::lock_guard lock(mutex);
        return readyAsked;
    }
    void setReady(bool r) {
        std::lock_guard lock(mutex);
        ready = r;
    }

    std::mutex mutex;
    bool ready = true;
    std::vector<RDTCORUploadConditions> readyAsked;
    std::vector<std::shared_ptr<RDTCORUploadPackage>> uploaded;
    std::atomic<int> expired{0};
};

} // namespace transporttest
