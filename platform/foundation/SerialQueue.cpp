#include "platform/foundation/SerialQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"

namespace foundation {

struct SerialQueue::Worker : std::enable_shared_from_this<Worker> {
    std::string name;
    std::mutex mutex;
    std::condition_variable cv;
    std::deque<Task> tasks;
    std::multimap<QueueClock::TimePoint, Task> delayed;
    ClockPtr clock;
    std::shared_ptr<void> clockWatch;
    bool stopping = false; // the queue is gone: the thread ends once it has run what it holds
    bool ended = false;    // the thread has left: nothing queued here runs any more
    bool busy = false;     // a task is running: on the worker thread, or a sync on its caller's thread
    // The main queue on an event loop: the loop runs the tasks while the worker thread idles.
    MainExecutor executor;
    bool onLoop = false;
    uint64_t generation = 0; // one per install: drains asked of an earlier loop do nothing
    int loopRunning = 0;     // tasks the loop is inside (a nested loop runs one inside another)
    bool drainPosted = false;
    std::optional<QueueClock::TimePoint> timedDrainAt;
};

namespace {

// The worker whose thread this is: identifies the current queue without touching a queue object,
// which may already be gone while its thread finishes.
thread_local const void* currentWorker = nullptr;
thread_local const std::string* currentWorkerName = nullptr;
// The queue whose task the event loop is running on this thread, if any.
thread_local const void* currentLoopWorker = nullptr;

class SteadyClock final : public QueueClock {
  public:
    TimePoint now() const override { return std::chrono::steady_clock::now(); }
};

std::chrono::steady_clock::duration toDuration(double seconds) {
    return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(seconds));
}

// Nothing escapes a task: what would end the process elsewhere is logged the same way here, and the
// queue goes on with its next task.
void runLogged(Task& task) {
    try {
        task();
    } catch (...) {
        logMessage(describeUncaught(std::current_exception()));
    }
    // Released before the caller takes its lock again: the task may hold the last reference to the
    // queue (or to its owner), whose destructor takes that lock.
    task = nullptr;
}

} // namespace

std::shared_ptr<QueueClock> QueueClock::steady() {
    // Never destroyed: queues outlive static destruction.
    static const auto* clock = new std::shared_ptr<QueueClock>(std::make_shared<SteadyClock>());
    return *clock;
}

namespace {
// Never destroyed, as the list it guards: queues may outlive static destruction.
std::mutex& liveWorkersMutex() {
    static auto* m = new std::mutex;
    return *m;
}
// Set once on the way out of the process; never cleared.
std::atomic<bool> gStopped{false};
// Counts the main queue's loop installs and removals: a thread asks whether it is the loop's once each.
std::atomic<uint64_t> gLoopChanges{0};
} // namespace

SerialQueue::SerialQueue(std::string name, ClockPtr clock)
    : name_(std::move(name)), worker_(std::make_shared<Worker>()) {
    worker_->name = name_;
    worker_->clock = clock ? std::move(clock) : QueueClock::steady();
    worker_->clockWatch = watchClock(worker_->clock, worker_);
    // Listed before its thread starts, which takes it off the list as it ends.
    {
        std::lock_guard lock(liveWorkersMutex());
        liveWorkers().push_back(worker_);
    }
    try {
        thread_ = std::thread([worker = worker_] { run(worker); });
    } catch (...) {
        unlist(worker_.get());
        throw;
    }
}

std::vector<std::shared_ptr<SerialQueue::Worker>>& SerialQueue::liveWorkers() {
    static auto* workers = new std::vector<std::shared_ptr<Worker>>;
    return *workers;
}

void SerialQueue::unlist(const Worker* w) {
    std::lock_guard lock(liveWorkersMutex());
    std::erase_if(liveWorkers(), [w](const auto& listed) { return listed.get() == w; });
}

// Every listed worker but the main queue's and the caller's own, in creation order.
std::vector<std::shared_ptr<SerialQueue::Worker>> SerialQueue::otherLiveWorkers() {
    const Worker* mainWorker = main()->worker_.get();
    std::vector<std::shared_ptr<Worker>> workers;
    {
        std::lock_guard lock(liveWorkersMutex());
        workers = liveWorkers();
    }
    std::erase_if(workers, [mainWorker](const auto& w) {
        return w.get() == mainWorker || w.get() == currentWorker || w.get() == currentLoopWorker;
    });
    return workers;
}

