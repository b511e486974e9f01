#include <catch2/catch.hpp>

#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SerialQueue.h"

using namespace foundation;

namespace {

// Holds a queue's thread inside a task until opened, so whatever is posted meanwhile stays queued.
class Gate {
  public:
    explicit Gate(const QueuePtr& queue) {
        auto entered = std::make_shared<std::promise<void>>();
        auto inside = entered->get_future();
        queue->async([opened = opened_.get_future().share(), entered] {
            entered->set_value();
            opened.wait();
        });
        inside.wait();
    }
    ~Gate() { open(); }
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;
    void open() {
        if (isOpen_) return;
        isOpen_ = true;
        opened_.set_value();
    }

  private:
    std::promise<void> opened_;
    bool isOpen_ = false;
};

} // namespace

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
    SECTION("an observer removed by an earlier handler of the same post is not called") {
        ObserverPtr later;
        int laterCalls = 0;
        auto first = c->addObserver("R", nullptr, nullptr, [&](const Notification&) { later.reset(); });
        later = c->addObserver("R", nullptr, nullptr, [&](const Notification&) { ++laterCalls; });
        c->post("R");
        CHECK(laterCalls == 0);
    }
}

TEST_CASE("an observer's handler never runs after its removal", "[notifications][lifetime]") {
    auto c = std::make_shared<NotificationCenter>();
    int calls = 0;
    auto q = SerialQueue::create("test.notify.lifetime");

    SECTION("handlers still queued when the token goes are dropped") {
        auto token = c->addObserver("N", nullptr, q, [&](const Notification&) { ++calls; });
        {
            Gate gate(q);
            c->post("N");
            c->post("N");
            token.reset();
        }
        q->drain();
        CHECK(calls == 0);
    }
    SECTION("and so are they when the centre went before the token") {
        auto token = c->addObserver("N", nullptr, q, [&](const Notification&) { ++calls; });
        {
            Gate gate(q);
            c->post("N");
            c.reset();
            token.reset();
        }
        q->drain();
        CHECK(calls == 0);
    }
    SECTION("removal waits for a handler running on another thread, without holding the centre") {
        bool finished = false; // written by the handler, read here: the removal's wait orders the two
        std::promise<void> entered;
        auto token = c->addObserver("N", nullptr, q, [&](const Notification&) {
            entered.set_value();
            // Ends only once the removal has begun: the centre no longer lists the observer. Asking
            // it would never return if the remover held the centre's lock while it waits.
            while (c->observerCount() != 0)
                std::this_thread::yield();
            finished = true;
        });
        c->post("N");
        entered.get_future().wait();
        token.reset();
        CHECK(finished);
        q->drain();
    }
    SECTION("an owner destroyed while its handler runs elsewhere is not touched after its destructor") {
        struct Owner {
            ObserverPtr token;
            std::shared_ptr<bool> destroyed = std::make_shared<bool>(false);
            ~Owner() {
                token.reset();
                *destroyed = true;
            }
        };
        auto owner = std::make_unique<Owner>();
        auto destroyed = owner->destroyed;
        bool sawDestroyed = true;
        std::promise<void> entered;
        owner->token = c->addObserver("N", nullptr, q, [&, destroyed](const Notification&) {
            entered.set_value();
            while (c->observerCount() != 0)
                std::this_thread::yield();
            sawDestroyed = *destroyed;
        });
        c->post("N");
        entered.get_future().wait();
        owner.reset();
        CHECK(*destroyed);
        CHECK_FALSE(sawDestroyed);
    }
    SECTION("a handler that removes itself on the posting thread goes on and is not called again") {
        ObserverPtr token;
        token = c->addObserver("N", nullptr, nullptr, [&](const Notification&) {
            token.reset();
            ++calls;
        });
        c->post("N");
        c->post("N");
        CHECK(calls == 1);
        CHECK(c->observerCount() == 0);
    }
    SECTION("an owner whose last reference goes inside its own queued handler") {
        struct Owner {
            ObserverPtr token;
        };
        auto owner = std::make_shared<Owner>();
        owner->token = c->addObserver("N", nullptr, q, [&](const Notification&) {
            ++calls;
            owner.reset(); // the owner, and its token, end here on the handler's own thread
        });
        {
            Gate gate(q);
            c->post("N");
            c->post("N");
        }
        q->drain();
        CHECK(calls == 1);
        CHECK(owner == nullptr);
        CHECK(c->observerCount() == 0);
    }
    SECTION("handlers may use the centre: none runs under its lock") {
        ObserverPtr other = c->addObserver("Other", nullptr, nullptr, [&](const Notification&) { ++calls; });
        ObserverPtr added;
        auto token = c->addObserver("N", nullptr, nullptr, [&](const Notification&) {
            c->post("Other");
            added = c->addObserver("Added", nullptr, nullptr, [](const Notification&) {});
            other.reset();
            CHECK(c->observerCount() == 2);
        });
        c->post("N");
        CHECK(calls == 1);
        CHECK(added != nullptr);
    }
}
