#pragma once
// Promises: a result that arrives later. A promise is pending, then settles once, fulfilled with a value
// (which may be empty: nullptr, a null Value) or rejected with an error; later resolutions are ignored.
//
//   RVLPromise<Item>::onQueueDo(queue, [] { return readItem(); })        // value, error or promise
//       .then([](const Item& i) -> Outcome<Token> { return i.ok() ? fetch(i) : Outcome<Token>(err); })
//       .recover([](const ErrorPtr& e) { return Token{}; })
//       .catch_([](const ErrorPtr& e) { report(e); });
//
// Continuations without a queue run on defaultQueue(), one at a time; a continuation runs only after its
// predecessor settled, and continuations added to one promise are handed to their queues in the order
// they were added (so on one queue they run in that order). Work or a continuation that throws rejects
// its promise with a kPromiseErrorException error. `do` and `catch` are C++ keywords, hence do_ and
// catch_.
#include <memory>
#include <tuple>
#include <vector>

#include "platform/promises/PromiseState.h"

namespace promises {
template <class... Ts> RVLPromise<std::tuple<Ts...>> all(const RVLPromise<Ts>&... promises);
} // namespace promises

template <class T> class RVLPromise {
  public:
    using ErrorPtr = foundation::ErrorPtr;
    using QueuePtr = foundation::QueuePtr;
    template <class U> using Outcome = promises::Outcome<U>;

    static_assert(!std::is_same_v<T, ErrorPtr>, "an error is a rejection, not a value");
    using ValueType = T;
    using Fulfill = std::function<void(T)>;
    using Reject = std::function<void(ErrorPtr)>;

    // Creation ---------------------------------------------------------------------------------------
    static RVLPromise pendingPromise() { return RVLPromise(std::make_shared<promises::detail::State<T>>()); }

    // Already settled: a value fulfils, an error rejects, a promise is followed.
    static RVLPromise resolvedWith(Outcome<T> outcome) {
        auto p = pendingPromise();
        p.settleWith(std::move(outcome));
        return p;
    }

    // Runs the work on the default queue (or the given one) and settles with what it returns. Work
    // returning nothing fulfils with an empty value.
    template <class F> static RVLPromise do_(F work) {
        return onQueueDo(promises::defaultQueue(), std::move(work));
    }
    template <class F> static RVLPromise onQueueDo(QueuePtr queue, F work) {
        auto p = pendingPromise();
        queue->async([p, work = std::move(work)]() mutable {
            promises::detail::rejectOnThrow(p, [&] {
                if constexpr (std::is_void_v<std::invoke_result_t<F&>>) {
                    work();
                    p.fulfill(T{});
                } else {
                    p.settleWith(Outcome<T>(work()));
                }
            });
        });
        return p;
    }

    // Runs the work on the default queue with fulfil and reject callbacks it may call from anywhere.
    template <class F> static RVLPromise async(F work) {
        auto p = pendingPromise();
        promises::defaultQueue()->async([p, work = std::move(work)]() mutable {
            promises::detail::rejectOnThrow(p, [&] {
                work(Fulfill([p](T v) { p.fulfill(std::move(v)); }),
                     Reject([p](ErrorPtr e) { p.reject(std::move(e)); }));
            });
        });
        return p;
    }

    void fulfill(T value) const { state_->settle(std::move(value), nullptr); }
    void reject(ErrorPtr error) const {
        state_->settle(std::nullopt, error ? std::move(error) : promises::missingError());
    }

    // Chaining ---------------------------------------------------------------------------------------
    // The continuation gets the value (or nothing) and returns a value, an Outcome or a promise. One that
    // returns nothing passes the value on unchanged. A rejection skips it and travels down the chain.
    template <class F> auto then(F f) const { return onQueueThen(promises::defaultQueue(), std::move(f)); }
    template <class F> auto onQueueThen(QueuePtr queue, F f) const {
        using R = promises::detail::ThenResult<F, T>;
        if constexpr (std::is_void_v<R>) {
            auto next = pendingPromise();
            observe(std::move(queue), [next, f](promises::detail::State<T>& s) mutable {
                if (s.error) return next.reject(s.error);
                promises::detail::rejectOnThrow(next, [&] {
                    promises::detail::callWith(f, *s.value);
                    next.fulfill(*s.value);
                });
            });
            return next;
        } else {
            using U = typename promises::detail::Chain<R>::Value;
            auto next = RVLPromise<U>::pendingPromise();
            observe(std::move(queue), [next, f](promises::detail::State<T>& s) mutable {
                if (s.error) return next.reject(s.error);
                promises::detail::rejectOnThrow(
                    next, [&] { next.settleWith(Outcome<U>(promises::detail::callWith(f, *s.value))); });
            });
            return next;
        }
    }

    // Observes an error; the promise it returns settles as this one did (or, when the observer throws,
    // is rejected with that exception).
    template <class F> RVLPromise catch_(F f) const {
        auto next = pendingPromise();
        observe(promises::defaultQueue(), [next, f](promises::detail::State<T>& s) mutable {
            if (s.error) {
                return promises::detail::rejectOnThrow(next, [&] {
                    f(s.error);
                    next.reject(s.error);
                });
            }
            next.fulfill(*s.value);
        });
        return next;
    }

    // Turns an error into a value, an error or a promise to follow; a value passes untouched.
    template <class F> RVLPromise recover(F f) const {
        auto next = pendingPromise();
        observe(promises::defaultQueue(), [next, f](promises::detail::State<T>& s) mutable {
            if (!s.error) return next.fulfill(*s.value);
            promises::detail::rejectOnThrow(next, [&] { next.settleWith(Outcome<T>(f(s.error))); });
        });
        return next;
    }

    // Rejects with a validation-failure error when the predicate turns the value down.
    template <class F> RVLPromise validate(F predicate) const {
        auto next = pendingPromise();
        observe(promises::defaultQueue(), [next, predicate](promises::detail::State<T>& s) mutable {
            if (s.error) return next.reject(s.error);
            promises::detail::rejectOnThrow(next, [&] {
                if (predicate(*s.value))
                    next.fulfill(*s.value);
                else
                    next.reject(promises::validationFailureError());
            });
        });
        return next;
    }

    // Combining --------------------------------------------------------------------------------------
    // The values in the given order once all are fulfilled; the first rejection to arrive rejects.
    static RVLPromise<std::vector<T>> all(std::vector<RVLPromise> promises) {
        auto result = RVLPromise<std::vector<T>>::pendingPromise();
        if (promises.empty()) {
            result.fulfill({});
            return result;
        }
        struct Gather {
            std::mutex mutex;
            std::vector<std::optional<T>> values;
            size_t left;
        };
        auto g = std::make_shared<Gather>();
        g->values.resize(promises.size());
        g->left = promises.size();
        for (size_t i = 0; i < promises.size(); ++i) {
            auto& st = promises[i].state_;
            // The state holds its observers: a strong reference here would keep a never-settled one alive.
            st->observe([g, weak = std::weak_ptr(st), i, result] {
                auto st = weak.lock();
                if (!st) return;
                if (st->error) return result.reject(st->error);
                std::vector<T> done;
                {
                    std::lock_guard lock(g->mutex);
                    g->values[i] = *st->value;
                    if (--g->left > 0) return;
                    for (auto& v : g->values)
                        done.push_back(std::move(*v));
                }
                result.fulfill(std::move(done));
            });
        }
        return result;
    }

    // Runs the work; while it rejects and the condition (remaining attempts, error) holds, waits the
    // delay and runs it again, at most `count` further times. The last error rejects.
    template <class Condition, class Work>
    static RVLPromise attempts(int count, double delaySeconds, Condition condition, Work work) {
        auto retry =
            std::make_shared<Retry<Condition, Work>>(delaySeconds, std::move(condition), std::move(work));
        retry->run(count);
        return retry->result;
    }

    // Inspection (tests, and callers that must block) --------------------------------------------------
    // True once settled; false when the timeout passed first. Never call it on the queue that has to
    // run the work it waits for.
    bool await(double timeoutSeconds) const { return state_->wait(timeoutSeconds); }
    bool isPending() const { return snapshot().pending; }
    bool isFulfilled() const {
        auto s = snapshot();
        return !s.pending && !s.error;
    }
    bool isRejected() const { return bool(snapshot().error); }
    std::optional<T> value() const { return snapshot().value; }
    ErrorPtr error() const { return snapshot().error; }

    bool operator==(const RVLPromise& other) const { return state_ == other.state_; }

  private:
    template <class> friend class RVLPromise;
    template <class... Ts>
    friend RVLPromise<std::tuple<Ts...>> promises::all(const RVLPromise<Ts>&... promises);

    explicit RVLPromise(std::shared_ptr<promises::detail::State<T>> s) : state_(std::move(s)) {}

    struct Snapshot {
        bool pending;
        std::optional<T> value;
        ErrorPtr error;
    };
    Snapshot snapshot() const {
        std::lock_guard lock(state_->mutex);
        return {state_->pending, state_->value, state_->error};
    }

    void settleWith(Outcome<T> outcome) const {
        if (outcome.error()) return reject(outcome.error());
        if (outcome.value()) return fulfill(std::move(*outcome.value()));
        auto inner = outcome.promise()->state_;
        if (inner == state_) return reject(promises::missingError()); // a promise cannot wait for itself
        auto self = *this;
        inner->observe([self, weak = std::weak_ptr(inner)] {
            auto inner = weak.lock();
            if (!inner) return;
            if (inner->error)
                self.reject(inner->error);
            else
                self.fulfill(*inner->value);
        });
    }

    // Hands the handler to the queue once this promise has settled.
    template <class H> void observe(QueuePtr queue, H handler) const {
        auto& st = state_;
        st->observe([weak = std::weak_ptr(st), queue, handler]() mutable {
            if (auto st = weak.lock()) queue->async([st, handler]() mutable { handler(*st); });
        });
    }

    template <class Condition, class Work>
    struct Retry : std::enable_shared_from_this<Retry<Condition, Work>> {
        Retry(double d, Condition c, Work w) : delay(d), condition(std::move(c)), work(std::move(w)) {}
        double delay;
        Condition condition;
        Work work;
        RVLPromise result = pendingPromise();

        bool shouldRetry(int remaining, const ErrorPtr& error) {
            if constexpr (std::is_null_pointer_v<Condition>)
                return true;
            else if constexpr (std::is_invocable_v<Condition&, int, const ErrorPtr&>)
                return condition(remaining, error);
            else
                return condition(error);
        }

        void run(int remaining) {
            auto attempt = onQueueDo(promises::defaultQueue(), work);
            auto& st = attempt.state_;
            auto self = this->shared_from_this();
            st->observe([self, weak = std::weak_ptr(st), remaining] {
                auto st = weak.lock();
                if (!st) return;
                if (!st->error) return self->result.fulfill(*st->value);
                // The condition is the caller's code as well, run on the thread that settled the attempt.
                promises::detail::rejectOnThrow(self->result, [&] {
                    if (remaining <= 0 || !self->shouldRetry(remaining, st->error))
                        return self->result.reject(st->error);
                    promises::defaultQueue()->after(self->delay,
                                                    [self, remaining] { self->run(remaining - 1); });
                });
            });
        }
    };

    std::shared_ptr<promises::detail::State<T>> state_;
};

