#include "platform/foundation/ExitSteps.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <thread>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"

namespace foundation {

void ExitSequence::add(int order, std::string name, std::function<void(Deadline)> step) {
    std::lock_guard lock(mutex_);
    auto at = std::upper_bound(steps_.begin(), steps_.end(), order,
                               [](int o, const Step& s) { return o < s.order; });
    steps_.insert(at, Step{order, std::move(name), std::move(step)});
}

bool ExitSequence::run(double boundSeconds) {
    std::vector<Step> steps;
    {
        std::lock_guard lock(mutex_);
        if (ran_) return outcome_;
        ran_ = true;
        steps = steps_;
    }
    started_ = true;
    const Deadline deadline =
        std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(boundSeconds));
    bool ended = true;
    for (const auto& step : steps) {
        auto done = std::make_shared<std::promise<void>>();
        auto finished = done->get_future();
        std::thread([run = step.run, name = step.name, deadline, done] {
            try {
                run(deadline);
            } catch (...) {
                log("On the way out, '%@' failed: %@", name, describeUncaught(std::current_exception()));
            }
            done->set_value();
        }).detach();
        if (finished.wait_until(deadline) != std::future_status::ready) {
            log("On the way out, '%@' did not end within %@ s; the work still running is left to itself.",
                step.name, boundSeconds);
            ended = false;
            break;
        }
    }
    std::lock_guard lock(mutex_);
    outcome_ = ended;
    return ended;
}

namespace {

// Never destroyed: the steps run among the static destructors.
ExitSequence& processSequence() {
    static auto* sequence = [] {
        auto* s = new ExitSequence;
        s->add(ExitSteps::kOrderQueuesFinish, "serial queues finish", [](ExitSteps::Deadline deadline) {
            // Rounds until a round leaves nothing queued: work that queues more work is followed.
            while (!SerialQueue::drainAllUntil(deadline))
                if (std::chrono::steady_clock::now() >= deadline) return;
            SerialQueue::stopAll();
        });
        return s;
    }();
    return *sequence;
}

std::once_flag handlerOnce;

void runAtExit() {
    if (ExitSteps::run()) return;
    // Work still runs, and static destruction would free what it uses: leave without it.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

} // namespace

void ExitSteps::add(int order, std::string name, std::function<void(Deadline)> step) {
    processSequence().add(order, std::move(name), std::move(step));
    std::call_once(handlerOnce, [] { std::atexit(runAtExit); });
}

bool ExitSteps::run(double boundSeconds) {
    return processSequence().run(boundSeconds);
}

bool ExitSteps::leaving() {
    return processSequence().hasStarted();
}

} // namespace foundation
