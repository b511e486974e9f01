#pragma once
// Serial queues: one worker thread each, tasks run one at a time in submission order. The main queue
// runs on the app's event loop once one is installed (setMainExecutor); before that, on a thread of
// its own, so plain programs and tests work without an event loop. A task that throws is logged as an
// uncaught exception would be, and the queue goes on with its next task.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace foundation {

using Task = std::function<void()>;

// Time for delayed tasks and timers: the steady clock unless a queue is given another (tests give a
// manual one, so nothing waits on the wall clock). now() is asked under a queue's lock and must not
// call back into queues.
class QueueClock {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~QueueClock() = default;
    virtual TimePoint now() const = 0;
    // False for a clock that moves only when told: its queues wait for its word, not for a deadline.
    virtual bool movesByItself() const { return true; }
    // A clock that moves only when told calls `moved` (from the thread that moved it) after each step,
    // for as long as the returned handle lives.
    virtual std::shared_ptr<void> watch(std::function<void()> /*moved*/) { return nullptr; }
    static std::shared_ptr<QueueClock> steady();
};

using ClockPtr = std::shared_ptr<QueueClock>;

// How the main queue reaches an event loop (the GUI layer installs one). The queue keeps its tasks
// itself and asks the loop to run `drain` on its thread, at once or after `delaySeconds`; a drain runs
// whatever is due then, so the order stays the queue's own.
struct MainExecutor {
    std::function<void(Task drain, double delaySeconds)> post;
    std::function<bool()> isCurrentThread;
};

class SerialQueue : public std::enable_shared_from_this<SerialQueue> {
  public:
    explicit SerialQueue(std::string name, ClockPtr clock = nullptr);
    // The last owner letting go: the tasks queued before still run, delayed ones are dropped. Let go of
    // on a thread that runs no queue's work, it waits until those tasks have run. On a thread that does
    // (a queue's own, one inside a sync, the main queue's loop), a task of this queue may be waiting for
    // that very thread through syncs from queue to queue: it does not wait then, and the queue's thread
    // finishes what it holds by itself (drainAll and the exit steps still wait for it).
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    static std::shared_ptr<SerialQueue> create(std::string name, ClockPtr clock = nullptr) {
        return std::make_shared<SerialQueue>(std::move(name), std::move(clock));
    }
    static std::shared_ptr<SerialQueue> main();
    // Tasks queued before the loop arrives run there first, in order; a task the queue's own thread is
    // running then finishes before the loop runs any.
    static void setMainExecutor(MainExecutor executor);
    // Back to the queue's own thread. Called on the loop's thread, the loop first runs what it still
    // owes there; otherwise the queue's own thread takes that over.
    static void clearMainExecutor();

    const std::string& name() const { return name_; }
    void async(Task task);
    // Runs the task and waits for it. Called from the queue's own thread, it runs inline; on an idle
    // queue other than the main one, it runs on the calling thread, holding the queue as its worker
    // would (no task of the queue runs meanwhile, and isCurrent() holds inside it), unless that thread
    // is the main queue's (its own, or its loop's): the task then runs on the queue's thread, as on a
    // busy queue, so the main queue is never current inside it.
    void sync(const Task& task);
    void after(double seconds, Task task);
    bool isCurrent() const;
    // The name of the queue running the calling thread, or empty.
    static std::string currentQueueName();
    // Waits until every task submitted before this call has run (tests).
    void drain() {
        sync([] {});
    }
    // Drains every other live queue but the main one, and the queues let go of whose threads still
    // finish what they hold, so work in flight is done before a test process tears down its home.
    static void drainAll();
    // Waits until the tasks submitted before the call have run, or until the deadline (then false;
    // the queue goes on as before).
    bool drainUntil(std::chrono::steady_clock::time_point deadline);
    // Drains every other queue as drainAll does, each once; true when afterwards none holds a task any
    // more (work queued meanwhile asks for another round).
    static bool drainAllUntil(std::chrono::steady_clock::time_point deadline);
    // The way out of the process: no queue runs a further task. Tasks queued afterwards are dropped;
    // `sync` then runs its task on the calling thread, as no queue would.
    static void stopAll();
    static bool stopped();
    ClockPtr clock() const;
    // Null goes back to the steady clock. Deadlines already set stay as they are in the new clock's time.
    void setClock(ClockPtr clock);

  private:
    friend class Timer;
    // What the worker thread works on (defined with the queue). The thread holds it too, so a queue
    // whose last owner lets go from one of the queue's own tasks is destroyed safely: the thread
    // finishes on this state alone.
    struct Worker;
    // Without a deadline the task runs in its turn; with one, once the queue's clock reaches it.
    void enqueue(Task task, std::optional<QueueClock::TimePoint> deadline);
    bool holdIfIdle();
    static bool callerIsMainQueue();
    // Every worker whose thread has not ended: a queue's thread leaves the list as it ends.
    static std::vector<std::shared_ptr<Worker>>& liveWorkers();
    static void unlist(const Worker* w);
    static std::vector<std::shared_ptr<Worker>> otherLiveWorkers();
    // Waits until the tasks the worker holds now have run (without a deadline, for as long as it takes).
    static bool drainWorker(const std::shared_ptr<Worker>& w,
                            std::optional<std::chrono::steady_clock::time_point> deadline);
    void at(QueueClock::TimePoint when, Task task) { enqueue(std::move(task), when); }
    static void run(const std::shared_ptr<Worker>& worker);
    static void promoteDue(Worker& w);
    static Task drainRequest(Worker& w);
    static void drainOnLoop(const std::weak_ptr<Worker>& weak, uint64_t generation, bool timed);
    static void runLastTurn(Worker& w, size_t owed);
    static void runOnLoopThread(Worker& w, Task& task);
    static void clockMoved(const std::weak_ptr<Worker>& weak);
    static std::shared_ptr<void> watchClock(const ClockPtr& clock, const std::shared_ptr<Worker>& w);
    std::string name_;
    std::shared_ptr<Worker> worker_;
    std::thread thread_;
};

using QueuePtr = std::shared_ptr<SerialQueue>;

// A timer firing on a queue, by the queue's clock; repeating timers fire every interval until
// invalidated. A repeating timer that fell behind fires once, then keeps to its beat.
class Timer : public std::enable_shared_from_this<Timer> {
  public:
    static std::shared_ptr<Timer> schedule(QueuePtr queue, double intervalSeconds, bool repeats, Task fire);
    Timer(QueuePtr queue, double interval, bool repeats, Task fire);
    void invalidate();
    bool isValid() const;
    double interval() const { return interval_; }

  private:
    void arm(QueueClock::TimePoint when);
    void fired(QueueClock::TimePoint due);
    QueuePtr queue_;
    double interval_;
    bool repeats_;
    Task fire_;
    std::atomic<bool> valid_{true};
};

} // namespace foundation
