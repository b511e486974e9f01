#include "platform/foundation/SerialQueue.h"

#include <future>

namespace foundation {

namespace {
// The worker whose thread this is: identifies the current queue without touching a queue object,
// which may already be gone while its thread finishes.
thread_local const void* currentWorker = nullptr;
thread_local const std::string* currentWorkerName = nullptr;
std::mutex executorMutex;
MainExecutor mainExecutor;
} // namespace

SerialQueue::SerialQueue(std::string name) : name_(std::move(name)), worker_(std::make_shared<Worker>()) {
    worker_->name = name_;
    thread_ = std::thread([worker = worker_] { run(worker); });
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(worker_->mutex);
        worker_->stopping = true;
    }
    worker_->cv.notify_all();
    if (thread_.joinable()) {
        if (std::this_thread::get_id() == thread_.get_id())
            thread_.detach(); // the last owner let go from one of our own tasks; the thread ends by itself
        else
            thread_.join();
    }
}

std::shared_ptr<SerialQueue> SerialQueue::main() {
    // Never destroyed: objects torn down during static destruction may still ask for the main queue.
    static auto* q = new std::shared_ptr<SerialQueue>(std::make_shared<SerialQueue>("com.zaruvedez.main-thread"));
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

bool SerialQueue::isMain() const {
    return this == main().get();
}

void SerialQueue::run(const std::shared_ptr<Worker>& w) {
    currentWorker = w.get();
    currentWorkerName = &w->name;
    std::unique_lock lock(w->mutex);
    for (;;) {
        auto now = std::chrono::steady_clock::now();
        while (!w->delayed.empty() && w->delayed.begin()->first <= now) {
            w->tasks.push_back(std::move(w->delayed.begin()->second));
            w->delayed.erase(w->delayed.begin());
        }
        if (!w->tasks.empty()) {
            Task t = std::move(w->tasks.front());
            w->tasks.pop_front();
            lock.unlock();
            t();
            // Released before the lock is taken again: the task may hold the last reference to the
            // queue (or to its owner), whose destructor takes this lock.
            t = nullptr;
            lock.lock();
            continue;
        }
        if (w->stopping) break; // pending immediate tasks ran; delayed ones are dropped
        if (w->delayed.empty())
            w->cv.wait(lock);
        else
            w->cv.wait_until(lock, w->delayed.begin()->first);
    }
    auto dropped = std::move(w->delayed);
    w->delayed.clear();
    lock.unlock();
    dropped.clear();
    currentWorker = nullptr;
    currentWorkerName = nullptr;
}

void SerialQueue::async(Task task) {
    after(0, std::move(task));
}

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
        std::lock_guard lock(worker_->mutex);
        if (seconds <= 0)
            worker_->tasks.push_back(std::move(task));
        else
            worker_->delayed.emplace(std::chrono::steady_clock::now() +
                                         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(seconds)),
                                     std::move(task));
    }
    worker_->cv.notify_one();
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
    return currentWorker == worker_.get();
}

std::string SerialQueue::currentQueueName() {
    if (main()->isCurrent()) return main()->name();
    return currentWorkerName ? *currentWorkerName : std::string();
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
