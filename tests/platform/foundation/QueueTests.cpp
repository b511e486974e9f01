#include <catch2/catch.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"
#include "tests/support/ManualQueueClock.h"

using namespace foundation;

TEST_CASE("serial queues run tasks one at a time in order", "[queue]") {
    auto q = SerialQueue::create("test.order");
    std::vector<int> seen;
    for (int i = 0; i < 100; ++i)
        q->async([&seen, i] { seen.push_back(i); });
    q->drain();
    REQUIRE(seen.size() == 100);
    for (int i = 0; i < 100; ++i)
        CHECK(seen[size_t(i)] == i);

    SECTION("sync from the queue itself runs inline instead of deadlocking") {
        bool inner = false;
        q->sync([&] { q->sync([&] { inner = true; }); });
        CHECK(inner);
    }
    SECTION("the running task knows its queue") {
        std::string name;
        q->sync([&] { name = SerialQueue::currentQueueName(); });
        CHECK(name == "test.order");
        CHECK_FALSE(q->isCurrent());
    }
    SECTION("sync rethrows the task's exception on the caller") {
        CHECK_THROWS_AS(q->sync([] { throw std::runtime_error("x"); }), std::runtime_error);
    }
}

TEST_CASE("sync on an idle queue runs on the caller's thread and still holds the queue", "[queue]") {
    auto q = SerialQueue::create("test.inline");
    const auto caller = std::this_thread::get_id();

    SECTION("inside, the task is on its queue") {
        std::thread::id ranOn;
        bool current = false;
        std::string name;
        q->sync([&] {
            ranOn = std::this_thread::get_id();
            current = q->isCurrent();
            name = SerialQueue::currentQueueName();
        });
        CHECK(ranOn == caller);
        CHECK(current);
        CHECK(name == "test.inline");
        CHECK_FALSE(q->isCurrent());
        CHECK(SerialQueue::currentQueueName().empty());
    }
    SECTION("a task queued meanwhile from another thread waits for it") {
        std::promise<void> inside, queued;
        std::atomic<bool> syncEnded{false}, sawEnded{false};
        std::thread other([&] {
            inside.get_future().wait();
            q->async([&] { sawEnded = syncEnded.load(); });
            queued.set_value();
        });
        q->sync([&] {
            inside.set_value();
            queued.get_future().wait();
            syncEnded = true;
        });
        other.join();
        q->drain();
        CHECK(sawEnded);
    }
    SECTION("a sync behind a running task waits for it, in order") {
        std::promise<void> gate, started;
        std::vector<int> order;
        q->async([&] {
            started.set_value();
            gate.get_future().wait();
            order.push_back(1);
        });
        started.get_future().wait();
        std::thread other([&] { q->sync([&] { order.push_back(2); }); });
        gate.set_value();
        other.join();
        CHECK(order == std::vector<int>{1, 2});
    }
    SECTION("the task may let go of the queue's last owner") {
        auto owned = std::make_shared<QueuePtr>(SerialQueue::create("test.inline-owned"));
        std::weak_ptr<SerialQueue> weak = *owned;
        QueuePtr* slot = owned.get();
        (*slot)->sync([&] { owned.reset(); });
        CHECK(weak.expired());
    }
    SECTION("a throwing task leaves the queue working") {
        CHECK_THROWS_AS(q->sync([] { throw std::runtime_error("x"); }), std::runtime_error);
        bool ran = false;
        q->async([&] { ran = true; });
        q->drain();
        CHECK(ran);
    }
    SECTION("the main queue's tasks never run on the caller's thread") {
        std::thread::id ranOn;
        SerialQueue::main()->sync([&] { ranOn = std::this_thread::get_id(); });
        CHECK(ranOn != caller);
    }
}

namespace {

// The main queue on an event loop that the test's own thread turns, as the GUI thread would.
class TestLoop {
  public:
    TestLoop() {
        MainExecutor executor;
        executor.post = [state = state_](Task drain, double /*delaySeconds*/) {
            {
                std::lock_guard lock(state->mutex);
                state->posted.push_back(std::move(drain));
            }
            state->cv.notify_all();
        };
        executor.isCurrentThread = [state = state_] { return std::this_thread::get_id() == state->thread; };
        SerialQueue::setMainExecutor(std::move(executor));
    }
    ~TestLoop() { SerialQueue::clearMainExecutor(); }
    TestLoop(const TestLoop&) = delete;
    TestLoop& operator=(const TestLoop&) = delete;

    // Runs the drains posted to the loop until `done` holds.
    void runUntil(const std::function<bool()>& done) {
        while (!done()) {
            Task drain;
            {
                std::unique_lock lock(state_->mutex);
                state_->cv.wait(lock, [&] { return !state_->posted.empty(); });
                drain = std::move(state_->posted.front());
                state_->posted.pop_front();
            }
            drain();
        }
    }

