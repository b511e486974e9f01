// How a queue goes when its last owner lets go: from a thread that runs no queue's work it waits for
// what the queue still holds; from inside a chain of syncs it never waits on the threads of that chain.
#include <catch2/catch.hpp>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/SerialQueue.h"

using namespace foundation;

namespace {

// Runs a scenario on a thread of its own and waits for it within a generous bound, so that a scenario
// that hangs fails its test instead of the whole program. The scenario must own what it uses: when it
// hangs, its thread is left behind with it.
bool endsInTime(std::function<void()> scenario) {
    auto ended = std::make_shared<std::promise<void>>();
    auto endedFuture = ended->get_future();
    std::thread runner([scenario = std::move(scenario), ended] {
        scenario();
        ended->set_value();
    });
    if (endedFuture.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
        runner.detach();
        return false;
    }
    runner.join();
    return true;
}

// A task that keeps a queue busy until opened; held by that task, so it outlives a test that failed.
struct Gate : std::enable_shared_from_this<Gate> {
    std::promise<void> open;
    std::shared_future<void> opened = open.get_future().share();
    void hold(SerialQueue& queue) {
        auto started = std::make_shared<std::promise<void>>();
        queue.async([self = shared_from_this(), started] {
            started->set_value();
            self->opened.wait();
        });
        started->get_future().wait();
    }
};

// What a scenario shares with its test; kept alive by the scenario's thread should it hang.
struct Scene {
    QueuePtr holder; // the only owner of queue A
    std::weak_ptr<SerialQueue> a;
    QueuePtr b = SerialQueue::create("test.release.b");
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();
    std::promise<void> calling;
    std::string nameAfterRelease; // the queue running the outer task, asked after A was let go of
    std::atomic<bool> outerEnded{false};

    Scene() : holder(SerialQueue::create("test.release.a")), a(holder) {}
};

} // namespace

TEST_CASE("a queue let go of inside nested syncs goes without waiting for the caller", "[queue][release]") {
    auto scene = std::make_shared<Scene>();
    std::thread opener;

    SECTION("the outer queue idle: both syncs run on the caller's thread, which holds both queues") {}
    SECTION("the outer queue busy: the syncs run on its own thread") {
        scene->gate->hold(*scene->holder);
        // Opens as the sync is called; should it open first, the sync finds the queue idle, as above.
        opener = std::thread([scene] {
            scene->calling.get_future().wait();
            scene->gate->open.set_value();
        });
    }
    const bool ended = endsInTime([scene] {
        SerialQueue* a = scene->holder.get();
        scene->calling.set_value();
        a->sync([&] {
            scene->b->sync([&] { scene->holder.reset(); });
            // The queue is gone, but this task still runs on it, to its end.
            scene->nameAfterRelease = SerialQueue::currentQueueName();
            scene->outerEnded = true;
        });
    });
    if (opener.joinable()) opener.join();
    REQUIRE(ended);
    CHECK(scene->outerEnded);
    CHECK(scene->nameAfterRelease == "test.release.a");
    CHECK(scene->a.expired());
}

TEST_CASE("a queue let go of on the thread its own task waits for goes without waiting for it",
          "[queue][release]") {
    auto scene = std::make_shared<Scene>();
    std::thread opener;

    SECTION("the inner queue idle: its sync runs on the outer queue's thread") {}
    SECTION("the inner queue busy: its sync runs on its own thread, while the outer task waits for it") {
        scene->gate->hold(*scene->b);
        opener = std::thread([scene] {
            scene->calling.get_future().wait();
            scene->gate->open.set_value();
        });
    }
    const bool ended = endsInTime([scene] {
        auto outerDone = std::make_shared<std::promise<void>>();
        auto outerDoneFuture = outerDone->get_future();
        scene->holder->async([scene, outerDone] {
            scene->calling.set_value();
            scene->b->sync([&] { scene->holder.reset(); });
            scene->nameAfterRelease = SerialQueue::currentQueueName();
            scene->outerEnded = true;
            outerDone->set_value();
        });
        outerDoneFuture.wait();
    });
    if (opener.joinable()) opener.join();
    REQUIRE(ended);
    CHECK(scene->outerEnded);
    CHECK(scene->nameAfterRelease == "test.release.a");
    CHECK(scene->a.expired());
}