bool SerialQueue::drainWorker(const std::shared_ptr<Worker>& w,
                              std::optional<std::chrono::steady_clock::time_point> deadline) {
    // Shared: the waiter may give up and return while the marker is still queued.
    auto done = std::make_shared<std::promise<void>>();
    auto f = done->get_future();
    Task request;
    {
        std::lock_guard lock(w->mutex);
        if (gStopped || w->ended) return true; // nothing queued there runs any more
        promoteDue(*w);
        if (!w->busy && w->loopRunning == 0 && w->tasks.empty()) return true;
        // Runs even on the thread of a queue that is gone: that thread ends only once nothing is queued.
        w->tasks.push_back([done] { done->set_value(); });
        request = drainRequest(*w);
    }
    w->cv.notify_one();
    if (request) request();
    if (!deadline) {
        f.wait();
        return true;
    }
    return f.wait_until(*deadline) == std::future_status::ready;
}

void SerialQueue::drainAll() {
    for (const auto& w : otherLiveWorkers())
        drainWorker(w, std::nullopt);
}

bool SerialQueue::drainUntil(std::chrono::steady_clock::time_point deadline) {
    if (isCurrent() || stopped()) return true;
    return drainWorker(worker_, deadline);
}

bool SerialQueue::drainAllUntil(std::chrono::steady_clock::time_point deadline) {
    auto workers = otherLiveWorkers();
    for (const auto& w : workers)
        if (!drainWorker(w, deadline)) return false;
    for (const auto& w : workers) {
        std::lock_guard lock(w->mutex);
        if (w->ended) continue;
        promoteDue(*w);
        if (!w->tasks.empty() || w->busy || w->loopRunning > 0) return false;
    }
    return true;
}

void SerialQueue::stopAll() {
    gStopped = true;
    std::vector<std::shared_ptr<Worker>> workers;
    {
        std::lock_guard lock(liveWorkersMutex());
        workers = liveWorkers();
    }
    // Taken under each worker's lock, so a worker deciding on its next task sees the flag.
    for (const auto& w : workers) {
        { std::lock_guard lock(w->mutex); }
        w->cv.notify_all();
    }
}

bool SerialQueue::stopped() {
    return gStopped;
}

SerialQueue::~SerialQueue() {
    // Asked first: the main queue's loop thread is known by code of another layer, called unlocked.
    const bool callerRunsAQueue = currentWorker || currentLoopWorker || callerIsMainQueue();
    std::multimap<QueueClock::TimePoint, Task> dropped;
    bool idle = false;
    {
        std::lock_guard lock(worker_->mutex);
        auto& w = *worker_;
        w.stopping = true;
        promoteDue(w);
        idle = !w.busy && w.loopRunning == 0 && w.tasks.empty();
        // With nothing left to run, the thread only leaves: what the delayed tasks hold goes here.
        if (idle) dropped = std::exchange(w.delayed, {});
    }
    worker_->cv.notify_all();
    dropped.clear();
    if (!thread_.joinable()) return;
    // A thread that runs a queue may be what a task of this one waits for, through syncs from queue to
    // queue: waiting for that task in turn would never end. Such a thread waits only for a worker with
    // nothing left to run; otherwise the worker, which holds all it needs, finishes on its own.
    if (std::this_thread::get_id() != thread_.get_id() && (idle || !callerRunsAQueue))
        thread_.join();
    else
        thread_.detach();
}

std::shared_ptr<SerialQueue> SerialQueue::main() {
    // Never destroyed: objects torn down during static destruction may still ask for the main queue.
    static auto* q =
        new std::shared_ptr<SerialQueue>(std::make_shared<SerialQueue>("com.zaruvedez.main-thread"));
    return *q;
}

