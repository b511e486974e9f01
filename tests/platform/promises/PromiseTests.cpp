#include <catch2/catch.hpp>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/Exception.h"
#include "platform/foundation/Value.h"
#include "platform/promises/RVLPromise.h"

using namespace promises;
using foundation::Error;
using foundation::SerialQueue;

namespace {
ErrorPtr err(long code) {
    return Error::make("test.promises", code);
}

template <class T> T valueOf(const RVLPromise<T>& p) {
    REQUIRE(p.await(5));
    REQUIRE(p.isFulfilled());
    return *p.value();
}

template <class T> long errorCodeOf(const RVLPromise<T>& p) {
    REQUIRE(p.await(5));
    REQUIRE(p.isRejected());
    return p.error()->code();
}
} // namespace

TEST_CASE("a promise settles once", "[promise]") {
    auto p = RVLPromise<int>::pendingPromise();
    CHECK(p.isPending());
    CHECK_FALSE(p.await(0.001));

    SECTION("a fulfilment ignores later fulfilments and rejections") {
        p.fulfill(1);
        p.fulfill(2);
        p.reject(err(9));
        CHECK(valueOf(p) == 1);
        CHECK_FALSE(p.error());
    }
    SECTION("a rejection ignores later fulfilments") {
        p.reject(err(3));
        p.fulfill(4);
        CHECK(errorCodeOf(p) == 3);
        CHECK_FALSE(p.value());
    }
    SECTION("rejecting with no error still rejects, with a promise error") {
        p.reject(nullptr);
        REQUIRE(p.isRejected());
        CHECK(p.error()->domain() == kPromiseErrorDomain);
    }
    SECTION("racing threads: exactly one resolution wins") {
        std::vector<std::thread> threads;
        for (int i = 0; i < 8; ++i)
            threads.emplace_back([p, i] { i % 2 ? p.fulfill(i) : p.reject(err(i)); });
        for (auto& t : threads)
            t.join();
        CHECK_FALSE(p.isPending());
        CHECK(p.value().has_value() != bool(p.error()));
    }
}

TEST_CASE("creating promises", "[promise]") {
    SECTION("resolvedWith a value, a nil value, an error, or another promise") {
        CHECK(valueOf(RVLPromise<std::string>::resolvedWith("x")) == "x");
        auto nil = RVLPromise<std::shared_ptr<int>>::resolvedWith(nullptr);
        CHECK(nil.isFulfilled());
        CHECK(valueOf(nil) == nullptr);
        CHECK(valueOf(RVLPromise<foundation::Value>::resolvedWith(foundation::Value())).isNull());
        CHECK(errorCodeOf(RVLPromise<int>::resolvedWith(err(5))) == 5);
        auto later = RVLPromise<int>::pendingPromise();
        auto follower = RVLPromise<int>::resolvedWith(later);
        CHECK(follower.isPending());
        later.fulfill(8);
        CHECK(valueOf(follower) == 8);
    }
    SECTION("do_ runs on the default queue, onQueueDo on the given one") {
        auto q = SerialQueue::create("test.promises.work");
        auto a = RVLPromise<std::string>::do_([] { return SerialQueue::currentQueueName(); });
        auto b = RVLPromise<std::string>::onQueueDo(q, [] { return SerialQueue::currentQueueName(); });
        CHECK(valueOf(a) == "com.zaruvedez.promises.default");
        CHECK(valueOf(b) == "test.promises.work");
    }
    SECTION("do_ settles with the work's error, promise, or an empty value for no result") {
        CHECK(errorCodeOf(RVLPromise<int>::do_([]() -> Outcome<int> { return err(6); })) == 6);
        CHECK(valueOf(RVLPromise<int>::do_([] { return RVLPromise<int>::resolvedWith(7); })) == 7);
        bool ran = false;
        auto p = RVLPromise<std::nullptr_t>::do_([&] { ran = true; });
        CHECK(valueOf(p) == nullptr);
        CHECK(ran);
    }
    SECTION("async hands out callbacks that may fire later from another thread") {
        std::thread worker;
        auto p = RVLPromise<int>::async(
            [&](auto fulfill, auto) { worker = std::thread([fulfill] { fulfill(11); }); });
        CHECK(valueOf(p) == 11);
        defaultQueue()->drain(); // the work that started the thread has returned
        worker.join();
        auto r = RVLPromise<int>::async([](auto, auto reject) { reject(err(12)); });
        CHECK(errorCodeOf(r) == 12);
    }
}

