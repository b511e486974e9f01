// The way out of the process: steps in order, once, within their bound; queues that finish what they
// hold, chains of work included, and then run nothing more.
#include <catch2/catch.hpp>

#include <atomic>
#include <cstdlib>
#include <future>
#include <thread>

#include "platform/foundation/ExitSteps.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ManualQueueClock.h"

using namespace foundation;
using Clock = std::chrono::steady_clock;

TEST_CASE("exit steps run once, in order, within their bound", "[exit]") {
    ExitSequence sequence;
    std::vector<std::string> ran;
    std::mutex mutex;
    auto step = [&](std::string name) {
        return [&, name](ExitSequence::Deadline) {
            std::lock_guard lock(mutex);
            ran.push_back(name);
        };
    };

    SECTION("by order, equal orders as added; a second run does nothing") {
        sequence.add(20, "b", step("b"));
        sequence.add(10, "a", step("a"));
        sequence.add(20, "c", step("c"));
        CHECK_FALSE(sequence.hasStarted());
        CHECK(sequence.run(5.0));
        CHECK(sequence.hasStarted());
        CHECK(sequence.run(5.0));
        CHECK(ran == std::vector<std::string>{"a", "b", "c"});
    }
    SECTION("a step that throws is logged and the next one runs") {
        LogCapture log;
        sequence.add(1, "failing", [](ExitSequence::Deadline) { throw std::runtime_error("no disk"); });
        sequence.add(2, "next", step("next"));
        CHECK(sequence.run(5.0));
        CHECK(log.contains("On the way out, 'failing' failed:"));
        CHECK(ran == std::vector<std::string>{"next"});
    }
    SECTION("a step that overruns the bound is left to itself; the steps after it do not run") {
        LogCapture log;
        auto release = std::make_shared<std::promise<void>>();
        sequence.add(1, "stuck",
                     [gate = release->get_future().share()](ExitSequence::Deadline) { gate.wait(); });
        sequence.add(2, "after", step("after"));
        const auto start = Clock::now();
        CHECK_FALSE(sequence.run(0.2));
        CHECK(Clock::now() - start < std::chrono::seconds(5));
        CHECK_FALSE(sequence.run(5.0)); // the outcome stays
        CHECK(log.contains("On the way out, 'stuck' did not end within 0.2 s"));
        CHECK(ran.empty());
        release->set_value();
    }
}

TEST_CASE("queues drain within a deadline, chains of work included", "[exit][queue]") {
    auto first = SerialQueue::create("test.exit.first");
    auto second = SerialQueue::create("test.exit.second");
    std::atomic<int> done{0};
    // Work on one queue that queues more work on the other, twice over.
    first->async([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        second->async([&] {
            ++done;
            first->async([&] { ++done; });
        });
    });
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!SerialQueue::drainAllUntil(deadline))
        REQUIRE(Clock::now() < deadline);
    CHECK(done == 2);

    SECTION("a queue held past the deadline reports it") {
        std::promise<void> release;
        auto gate = release.get_future().share();
        first->async([gate] { gate.wait(); });
        CHECK_FALSE(first->drainUntil(Clock::now() + std::chrono::milliseconds(100)));
        release.set_value();
        CHECK(first->drainUntil(Clock::now() + std::chrono::seconds(10)));
    }
}

// Stopping is for the end of a process: it is shown in a process of its own, this program run again for
// the hidden case below alone.
TEST_CASE("stopped queues run nothing more; sync runs on the caller", "[exit][queue]") {
    // Meanwhile threads of this process make queues and let go of them, taking the queues' own locks: a
    // child that began as a copy of this process could find one of them held for ever.
    std::atomic<bool> churning{true};
    std::thread churn([&] {
        while (churning)
            SerialQueue::create("test.exit.churn");
    });
    const auto child =
        testsupport::runThisProgram("[stopped-queues-child]", {{"ZARUVEDEZ_STOPPED_QUEUES_CHILD", "1"}});
    churning = false;
    churn.join();
    INFO(child.out << child.err);
    CHECK(child.exitedWith(0));
    CHECK(child.out.find("All tests passed") != std::string::npos);
    CHECK_FALSE(SerialQueue::stopped()); // this process goes on
}

TEST_CASE("stopped queues, in a process of their own", "[.][stopped-queues-child]") {
    if (!std::getenv("ZARUVEDEZ_STOPPED_QUEUES_CHILD")) return; // only ever run by the case above
    auto clock = std::make_shared<testsupport::ManualQueueClock>();
    auto queue = SerialQueue::create("test.exit.stopped", clock);
    queue->drain();
    SerialQueue::stopAll();
    CHECK(SerialQueue::stopped());
    std::atomic<bool> ranAsync{false}, ranDelayed{false};
    std::thread::id syncRanOn;
    queue->async([&] { ranAsync = true; });
    queue->after(0.25, [&] { ranDelayed = true; });
    clock->advance(0.25);
    queue->sync([&] { syncRanOn = std::this_thread::get_id(); });
    CHECK(syncRanOn == std::this_thread::get_id());
    queue.reset(); // its thread has ended here: what it did not run by now, it never runs
    CHECK_FALSE(ranAsync);
    CHECK_FALSE(ranDelayed);
}