void SerialQueue::setMainExecutor(MainExecutor executor) {
    auto& w = *main()->worker_;
    // A loop that goes, asked on its own thread, runs what it still owes as its last turn: work queued
    // for the GUI thread must not end up on another one.
    std::function<bool()> goingLoopThread;
    {
        std::lock_guard lock(w.mutex);
        if (w.onLoop && !executor.post) goingLoopThread = w.executor.isCurrentThread;
    }
    bool lastTurn = goingLoopThread && goingLoopThread();
    MainExecutor previous; // let go of once the lock is released: it is the GUI layer's
    Task request;
    size_t owed = 0;
    {
        std::lock_guard lock(w.mutex);
        previous = std::exchange(w.executor, std::move(executor));
        w.onLoop = bool(w.executor.post);
        ++w.generation;
        ++gLoopChanges;
        w.drainPosted = false;
        w.timedDrainAt.reset();
        // Not from inside a task of the loop's (the rest would run nested in it), nor while the worker
        // thread still finishes one from before the loop came: that thread takes the rest over then.
        if (lastTurn && w.loopRunning == 0 && !w.busy) {
            promoteDue(w);
            owed = w.tasks.size();
            if (owed) ++w.loopRunning; // the worker thread waits for the last turn
        }
        request = drainRequest(w);
    }
    w.cv.notify_all(); // the worker thread idles under a loop and takes over without one
    if (request) request();
    if (owed) runLastTurn(w, owed);
}

void SerialQueue::runLastTurn(Worker& w, size_t owed) {
    std::unique_lock lock(w.mutex);
    for (; owed > 0 && !w.tasks.empty(); --owed) {
        Task t = std::move(w.tasks.front());
        w.tasks.pop_front();
        lock.unlock();
        runOnLoopThread(w, t);
        lock.lock();
    }
    --w.loopRunning;
    lock.unlock();
    w.cv.notify_all();
}

void SerialQueue::clearMainExecutor() {
    setMainExecutor({});
}

void SerialQueue::run(const std::shared_ptr<Worker>& w) {
    currentWorker = w.get();
    currentWorkerName = &w->name;
    std::unique_lock lock(w->mutex);
    for (;;) {
        // Under a loop this thread runs nothing; a loop just removed may still be inside a task. Once
        // the queues are stopped it runs nothing either.
        if (!w->onLoop && w->loopRunning == 0 && !gStopped && !w->busy) {
            promoteDue(*w);
            if (!w->tasks.empty()) {
                Task t = std::move(w->tasks.front());
                w->tasks.pop_front();
                w->busy = true;
                lock.unlock();
                runLogged(t);
                lock.lock();
                w->busy = false;
                // A loop that came meanwhile hears of the rest from here, and from nowhere else: the
                // drains are asked by whoever queues a task or moves the clock.
                if (Task request = drainRequest(*w)) {
                    lock.unlock();
                    request();
                    request = nullptr;
                    lock.lock();
                }
                continue;
            }
        }
        if (w->stopping && !w->busy) { // pending immediate tasks ran; delayed ones are dropped
            w->ended = true;
            break;
        }
        if (gStopped || w->busy || w->onLoop || w->loopRunning > 0 || w->delayed.empty() ||
            !w->clock->movesByItself())
            w->cv.wait(lock);
        else
            w->cv.wait_for(lock, w->delayed.begin()->first - w->clock->now());
    }
    auto dropped = std::exchange(w->delayed, {});
    lock.unlock();
    dropped.clear();
    unlist(w.get());
    currentWorker = nullptr;
    currentWorkerName = nullptr;
}

void SerialQueue::promoteDue(Worker& w) {
    if (w.delayed.empty()) return;
    auto due = w.delayed.upper_bound(w.clock->now());
    for (auto it = w.delayed.begin(); it != due; ++it)
        w.tasks.push_back(std::move(it->second));
    w.delayed.erase(w.delayed.begin(), due);
}

Task SerialQueue::drainRequest(Worker& w) {
    // Asked under the lock, posted after it: the loop's post is code of another layer. While the
    // worker thread finishes a task from before the loop came, it asks once that task has ended.
    if (!w.onLoop || w.busy) return {};
    promoteDue(w);
    bool timed = false;
    double delay = 0;
    if (!w.tasks.empty()) {
        if (w.drainPosted) return {};
        w.drainPosted = true;
    } else {
        // A clock that moves only when told brings its drain when it moves.
        if (w.delayed.empty() || !w.clock->movesByItself()) return {};
        auto first = w.delayed.begin()->first;
        if (w.timedDrainAt && *w.timedDrainAt <= first) return {};
        w.timedDrainAt = first;
        timed = true;
        delay = std::chrono::duration<double>(first - w.clock->now()).count();
    }
    return [post = w.executor.post, weak = w.weak_from_this(), generation = w.generation, timed, delay] {
        post([weak, generation, timed] { drainOnLoop(weak, generation, timed); }, delay);
    };
}

