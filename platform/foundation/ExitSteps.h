#pragma once
// The way out of the process. Background work must end, or be waited for, before static destruction
// frees what it uses. Layers add steps (the SDK: give up uploads, write what is kept); the last one,
// the foundation's own, waits for every serial queue until nothing more is queued and then stops them,
// so nothing runs afterwards. The steps run once, in a fixed order, within one bound, at main's return:
// programs call run() before returning; for those that do not, an exit handler installed with the
// first step runs them (and, should they overrun, ends the process without static destruction).
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace foundation {

// An ordered list of steps, run once within a bound. The process has one (ExitSteps); tests make
// their own.
class ExitSequence {
  public:
    using Deadline = std::chrono::steady_clock::time_point;

    // Steps run by ascending order, equal orders in the order they were added. A step is told the
    // deadline of the whole sequence and should not wait beyond it.
    void add(int order, std::string name, std::function<void(Deadline)> step);
    // Runs the steps once, each on a thread of its own so the bound holds whatever it waits for; later
    // calls return the first call's outcome. False when a step did not end in time: it is left running
    // and the steps after it do not run.
    bool run(double boundSeconds);
    bool hasStarted() const { return started_; }

  private:
    struct Step {
        int order;
        std::string name;
        std::function<void(Deadline)> run;
    };
    std::mutex mutex_;
    std::vector<Step> steps_;
    std::atomic<bool> started_{false};
    bool ran_ = false;
    bool outcome_ = true;
};

class ExitSteps {
  public:
    using Deadline = ExitSequence::Deadline;
    static constexpr double kDefaultBoundSeconds = 5.0;
    // The foundation's last step: every serial queue finishes what it holds, then all stop.
    static constexpr int kOrderQueuesFinish = 1000;

    static void add(int order, std::string name, std::function<void(Deadline)> step);
    // False when the steps overran: the work still running must not be followed by static
    // destruction (std::quick_exit leaves without it).
    static bool run(double boundSeconds = kDefaultBoundSeconds);
    // From the start of run(): long work (a network request) ends early when it sees this.
    static bool leaving();
};

} // namespace foundation