TEST_CASE("then continues with the value", "[promise]") {
    auto start = RVLPromise<int>::pendingPromise();

    SECTION("it does not run before its predecessor settles") {
        std::atomic<bool> ran{false};
        auto next = start.then([&](int v) {
            ran = true;
            return v * 2;
        });
        defaultQueue()->drain();
        CHECK_FALSE(ran);
        start.fulfill(21);
        CHECK(valueOf(next) == 42);
    }
    SECTION("a value, a promise to follow, or an error") {
        start.fulfill(2);
        auto asText = start.then([](int v) { return std::to_string(v); });
        CHECK(valueOf(asText) == "2");
        auto chained = start.then([](int v) { return RVLPromise<int>::do_([v] { return v + 100; }); });
        CHECK(valueOf(chained) == 102);
        auto rejected = start.then([](int v) -> Outcome<std::string> {
            if (v == 2) return err(22);
            return std::string("unreached");
        });
        CHECK(errorCodeOf(rejected) == 22);
        auto fromRejected = start.then([](int) { return RVLPromise<int>::resolvedWith(err(23)); });
        CHECK(errorCodeOf(fromRejected) == 23);
    }
    SECTION("one returning nothing passes the value on; one may ignore the value") {
        start.fulfill(5);
        int seen = 0;
        auto same = start.then([&](int v) { seen = v; });
        CHECK(valueOf(same) == 5);
        CHECK(seen == 5);
        CHECK(valueOf(start.then([] { return 9; })) == 9);
    }
    SECTION("a rejection skips every then down to the first recover or catch") {
        int thens = 0;
        ErrorPtr caught;
        auto end = start
                       .then([&](int v) {
                           ++thens;
                           return v;
                       })
                       .then([&](int v) {
                           ++thens;
                           return v;
                       })
                       .catch_([&](const ErrorPtr& e) { caught = e; });
        start.reject(err(31));
        CHECK(errorCodeOf(end) == 31);
        CHECK(thens == 0);
        REQUIRE(caught);
        CHECK(caught->code() == 31);
    }
    SECTION("onQueueThen runs on the given queue") {
        auto q = SerialQueue::create("test.promises.then");
        start.fulfill(1);
        auto name = start.onQueueThen(q, [](int) { return SerialQueue::currentQueueName(); });
        CHECK(valueOf(name) == "test.promises.then");
    }
}

TEST_CASE("catch, recover and validate", "[promise]") {
    SECTION("catch is not called on success and passes the value on") {
        bool called = false;
        auto p = RVLPromise<int>::resolvedWith(3).catch_([&](const ErrorPtr&) { called = true; });
        CHECK(valueOf(p) == 3);
        CHECK_FALSE(called);
    }
    SECTION("recover turns an error into a value, a promise, or another error") {
        auto failed = RVLPromise<int>::resolvedWith(err(40));
        CHECK(valueOf(failed.recover([](const ErrorPtr& e) { return int(e->code()) + 1; })) == 41);
        CHECK(valueOf(failed.recover(
                  [](const ErrorPtr&) { return RVLPromise<int>::do_([] { return 42; }); })) == 42);
        CHECK(errorCodeOf(failed.recover([](const ErrorPtr&) -> Outcome<int> { return err(43); })) == 43);
        bool called = false;
        auto fine = RVLPromise<int>::resolvedWith(1).recover([&](const ErrorPtr&) {
            called = true;
            return 0;
        });
        CHECK(valueOf(fine) == 1);
        CHECK_FALSE(called);
    }
    SECTION("validate keeps a value that passes and rejects one that fails") {
        auto p = RVLPromise<std::string>::resolvedWith("abc");
        CHECK(valueOf(p.validate([](const std::string& s) { return !s.empty(); })) == "abc");
        auto bad = RVLPromise<std::string>::resolvedWith("").validate(
            [](const std::string& s) { return !s.empty(); });
        REQUIRE(bad.await(5));
        CHECK(bad.error()->domain() == kPromiseErrorDomain);
        CHECK(bad.error()->code() == kPromiseErrorValidationFailure);
        bool asked = false;
        auto passErr = RVLPromise<int>::resolvedWith(err(44)).validate([&](int) { return asked = true; });
        CHECK(errorCodeOf(passErr) == 44);
        CHECK_FALSE(asked);
    }
}