void SerialQueue::drainOnLoop(const std::weak_ptr<Worker>& weak, uint64_t generation, bool timed) {
    auto w = weak.lock();
    if (!w) return;
    std::unique_lock lock(w->mutex);
    if (!w->onLoop || w->generation != generation) return; // the tasks went on without this loop
    if (timed)
        w->timedDrainAt.reset();
    else
        w->drainPosted = false;
    if (!w->busy && !gStopped) {
        promoteDue(*w);
        // What is queued now; what these tasks add waits for the next drain, so the loop gets a turn.
        for (size_t n = w->tasks.size();
             n > 0 && !w->tasks.empty() && w->onLoop && w->generation == generation; --n) {
            Task t = std::move(w->tasks.front());
            w->tasks.pop_front();
            ++w->loopRunning;
            // A nested loop inside this task (a wait that runs the loop) reaches the tasks behind it
            // only through a drain of its own; if this drain runs them first, that one finds none.
            Task behind = w->tasks.empty() ? Task() : drainRequest(*w);
            lock.unlock();
            if (behind) behind();
            runOnLoopThread(*w, t);
            lock.lock();
            --w->loopRunning;
        }
        if (w->loopRunning == 0 && !w->onLoop) w->cv.notify_all(); // the worker thread took over meanwhile
    }
    Task request = drainRequest(*w);
    lock.unlock();
    if (request) request();
}

void SerialQueue::runOnLoopThread(Worker& w, Task& task) {
    const void* outer = currentLoopWorker; // a nested loop may run one task inside another
    currentLoopWorker = &w;
    runLogged(task);
    currentLoopWorker = outer;
}

void SerialQueue::clockMoved(const std::weak_ptr<Worker>& weak) {
    auto w = weak.lock();
    if (!w) return;
    Task request;
    {
        std::lock_guard lock(w->mutex);
        request = drainRequest(*w);
    }
    w->cv.notify_all();
    if (request) request();
}

std::shared_ptr<void> SerialQueue::watchClock(const ClockPtr& clock, const std::shared_ptr<Worker>& w) {
    return clock->watch([weak = std::weak_ptr<Worker>(w)] { clockMoved(weak); });
}

ClockPtr SerialQueue::clock() const {
    std::lock_guard lock(worker_->mutex);
    return worker_->clock;
}

void SerialQueue::setClock(ClockPtr clock) {
    if (!clock) clock = QueueClock::steady();
    auto watch = watchClock(clock, worker_);
    ClockPtr previous;
    std::shared_ptr<void> previousWatch; // both let go of once the lock is released
    Task request;
    {
        std::lock_guard lock(worker_->mutex);
        previous = std::exchange(worker_->clock, std::move(clock));
        previousWatch = std::exchange(worker_->clockWatch, std::move(watch));
        worker_->timedDrainAt.reset();
        request = drainRequest(*worker_);
    }
    worker_->cv.notify_all();
    if (request) request();
}

void SerialQueue::async(Task task) {
    enqueue(std::move(task), std::nullopt);
}

void SerialQueue::after(double seconds, Task task) {
    if (seconds <= 0) return enqueue(std::move(task), std::nullopt);
    enqueue(std::move(task), clock()->now() + toDuration(seconds));
}

void SerialQueue::enqueue(Task task, std::optional<QueueClock::TimePoint> deadline) {
    if (gStopped) return; // the process is on its way out: the task is let go of here
    // Held until the worker is signalled: once the lock is released the task may run, let go of the
    // queue's last owner and end the worker thread, before this thread gets to the signal.
    const std::shared_ptr<Worker> held = worker_;
    auto& w = *held;
    Task request;
    {
        std::lock_guard lock(w.mutex);
        // Whatever fell due before this task came runs before it.
        promoteDue(w);
        if (!deadline || *deadline <= w.clock->now())
            w.tasks.push_back(std::move(task));
        else
            w.delayed.emplace(*deadline, std::move(task));
        request = drainRequest(w);
    }
    w.cv.notify_one();
    if (request) request();
}

