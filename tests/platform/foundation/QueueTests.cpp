#include <catch2/catch.hpp>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SerialQueue.h"

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

TEST_CASE("a queue whose last owner lets go from one of its own tasks ends cleanly", "[queue]") {
    // The owner's destructor destroys the queue on the queue's own thread, then says it finished.
    struct Owner {
        explicit Owner(std::shared_ptr<std::promise<void>> f) : finished(std::move(f)) {}
        Owner(const Owner&) = delete;
        std::shared_ptr<std::promise<void>> finished;
        QueuePtr queue = SerialQueue::create("test.self-owned");
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

    SECTION("the task holds the last reference when it ends") {
        {
            auto owner = std::make_shared<Owner>(finished);
            owner->queue->async([owner, releasedFuture, &ran] {
                releasedFuture.wait();
                ++ran;
            });
        }
        released.set_value();
    }
    SECTION("a one-shot timer holds the last reference to its queue") {
        {
            auto owner = std::make_shared<Owner>(finished);
            Timer::schedule(owner->queue, 0.001, false, [owner, releasedFuture, &ran] {
                releasedFuture.wait();
                ++ran;
            });
        }
        released.set_value();
    }
    REQUIRE(finishedFuture.wait_for(std::chrono::seconds(5)) == std::future_status::ready);
    CHECK(ran == 1);
}

TEST_CASE("delayed tasks and timers", "[queue]") {
    auto q = SerialQueue::create("test.timer");
    std::atomic<int> fired{0};
    SECTION("after runs later, not before") {
        q->after(0.05, [&] { fired = 1; });
        q->drain();
        CHECK(fired == 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        q->drain();
        CHECK(fired == 1);
    }
    SECTION("a repeating timer fires until invalidated, and a dropped handle keeps it running") {
        auto t = Timer::schedule(q, 0.01, true, [&] { ++fired; });
        std::weak_ptr<Timer> weak = t;
        t.reset();
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
        int sofar = fired;
        CHECK(sofar >= 2);
        weak.lock()->invalidate();
        q->drain();
        int after = fired;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        CHECK(fired == after);
    }
    SECTION("a one-shot timer fires once and becomes invalid") {
        auto t = Timer::schedule(q, 0.01, false, [&] { ++fired; });
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        CHECK(fired == 1);
        CHECK_FALSE(t->isValid());
    }
}

TEST_CASE("notification centre delivers by name and sender; tokens unregister", "[notifications]") {
    auto c = std::make_shared<NotificationCenter>();
    int a = 0, b = 0;
    int senderA = 0, senderB = 0;
    Dictionary got;
    auto t1 = c->addObserver("N", nullptr, nullptr, [&](const Notification& n) {
        ++a;
        got = n.userInfo;
    });
    auto t2 = c->addObserver("N", &senderA, nullptr, [&](const Notification&) { ++b; });
    c->post("N", &senderB, {{"k", Value("v")}});
    CHECK(a == 1);
    CHECK(b == 0);
    CHECK(got["k"] == Value("v"));
    c->post("N", &senderA);
    CHECK(b == 1);
    c->post("Other");
    CHECK(a == 2);
    t1.reset();
    c->post("N", &senderA);
    CHECK(a == 2);
    CHECK(b == 2);
    CHECK(c->observerCount() == 1);

    SECTION("delivery on a queue is asynchronous on that queue") {
        auto q = SerialQueue::create("test.notify");
        std::string where;
        auto t3 = c->addObserver("Q", nullptr, q,
                                 [&](const Notification&) { where = SerialQueue::currentQueueName(); });
        c->post("Q");
        q->drain();
        CHECK(where == "test.notify");
    }
}