  private:
    struct State {
        std::mutex mutex;
        std::condition_variable cv;
        std::deque<Task> posted;
        std::thread::id thread = std::this_thread::get_id();
    };
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

} // namespace

TEST_CASE("a task of the main queue on its loop syncs to an idle queue as it would to a busy one",
          "[queue]") {
    // Inside the other queue's task the main queue is not current, so a sync back to it waits for the
    // loop whether the other queue was idle or busy (a wait cycle is the same deadlock on both), and
    // the task runs on the other queue's thread, not the loop's.
    auto q = SerialQueue::create("test.from-main");
    TestLoop loop;
    const auto loopThread = std::this_thread::get_id();
    std::promise<void> gate, calling;
    std::thread opener;

    SECTION("an idle queue") {}
    SECTION("a queue busy with a task") {
        q->async([f = gate.get_future().share()] { f.wait(); });
        opener = std::thread([&] {
            calling.get_future().wait();
            gate.set_value();
        });
    }
    bool fromTask = true;
    SECTION("the loop's own code, outside the main queue's tasks") {
        fromTask = false;
    }
    bool done = false, mainCurrent = true;
    std::thread::id ranOn;
    auto syncToQueue = [&] {
        calling.set_value();
        q->sync([&] {
            ranOn = std::this_thread::get_id();
            mainCurrent = SerialQueue::main()->isCurrent();
        });
        done = true;
    };
    if (fromTask) {
        SerialQueue::main()->async(syncToQueue);
        loop.runUntil([&] { return done; });
    } else {
        syncToQueue();
    }
    if (opener.joinable()) opener.join();
    CHECK(ranOn != loopThread);
    CHECK_FALSE(mainCurrent);
}

TEST_CASE("a queue whose last owner lets go from one of its own tasks ends cleanly", "[queue]") {
    // The owner's destructor destroys the queue on the queue's own thread, then says it finished.
    struct Owner {
        Owner(std::shared_ptr<std::promise<void>> f, ClockPtr clock)
            : finished(std::move(f)), queue(SerialQueue::create("test.self-owned", std::move(clock))) {}
        Owner(const Owner&) = delete;
        std::shared_ptr<std::promise<void>> finished;
        QueuePtr queue;
        ~Owner() {
            queue.reset();
            finished->set_value();
        }
    };
    auto finished = std::make_shared<std::promise<void>>();
    auto finishedFuture = finished->get_future();
    std::promise<void> released;
    std::shared_future<void> releasedFuture = released.get_future().share();
    std::atomic<int> ran{0};
    auto clock = std::make_shared<testsupport::ManualQueueClock>();

    SECTION("the task holds the last reference when it ends") {
        {
            auto owner = std::make_shared<Owner>(finished, clock);
            owner->queue->async([owner, releasedFuture, &ran] {
                releasedFuture.wait();
                ++ran;
            });
        }
        released.set_value();
    }
    SECTION("a one-shot timer holds the last reference to its queue") {
        {
            auto owner = std::make_shared<Owner>(finished, clock);
            Timer::schedule(owner->queue, 0.25, false, [owner, releasedFuture, &ran] {
                releasedFuture.wait();
                ++ran;
            });
        }
        clock->advance(0.25);
        released.set_value();
    }
    REQUIRE(finishedFuture.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
    CHECK(ran == 1);
}

TEST_CASE("tasks may let go of their queue's last owner on an idle queue or behind other work", "[queue]") {
    // Mixed rounds: a sync that finds the queue idle, a sync that waits behind a running task, and a
    // queued task; each lets go of the last owner. The caller must be done with the queue's worker
    // state by then (ThreadSanitizer and AddressSanitizer see it touched after it was freed).
    int ran = 0;
    for (int round = 0; round < 300; ++round) {
        auto owner = std::make_shared<QueuePtr>(SerialQueue::create("test.let-go"));
        std::weak_ptr<SerialQueue> weak = *owner;
        SerialQueue* q = owner->get();
        switch (round % 3) {
        case 0:
            q->sync([&] {
                owner.reset();
                ++ran;
            });
            break;
        case 1: {
            std::promise<void> gate, calling;
            q->async([f = gate.get_future().share()] { f.wait(); });
            std::thread opener([&] {
                calling.get_future().wait();
                gate.set_value();
            });
            calling.set_value();
            q->sync([&] {
                owner.reset();
                ++ran;
            });
            opener.join();
            break;
        }
        default: {
            std::promise<void> done;
            q->async([&] {
                owner.reset();
                ++ran;
                done.set_value();
            });
            done.get_future().wait();
            break;
        }
        }
        CHECK(weak.expired());
    }
    CHECK(ran == 300);
}

TEST_CASE("delayed tasks and timers keep the queue's clock", "[queue][timer]") {
    auto clock = std::make_shared<testsupport::ManualQueueClock>();
    auto q = SerialQueue::create("test.timer", clock);
    std::vector<std::string> seen; // touched on the queue, read after a drain
    auto note = [&](std::string what) { return [&seen, what] { seen.push_back(what); }; };

    SECTION("after runs once its time has come, not before, and in deadline order") {
        q->after(0.5, note("half"));
        q->after(0.25, note("quarter"));
        q->after(0.5, note("half again"));
        q->drain();
        CHECK(seen.empty());
        clock->advance(0.125);
        q->drain();
        CHECK(seen.empty());
        clock->advance(0.125);
        q->drain();
        CHECK(seen == std::vector<std::string>{"quarter"});
        clock->advance(0.25);
        q->drain();
        CHECK(seen == std::vector<std::string>{"quarter", "half", "half again"});
    }
    SECTION("a task that fell due runs before one queued after that") {
        q->after(0.25, note("due"));
        clock->advance(0.25);
        q->async(note("later"));
        q->drain();
        CHECK(seen == std::vector<std::string>{"due", "later"});
    }
    SECTION("no delay, or a negative one, is the next turn") {
        q->after(0, note("zero"));
        q->after(-1, note("negative"));
        q->drain();
        CHECK(seen == std::vector<std::string>{"zero", "negative"});
    }
    SECTION("a one-shot timer fires once and becomes invalid") {
        auto t = Timer::schedule(q, 0.25, false, note("fired"));
        clock->advance(0.125);
        q->drain();
        CHECK(seen.empty());
        CHECK(t->isValid());
        clock->advance(0.125);
        q->drain();
        CHECK(seen.size() == 1);
        CHECK_FALSE(t->isValid());
        clock->advance(1);
        q->drain();
        CHECK(seen.size() == 1);
    }
    SECTION("a repeating timer fires every interval until invalidated; a dropped handle keeps it going") {
        auto t = Timer::schedule(q, 0.25, true, note("tick"));
        std::weak_ptr<Timer> weak = t;
        t.reset();
        for (int i = 1; i <= 3; ++i) {
            clock->advance(0.25);
            q->drain();
            CHECK(seen.size() == size_t(i));
        }
        REQUIRE(weak.lock());
        weak.lock()->invalidate();
        clock->advance(1);
        q->drain();
        CHECK(seen.size() == 3);
        CHECK(weak.expired()); // the queue let go of it
    }
    SECTION("a repeating timer that fell behind fires once, then keeps its beat") {
        auto t = Timer::schedule(q, 0.25, true, note("tick"));
        clock->advance(1.125); // beats at 0.25, 0.5, 0.75 and 1.0 all missed
        q->drain();
        CHECK(seen.size() == 1);
        clock->advance(0.125); // the next beat is 1.25, not 1.125 + 0.25
        q->drain();
        CHECK(seen.size() == 2);
        t->invalidate();
    }
    SECTION("a repeating timer whose handler throws goes on") {
        LogCapture log;
        int ticks = 0;
        auto t = Timer::schedule(q, 0.25, true, [&] {
            if (++ticks == 1) throw std::runtime_error("first tick");
        });
        clock->advance(0.25);
        q->drain();
        clock->advance(0.25);
        q->drain();
        CHECK(ticks == 2);
        CHECK(log.count("first tick") == 1);
        t->invalidate();
    }
    SECTION("a queue handed another clock keeps its deadlines in that clock's time") {
        q->after(0.25, note("due"));
        auto other = std::make_shared<testsupport::ManualQueueClock>();
        other->advance(0.25); // made after the first: a little ahead of it already, then a quarter more
        q->setClock(other);
        q->drain();
        CHECK(seen == std::vector<std::string>{"due"});
        CHECK(q->clock() == other);
    }
}

TEST_CASE("the steady clock still drives a queue without a clock of its own", "[queue][timer]") {
    auto q = SerialQueue::create("test.steady");
    CHECK(q->clock() == QueueClock::steady());
    std::promise<void> fired;
    q->after(0.001, [&] { fired.set_value(); });
    // The one wait on the wall clock: that real time reaches a delayed task at all.
    CHECK(fired.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready);
}

TEST_CASE("a task that throws is logged as an uncaught exception and the queue goes on",
          "[queue][exception]") {
    auto q = SerialQueue::create("test.throws");
    LogCapture log;
    std::vector<int> ran;
    std::exception_ptr thrown;

    SECTION("a named exception") {
        thrown = std::make_exception_ptr(NamedException(kInvalidArgumentException, "no such patient"));
    }
    SECTION("a standard exception") {
        thrown = std::make_exception_ptr(std::runtime_error("disk gone"));
    }
    SECTION("something that is no exception at all") {
        thrown = std::make_exception_ptr(42);
    }
    q->async([&] { ran.push_back(1); });
    q->async([thrown] { std::rethrow_exception(thrown); });
    q->async([&] { ran.push_back(2); });
    q->drain();
    CHECK(ran == std::vector<int>{1, 2});
    CHECK(log.lines() == std::vector<std::string>{describeUncaught(thrown)});
}

TEST_CASE("drainAll waits for the work of every live queue", "[foundation][queue]") {
    auto first = foundation::SerialQueue::create("test.drainAll.first");
    auto second = foundation::SerialQueue::create("test.drainAll.second");
    std::atomic<int> done{0};
    for (const auto& q : {first, second})
        q->async([&done] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ++done;
        });
    foundation::SerialQueue::drainAll();
    CHECK(done == 2);
    second.reset(); // a queue gone meanwhile is simply not there any more
    foundation::SerialQueue::drainAll();
}
