#include "platform/foundation/SerialQueue.h"

#include <future>

namespace foundation {

namespace {
thread_local SerialQueue* currentQueue = nullptr;
std::mutex executorMutex;
MainExecutor mainExecutor;
} // namespace

SerialQueue::SerialQueue(std::string name) : name_(std::move(name)) {
    thread_ = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        if (std::this_thread::get_id() == thread_.get_id())
            thread_.detach(); // the last owner let go from one of our own tasks
        else
            thread_.join();
    }
}

std::shared_ptr<SerialQueue> SerialQueue::main() {
    // Never destroyed: objects torn down during static destruction may still ask for the main queue.
    static auto* q = new std::shared_ptr<SerialQueue>(std::make_shared<SerialQueue>("com.apple.main-thread"));
    return *q;
}

void SerialQueue::setMainExecutor(MainExecutor executor) {
    std::lock_guard lock(executorMutex);
    mainExecutor = std::move(executor);
}

void SerialQueue::clearMainExecutor() {
    std::lock_guard lock(executorMutex);
    mainExecutor = {};
}

bool SerialQueue::isMain() const { return this == main().get(); }

void SerialQueue::run() {
    currentQueue = this;
    threadId_ = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    for (;;) {
        auto now = std::chrono::steady_clock::now();
        while (!delayed_.empty() && delayed_.begin()->first <= now) {
            tasks_.push_back(std::move(delayed_.begin()->second));
            delayed_.erase(delayed_.begin());
        }
        if (!tasks_.empty()) {
            Task t = std::move(tasks_.front());
            tasks_.pop_front();
            lock.unlock();
            t();
            lock.lock();
            continue;
        }
        if (stopping_) return; // pending immediate tasks ran; delayed ones are dropped
        if (delayed_.empty())
            cv_.wait(lock);
        else
            cv_.wait_until(lock, delayed_.begin()->first);
    }
}

void SerialQueue::async(Task task) { after(0, std::move(task)); }

void SerialQueue::after(double seconds, Task task) {
    if (isMain()) {
        std::unique_lock elock(executorMutex);
        if (mainExecutor.post) {
            auto post = mainExecutor.post;
            elock.unlock();
            post(std::move(task), seconds);
            return;
        }
    }
    {
        std::lock_guard lock(mutex_);
        if (seconds <= 0)
            tasks_.push_back(std::move(task));
        else
            delayed_.emplace(std::chrono::steady_clock::now() +
                                 std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(seconds)),
                             std::move(task));
    }
    cv_.notify_one();
}

void SerialQueue::sync(const Task& task) {
    if (isCurrent()) {
        task();
        return;
    }
    // The promise is shared: the caller may return (and free its frame) while the worker is still
    // inside set_value.
    auto done = std::make_shared<std::promise<void>>();
    auto f = done->get_future();
    async([&task, done] {
        try {
            task();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    f.get();
}

bool SerialQueue::isCurrent() const {
    if (isMain()) {
        std::lock_guard elock(executorMutex);
        if (mainExecutor.isCurrentThread) return mainExecutor.isCurrentThread();
    }
    return currentQueue == this;
}

std::string SerialQueue::currentQueueName() {
    if (main()->isCurrent()) return main()->name();
    return currentQueue ? currentQueue->name_ : std::string();
}

std::shared_ptr<Timer> Timer::schedule(QueuePtr queue, double interval, bool repeats, Task fire) {
    auto t = std::make_shared<Timer>(std::move(queue), interval, repeats, std::move(fire));
    t->arm();
    return t;
}

Timer::Timer(QueuePtr queue, double interval, bool repeats, Task fire)
    : queue_(std::move(queue)), interval_(interval), repeats_(repeats), fire_(std::move(fire)) {}

void Timer::arm() {
    // The queue keeps a valid timer alive, as a run loop does; invalidation releases it.
    queue_->after(interval_, [self = shared_from_this()] {
        if (!self->isValid()) return;
        if (!self->repeats_) {
            std::lock_guard lock(self->mutex_);
            self->valid_ = false;
        }
        self->fire_();
        if (self->repeats_ && self->isValid()) self->arm();
    });
}

void Timer::invalidate() {
    std::lock_guard lock(mutex_);
    valid_ = false;
}

bool Timer::isValid() const {
    std::lock_guard lock(mutex_);
    return valid_;
}

} // namespace foundation