TEST_CASE("continuations run in the order they were added", "[promise][order]") {
    auto p = RVLPromise<int>::pendingPromise();
    std::mutex m;
    std::vector<int> order;
    std::vector<RVLPromise<int>> tails;
    auto record = [&](int i) {
        std::lock_guard lock(m);
        order.push_back(i);
    };
    // Different kinds of continuation, all on the default queue, interleaved.
    auto add = [&](int i) {
        switch (i % 3) {
        case 0:
            tails.push_back(p.then([&, i](int) { record(i); }));
            break;
        case 1:
            tails.push_back(p.validate([&, i](int) {
                record(i);
                return true;
            }));
            break;
        default:
            tails.push_back(p.onQueueThen(defaultQueue(), [&, i] { record(i); }));
            break;
        }
    };
    for (int i = 0; i < 60; ++i)
        add(i);
    p.fulfill(0);
    // Added after settling, while the first ones may still be running: they still come after them.
    for (int i = 60; i < 120; ++i)
        add(i);
    REQUIRE(valueOf(RVLPromise<int>::all(tails)).size() == 120);
    std::lock_guard lock(m);
    REQUIRE(order.size() == 120);
    for (size_t i = 0; i < order.size(); ++i)
        CHECK(order[i] == int(i));
}

TEST_CASE("a chain runs each step after the previous one settled", "[promise][order]") {
    std::vector<std::string> steps;
    auto q = SerialQueue::create("test.promises.chain");
    auto done = RVLPromise<int>::onQueueDo(q,
                                           [&] {
                                               steps.push_back("do");
                                               return 1;
                                           })
                    .then([&](int v) {
                        steps.push_back("then");
                        return v + 1;
                    })
                    .onQueueThen(q,
                                 [&](int v) {
                                     steps.push_back("onQueue");
                                     return v + 1;
                                 })
                    .validate([&](int v) {
                        steps.push_back("validate");
                        return v == 3;
                    })
                    .then([&](int) -> Outcome<int> {
                        steps.push_back("fail");
                        return err(1);
                    })
                    .then([&](int v) {
                        steps.push_back("skipped");
                        return v;
                    })
                    .recover([&](const ErrorPtr&) {
                        steps.push_back("recover");
                        return 0;
                    });
    CHECK(valueOf(done) == 0);
    CHECK(steps == std::vector<std::string>{"do", "then", "onQueue", "validate", "fail", "recover"});
}

TEST_CASE("all gathers values in the given order", "[promise][all]") {
    SECTION("values keep the order of the promises, not of their settling") {
        auto a = RVLPromise<int>::pendingPromise(), b = RVLPromise<int>::pendingPromise();
        auto c = RVLPromise<int>::pendingPromise();
        auto gathered = RVLPromise<int>::all({a, b, c});
        c.fulfill(3);
        a.fulfill(1);
        CHECK(gathered.isPending());
        b.fulfill(2);
        CHECK(valueOf(gathered) == std::vector<int>{1, 2, 3});
    }
    SECTION("the first rejection to arrive rejects, without waiting for the rest") {
        auto a = RVLPromise<int>::pendingPromise(), b = RVLPromise<int>::pendingPromise();
        auto c = RVLPromise<int>::pendingPromise();
        auto gathered = RVLPromise<int>::all({a, b, c});
        b.reject(err(2));
        c.reject(err(3));
        CHECK(errorCodeOf(gathered) == 2);
    }
    SECTION("no promises: an empty array at once") {
        CHECK(valueOf(RVLPromise<int>::all({})).empty());
    }
    SECTION("promises of different types give a tuple") {
        auto s = RVLPromise<std::string>::do_([] { return std::string("iid"); });
        auto n = RVLPromise<int>::resolvedWith(7);
        auto both = all(s, n);
        CHECK(valueOf(both) == std::make_tuple(std::string("iid"), 7));
        CHECK(errorCodeOf(all(s, RVLPromise<int>::resolvedWith(err(8)))) == 8);
    }
}