namespace promises {

// all() over promises of different types: a tuple of their values, in order.
template <class... Ts> RVLPromise<std::tuple<Ts...>> all(const RVLPromise<Ts>&... promises) {
    using Tuple = std::tuple<Ts...>;
    auto result = RVLPromise<Tuple>::pendingPromise();
    struct Gather {
        std::mutex mutex;
        std::tuple<std::optional<Ts>...> values;
        size_t left = sizeof...(Ts);
    };
    auto g = std::make_shared<Gather>();
    auto finish = [g, result] {
        auto tuple = std::apply([](auto&... v) { return Tuple(std::move(*v)...); }, g->values);
        result.fulfill(std::move(tuple));
    };
    auto watch = [&]<size_t I>(const auto& promise, std::integral_constant<size_t, I>) {
        auto& st = promise.state_;
        st->observe([g, weak = std::weak_ptr(st), result, finish] {
            auto st = weak.lock();
            if (!st) return;
            if (st->error) return result.reject(st->error);
            {
                std::lock_guard lock(g->mutex);
                std::get<I>(g->values) = *st->value;
                if (--g->left > 0) return;
            }
            finish();
        });
    };
    [&]<size_t... I>(std::index_sequence<I...>) {
        (watch(promises, std::integral_constant<size_t, I>{}), ...);
    }
    (std::index_sequence_for<Ts...>{});
    if constexpr (sizeof...(Ts) == 0) result.fulfill({});
    return result;
}

} // namespace promises
