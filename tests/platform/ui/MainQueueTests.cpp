#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <catch2/catch.hpp>

#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/ui/MainQueue.h"
#include "tests/support/ManualQueueClock.h"

namespace {

// The main queue on the event loop for one test; on its own thread again afterwards.
struct MainQueueOnEventLoop {
    MainQueueOnEventLoop() { ui::installMainQueueExecutor(); }
    ~MainQueueOnEventLoop() { ui::removeMainQueueExecutor(); }
    MainQueueOnEventLoop(const MainQueueOnEventLoop&) = delete;
    MainQueueOnEventLoop& operator=(const MainQueueOnEventLoop&) = delete;
};

// The loop's turns below are QCoreApplication::sendPostedEvents(): it delivers every posted event,
// where one processEvents() may leave them for a later iteration.

// Which task ran, in order, and on which thread.
struct RunLog {
    std::mutex mutex;
    std::vector<int> order;
    std::vector<QThread*> threads;
    foundation::Task task(int i) {
        return [this, i] {
            std::lock_guard lock(mutex);
            order.push_back(i);
            threads.push_back(QThread::currentThread());
        };
    }
    size_t size() {
        std::lock_guard lock(mutex);
        return order.size();
    }
};

// Keeps the main queue's own thread inside a task until release(), with `count` tasks queued behind it.
struct QueueThreadHeld {
    std::promise<void> entered, opened;
    QueueThreadHeld(const foundation::QueuePtr& main, RunLog& log, int count) {
        main->async([this, gate = opened.get_future().share()] {
            entered.set_value();
            gate.wait();
        });
        entered.get_future().wait();
        for (int i = 0; i < count; ++i)
            main->async(log.task(i));
    }
    void release() { opened.set_value(); }
};

std::vector<int> upTo(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i)
        v.push_back(i);
    return v;
}

} // namespace

TEST_CASE("the main queue keeps its order across the event loop's arrival", "[ui][queue]") {
    ui::removeMainQueueExecutor(); // the main queue on its own thread, as in a program without a loop
    auto main = foundation::SerialQueue::main();
    RunLog log;

    SECTION("tasks queued before the install run first, in order, on the GUI thread") {
        // The main queue's own thread is inside a task while the loop arrives.
        QueueThreadHeld held(main, log, 5);
        MainQueueOnEventLoop loop;
        for (int i = 5; i < 10; ++i)
            main->async(log.task(i));
        QCoreApplication::sendPostedEvents(); // a turn of the loop while the earlier tasks still wait
        held.release();
        REQUIRE(QTest::qWaitFor([&] { return log.size() == 10; }, 5000));
        CHECK(log.order == upTo(10));
        CHECK(std::count(log.threads.begin(), log.threads.end(), qApp->thread()) == 10);
    }
    SECTION(
        "a loop that goes runs what it still owes as its last turn, later tasks go to the queue's thread") {
        {
            MainQueueOnEventLoop loop;
            for (int i = 0; i < 5; ++i)
                main->async(log.task(i));
            CHECK(log.size() == 0);
        }
        CHECK(log.size() == 5);
        for (int i = 5; i < 10; ++i)
            main->async(log.task(i));
        main->drain();
        REQUIRE(log.size() == 10);
        CHECK(log.order == upTo(10));
        CHECK(std::count(log.threads.begin(), log.threads.end(), qApp->thread()) == 5);
        CHECK(std::count(log.threads.begin() + 5, log.threads.end(), qApp->thread()) == 0);
    }
    SECTION("a loop removed from another thread leaves its tasks to the queue's thread, in order") {
        MainQueueOnEventLoop loop;
        for (int i = 0; i < 5; ++i)
            main->async(log.task(i));
        std::thread([] { ui::removeMainQueueExecutor(); }).join();
        for (int i = 5; i < 10; ++i)
            main->async(log.task(i));
        main->drain();
        REQUIRE(log.size() == 10);
        CHECK(log.order == upTo(10));
        CHECK(std::count(log.threads.begin(), log.threads.end(), qApp->thread()) == 0);
    }
    SECTION("a loop that comes and goes while the queue's thread is inside a task leaves the rest to it") {
        QueueThreadHeld held(main, log, 5);
        {
            MainQueueOnEventLoop loop;
            QCoreApplication::sendPostedEvents();
        }
        CHECK(log.size() == 0); // nothing ran beside the task still running
        held.release();
        main->drain();
        REQUIRE(log.size() == 5);
        CHECK(log.order == upTo(5));
        CHECK(std::count(log.threads.begin(), log.threads.end(), qApp->thread()) == 0);
    }
    SECTION("a task the loop runs is on the main queue") {
        MainQueueOnEventLoop loop;
        bool current = false;
        std::string name;
        main->async([&] {
            current = main->isCurrent();
            name = foundation::SerialQueue::currentQueueName();
        });
        REQUIRE(QTest::qWaitFor([&] { return current; }, 5000));
        CHECK(name == main->name());
    }
}