TEST_CASE("attempts retries a rejected operation", "[promise][retry]") {
    std::atomic<int> runs{0};
    auto failUntil = [&](int succeedOn) {
        return [&runs, succeedOn]() -> Outcome<int> {
            int n = ++runs;
            if (n >= succeedOn) return n;
            return err(500 + n);
        };
    };
    auto always = [](int, const ErrorPtr&) { return true; };

    SECTION("success after one retry, waiting the delay in between") {
        auto started = std::chrono::steady_clock::now();
        auto p = RVLPromise<int>::attempts(1, 0.05, always, failUntil(2));
        CHECK(valueOf(p) == 2);
        CHECK(std::chrono::steady_clock::now() - started >= std::chrono::milliseconds(50));
    }
    SECTION("at most the given number of further attempts; the last error rejects") {
        auto p = RVLPromise<int>::attempts(2, 0.001, always, failUntil(10));
        CHECK(errorCodeOf(p) == 503);
        CHECK(runs == 3);
    }
    SECTION("no retry when the condition fails, and none with zero attempts") {
        auto onlyOn500 = [](int remaining, const ErrorPtr& e) { return remaining > 0 && e->code() == 500; };
        CHECK(errorCodeOf(RVLPromise<int>::attempts(3, 0.001, onlyOn500, failUntil(10))) == 501);
        CHECK(runs == 1);
        runs = 0;
        CHECK(errorCodeOf(RVLPromise<int>::attempts(0, 0.001, always, failUntil(10))) == 501);
        CHECK(runs == 1);
    }
    SECTION("the condition sees the remaining attempts and may take the error alone") {
        std::vector<int> remainingSeen;
        auto p = RVLPromise<int>::attempts(
            3, 0.001,
            [&](int remaining, const ErrorPtr&) {
                remainingSeen.push_back(remaining);
                return true;
            },
            failUntil(3));
        CHECK(valueOf(p) == 3);
        CHECK(remainingSeen == std::vector<int>{3, 2});
        runs = 0;
        CHECK(valueOf(RVLPromise<int>::attempts(
                  1, 0.001, [](const ErrorPtr&) { return true; }, failUntil(2))) == 2);
    }
    SECTION("work returning a promise is retried too") {
        auto p = RVLPromise<int>::attempts(1, 0.001, always, [&] {
            int n = ++runs;
            return n == 1 ? RVLPromise<int>::resolvedWith(err(500)) : RVLPromise<int>::resolvedWith(n);
        });
        CHECK(valueOf(p) == 2);
    }
}

namespace {
struct NotAStdException {};

[[noreturn]] void raiseLocked() {
    foundation::raise("com.vevurizo.installations", "Keychain item is %@.", "locked");
}

// The name and reason a rejection carries for a thrown exception.
template <class T> std::pair<std::string, std::string> thrownOf(const RVLPromise<T>& p) {
    REQUIRE(p.await(5));
    REQUIRE(p.isRejected());
    const auto& e = *p.error();
    CHECK(e.domain() == kPromiseErrorDomain);
    CHECK(e.code() == kPromiseErrorException);
    auto name = e.userInfo().find(kExceptionNameKey), reason = e.userInfo().find(kExceptionReasonKey);
    REQUIRE(name != e.userInfo().end());
    REQUIRE(reason != e.userInfo().end());
    return {*name->second.string(), *reason->second.string()};
}

using NameAndReason = std::pair<std::string, std::string>;
} // namespace

