#pragma once
// Serial queues: one worker thread each, tasks run one at a time in submission order. The main queue
// runs on the app's event loop once one is installed (setMainExecutor); before that, on a thread of
// its own, so plain programs and tests work without an event loop.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace foundation {

using Task = std::function<void()>;

// How the main queue reaches an event loop (the GUI layer installs one).
struct MainExecutor {
    std::function<void(Task, double delaySeconds)> post;
    std::function<bool()> isCurrentThread;
};

class SerialQueue : public std::enable_shared_from_this<SerialQueue> {
  public:
    explicit SerialQueue(std::string name);
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    static std::shared_ptr<SerialQueue> create(std::string name) {
        return std::make_shared<SerialQueue>(std::move(name));
    }
    static std::shared_ptr<SerialQueue> main();
    static void setMainExecutor(MainExecutor executor);
    static void clearMainExecutor();

    const std::string& name() const { return name_; }
    void async(Task task);
    // Runs the task and waits for it. Called from the queue's own thread, it runs inline.
    void sync(const Task& task);
    void after(double seconds, Task task);
    bool isCurrent() const;
    // The name of the queue running the calling thread, or empty.
    static std::string currentQueueName();
    // Waits until every task submitted before this call has run (tests).
    void drain() {
        sync([] {});
    }

  private:
    // What the worker thread works on. The thread holds it too, so a queue whose last owner lets go
    // from one of the queue's own tasks is destroyed safely: the thread finishes on this state alone.
    struct Worker {
        std::string name;
        std::mutex mutex;
        std::condition_variable cv;
        std::deque<Task> tasks;
        std::multimap<std::chrono::steady_clock::time_point, Task> delayed;
        bool stopping = false;
    };
    static void run(const std::shared_ptr<Worker>& worker);
    bool isMain() const;
    std::string name_;
    std::shared_ptr<Worker> worker_;
    std::thread thread_;
};

using QueuePtr = std::shared_ptr<SerialQueue>;

// A timer firing on a queue; repeating timers fire every interval until invalidated.
class Timer : public std::enable_shared_from_this<Timer> {
  public:
    static std::shared_ptr<Timer> schedule(QueuePtr queue, double intervalSeconds, bool repeats, Task fire);
    Timer(QueuePtr queue, double interval, bool repeats, Task fire);
    void invalidate();
    bool isValid() const;
    double interval() const { return interval_; }

  private:
    void arm();
    QueuePtr queue_;
    double interval_;
    bool repeats_;
    Task fire_;
    mutable std::mutex mutex_;
    bool valid_ = true;
};

} // namespace foundation