bool SerialQueue::callerIsMainQueue() {
    static const Worker* const mainWorker = main()->worker_.get();
    if (currentWorker == mainWorker || currentLoopWorker == mainWorker) return true;
    // Code the loop runs outside the queue's tasks is the main queue's too.
    thread_local uint64_t askedAt = 0;
    thread_local bool loopThread = false;
    const uint64_t changes = gLoopChanges.load();
    if (changes == 0) return false;
    if (askedAt != changes) {
        loopThread = main()->isCurrent();
        askedAt = changes;
    }
    return loopThread;
}

bool SerialQueue::holdIfIdle() {
    if (this == main().get()) return false; // its tasks belong on its own thread or loop
    // Nor for the main queue's own thread or loop: inline there, the task would still find the main
    // queue current and a sync back to it would run at once, where behind a busy queue it waits for
    // the loop, which waits for the task. Through the worker, such a cycle is the same deadlock on an
    // idle queue as on a busy one, so a test finds it.
    if (callerIsMainQueue()) return false;
    std::lock_guard lock(worker_->mutex);
    auto& w = *worker_;
    if (w.onLoop || w.loopRunning > 0 || w.busy || w.stopping || gStopped) return false;
    promoteDue(w);
    if (!w.tasks.empty()) return false;
    w.busy = true;
    return true;
}

void SerialQueue::sync(const Task& task) {
    // On the way out no queue runs anything any more: the caller does.
    if (isCurrent() || gStopped) {
        task();
        return;
    }
    // Nothing queued and nothing running: the caller runs the task itself, which spares two thread
    // switches (tens of microseconds each on a busy machine) for what is often a counter's step.
    if (holdIfIdle()) {
        struct Release {
            std::shared_ptr<Worker> w; // the task may let go of the queue's last owner
            const void* outer = currentWorker;
            const std::string* outerName = currentWorkerName;
            ~Release() {
                currentWorker = outer;
                currentWorkerName = outerName;
                {
                    std::lock_guard lock(w->mutex);
                    w->busy = false;
                }
                w->cv.notify_all(); // what was queued meanwhile
            }
        } release{worker_};
        currentWorker = release.w.get();
        currentWorkerName = &release.w->name;
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
    // The worker thread first: it may still finish a task from before the loop came.
    if (currentWorker == worker_.get() || currentLoopWorker == worker_.get()) return true;
    std::function<bool()> onLoopThread;
    {
        std::lock_guard lock(worker_->mutex);
        if (worker_->onLoop) onLoopThread = worker_->executor.isCurrentThread;
    }
    return onLoopThread && onLoopThread();
}

std::string SerialQueue::currentQueueName() {
    if (currentWorkerName) return *currentWorkerName;
    if (main()->isCurrent()) return main()->name();
    return {};
}

std::shared_ptr<Timer> Timer::schedule(QueuePtr queue, double interval, bool repeats, Task fire) {
    auto t = std::make_shared<Timer>(std::move(queue), interval, repeats, std::move(fire));
    t->arm(t->queue_->clock()->now() + toDuration(interval));
    return t;
}

Timer::Timer(QueuePtr queue, double interval, bool repeats, Task fire)
    : queue_(std::move(queue)), interval_(interval), repeats_(repeats), fire_(std::move(fire)) {}

void Timer::arm(QueueClock::TimePoint when) {
    // The queue keeps a valid timer alive, as a run loop does; invalidation releases it.
    queue_->at(when, [self = shared_from_this(), when] { self->fired(when); });
}

void Timer::fired(QueueClock::TimePoint due) {
    if (!valid_) return;
    if (!repeats_) {
        valid_ = false;
        fire_();
        return;
    }
    // The next beat counts from when this one was due; beats the queue was too late for are skipped.
    // A throwing handler does not stop the timer: the queue logs the throw and the beat goes on.
    auto rearm = [&] {
        if (!valid_) return;
        auto period = toDuration(std::max(interval_, 1e-4)); // as short as a run loop allows
        auto now = queue_->clock()->now();
        auto next = due + period;
        if (next <= now) next += ((now - next) / period + 1) * period;
        arm(next);
    };
    try {
        fire_();
    } catch (...) {
        rearm();
        throw;
    }
    rearm();
}

void Timer::invalidate() {
    valid_ = false;
}

bool Timer::isValid() const {
    return valid_;
}

} // namespace foundation