TEST_CASE("the main queue's delayed tasks and timers keep its clock, on the loop too", "[ui][queue][timer]") {
    ui::removeMainQueueExecutor();
    auto main = foundation::SerialQueue::main();
    testsupport::ManualTimeOn time(main);
    RunLog log;

    SECTION("on the loop") {
        MainQueueOnEventLoop loop;
        main->after(0.5, log.task(1));
        main->after(0.25, log.task(0));
        QCoreApplication::sendPostedEvents();
        CHECK(log.size() == 0);
        time.advance(0.25);
        QCoreApplication::sendPostedEvents();
        CHECK(log.order == std::vector<int>{0});
        time.advance(0.25);
        QCoreApplication::sendPostedEvents();
        CHECK(log.order == std::vector<int>{0, 1});
        CHECK(log.threads == std::vector<QThread*>{qApp->thread(), qApp->thread()});

        auto ticks = 0;
        auto timer = foundation::Timer::schedule(main, 0.25, true, [&] { ++ticks; });
        for (int i = 1; i <= 3; ++i) {
            time.advance(0.25);
            QCoreApplication::sendPostedEvents();
            CHECK(ticks == i);
        }
        timer->invalidate();
        time.advance(0.25);
        QCoreApplication::sendPostedEvents();
        CHECK(ticks == 3);
    }
    SECTION("a delay set before the loop came falls due on the loop") {
        main->after(0.25, log.task(0));
        MainQueueOnEventLoop loop;
        time.advance(0.25);
        QCoreApplication::sendPostedEvents();
        REQUIRE(log.size() == 1);
        CHECK(log.threads[0] == qApp->thread());
    }
    SECTION("and one set on the loop falls due on the queue's own thread once the loop has gone") {
        {
            MainQueueOnEventLoop loop;
            main->after(0.25, log.task(0));
        }
        time.advance(0.25);
        main->drain();
        REQUIRE(log.size() == 1);
        CHECK(log.threads[0] != qApp->thread());
    }
}

TEST_CASE("a nested loop inside a main queue task runs the tasks queued behind it", "[ui][queue]") {
    MainQueueOnEventLoop onLoop;
    auto main = foundation::SerialQueue::main();
    bool behindRan = false, waited = false, done = false;
    // Queued together, so one drain holds both: the first waits, running the loop, for the second.
    main->async([&] {
        waited = QTest::qWaitFor([&] { return behindRan; }, 5000);
        done = true;
    });
    main->async([&] { behindRan = true; });
    REQUIRE(QTest::qWaitFor([&] { return done; }, 30000));
    CHECK(waited);
}

TEST_CASE("a main queue task that throws is logged and the loop goes on", "[ui][queue][exception]") {
    MainQueueOnEventLoop loop;
    auto main = foundation::SerialQueue::main();
    foundation::LogCapture capture;
    RunLog log;
    main->async(log.task(0));
    main->async([] { foundation::raise(foundation::kInvalidArgumentException, "no chart %@", "K-17"); });
    main->async(log.task(1));
    REQUIRE(QTest::qWaitFor([&] { return log.size() == 2; }, 5000));
    CHECK(capture.lines() ==
          std::vector<std::string>{foundation::describeUncaught(std::make_exception_ptr(
              foundation::NamedException(foundation::kInvalidArgumentException, "no chart K-17")))});
}