TEST_CASE("a throw inside work or a continuation rejects that promise", "[promise][exception]") {
    const NameAndReason named{"com.vevurizo.installations", "Keychain item is locked."};

    SECTION("work on the default queue or a given one; a named exception gives its name and reason") {
        auto q = SerialQueue::create("test.promises.throwing");
        CHECK(thrownOf(RVLPromise<int>::do_([]() -> int { raiseLocked(); })) == named);
        CHECK(thrownOf(RVLPromise<int>::onQueueDo(q, []() -> int { throw std::out_of_range("slot 9"); })) ==
              NameAndReason{"std::out_of_range", "slot 9"});
        CHECK(thrownOf(RVLPromise<std::nullptr_t>::onQueueDo(q, [] { throw NotAStdException(); })).first ==
              "(anonymous namespace)::NotAStdException");
        // Both queues go on running work.
        CHECK(valueOf(RVLPromise<int>::onQueueDo(q, [] { return 2; })) == 2);
        CHECK(valueOf(RVLPromise<int>::do_([] { return 3; })) == 3);
    }
    SECTION("async work that throws before it calls back; a later throw cannot undo a fulfilment") {
        CHECK(thrownOf(RVLPromise<int>::async([](auto, auto) { throw std::runtime_error("no session"); })) ==
              NameAndReason{"std::runtime_error", "no session"});
        auto kept = RVLPromise<int>::async([](auto fulfill, auto) {
            fulfill(4);
            throw std::runtime_error("too late");
        });
        CHECK(valueOf(kept) == 4);
    }
    SECTION("then, on the default queue or a given one, with or without a result; the catch sees it") {
        auto q = SerialQueue::create("test.promises.throwingThen");
        auto start = RVLPromise<int>::resolvedWith(1);
        int skipped = 0;
        ErrorPtr caught;
        auto end = start.then([](int) -> int { raiseLocked(); })
                       .then([&](int v) {
                           ++skipped;
                           return v;
                       })
                       .catch_([&](const ErrorPtr& e) { caught = e; });
        CHECK(thrownOf(end) == named);
        CHECK(skipped == 0);
        REQUIRE(caught);
        CHECK(caught == end.error());
        CHECK(thrownOf(start.then([](int) { throw std::logic_error("void then"); })).second == "void then");
        CHECK(thrownOf(start.onQueueThen(q, [](int) -> std::string {
                  throw std::logic_error("on q");
              })).second == "on q");
        CHECK(thrownOf(start.onQueueThen(q, [] { throw std::logic_error("on q, no result"); })).second ==
              "on q, no result");
    }
    SECTION("recover and validate") {
        auto failed = RVLPromise<int>::resolvedWith(err(50));
        CHECK(thrownOf(failed.recover([](const ErrorPtr&) -> int {
                  throw std::runtime_error("recover");
              })).second == "recover");
        auto checked = RVLPromise<int>::resolvedWith(1).validate(
            [](int) -> bool { throw std::runtime_error("validate"); });
        CHECK(thrownOf(checked).second == "validate");
        // What a throw rejected can still be recovered.
        CHECK(valueOf(checked.recover([](const ErrorPtr& e) { return int(e->code()); })) ==
              kPromiseErrorException);
    }
    SECTION("a catch that throws rejects its promise with that exception instead") {
        auto p = RVLPromise<int>::resolvedWith(err(51)).catch_(
            [](const ErrorPtr&) { throw std::runtime_error("in catch"); });
        CHECK(thrownOf(p).second == "in catch");
    }
    SECTION("attempts: throwing work is retried; a throwing condition rejects") {
        std::atomic<int> runs{0};
        auto flaky = [&]() -> int {
            if (++runs == 1) throw std::runtime_error("first try");
            return 7;
        };
        CHECK(valueOf(RVLPromise<int>::attempts(1, 0.001, nullptr, flaky)) == 7);
        runs = 0;
        auto p = RVLPromise<int>::attempts(
            3, 0.001, [](const ErrorPtr&) -> bool { throw std::runtime_error("condition"); },
            [&]() -> Outcome<int> {
                ++runs;
                return err(500);
            });
        CHECK(thrownOf(p).second == "condition");
        CHECK(runs == 1);
    }
}