TEST_CASE("what a queue holds when it goes still runs, and is waited for as before", "[queue][release]") {
    auto queue = std::make_shared<QueuePtr>(SerialQueue::create("test.release.held"));
    std::weak_ptr<SerialQueue> weak = *queue;
    auto ran = std::make_shared<std::atomic<int>>(0);

    SECTION("let go of from a thread that runs no queue's work, it waits until its tasks have run") {
        (*queue)->async([ran] { ++*ran; });
        (*queue)->async([ran] { ++*ran; });
        queue->reset();
        CHECK(*ran == 2);
    }
    SECTION("let go of from another queue's task, it lets that task go on; the drains wait for the rest") {
        auto gate = std::make_shared<Gate>();
        gate->hold(**queue);
        (*queue)->async([ran] { ++*ran; });
        auto other = SerialQueue::create("test.release.other");
        REQUIRE(endsInTime([other, queue] { other->sync([&] { queue->reset(); }); }));
        CHECK(weak.expired());
        CHECK(*ran == 0); // the gate still holds the queue's thread
        SECTION("drainAll") {
            gate->open.set_value();
            SerialQueue::drainAll();
        }
        SECTION("the exit steps' drain, within a deadline") {
            CHECK_FALSE(SerialQueue::drainAllUntil(std::chrono::steady_clock::now()));
            gate->open.set_value();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            bool drained = false;
            while (!drained && std::chrono::steady_clock::now() < deadline)
                drained = SerialQueue::drainAllUntil(deadline);
            CHECK(drained);
        }
        CHECK(*ran == 1);
    }
}

TEST_CASE("queues made and let go of on many threads while another thread drains them all",
          "[queue][release][stress]") {
    constexpr int kThreads = 6;
    constexpr int kRounds = 200;
    struct Churn {
        std::atomic<bool> churning{true};
        std::atomic<int> ran{0};
        std::atomic<int> drains{0};
    };
    auto churn = std::make_shared<Churn>();
    const bool ended = endsInTime([churn] {
        std::thread drainer([churn] {
            while (churn->churning) {
                SerialQueue::drainAll();
                ++churn->drains;
            }
        });
        std::vector<std::thread> makers;
        for (int t = 0; t < kThreads; ++t)
            makers.emplace_back([churn, t] {
                auto inner = SerialQueue::create("test.churn.inner." + std::to_string(t));
                for (int round = 0; round < kRounds; ++round) {
                    auto owner = SerialQueue::create("test.churn." + std::to_string(t));
                    SerialQueue* q = owner.get();
                    q->async([churn] { ++churn->ran; });
                    switch (round % 4) {
                    case 0: // from this thread, with a task still queued
                        owner.reset();
                        break;
                    case 1: { // from the queue's own task
                        std::promise<void> done;
                        q->async([&] {
                            owner.reset();
                            ++churn->ran;
                            done.set_value();
                        });
                        done.get_future().wait();
                        break;
                    }
                    case 2: // inside nested syncs
                        q->sync([&] {
                            inner->sync([&] { owner.reset(); });
                            ++churn->ran;
                        });
                        break;
                    default: // from another queue's thread, inside a sync the queue's task waits on
                    {
                        std::promise<void> done;
                        q->async([&] {
                            inner->sync([&] { owner.reset(); });
                            ++churn->ran;
                            done.set_value();
                        });
                        done.get_future().wait();
                        break;
                    }
                    }
                }
            });
        for (auto& maker : makers)
            maker.join();
        churn->churning = false;
        drainer.join();
        SerialQueue::drainAll();
    });
    REQUIRE(ended);
    // One task each, and one more for every round but those let go of from the making thread.
    CHECK(churn->ran == kThreads * (kRounds + kRounds * 3 / 4));
    CHECK(churn->drains > 0);
}
