#pragma once
// The shared state behind a promise, and what a continuation may hand back (a value, an error or another
// promise to follow). Kept apart from RVLPromise.h so the class reads as its operations.
#include <chrono>
#include <concepts>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/SerialQueue.h"

template <class T> class RVLPromise;

namespace promises {

using foundation::ErrorPtr;
using foundation::QueuePtr;

inline constexpr const char* kPromiseErrorDomain = "com.zaruvedez.promises";
enum PromiseErrorCode : long {
    // reject() was handed no error; the promise still has to settle as rejected.
    kPromiseErrorMissing = 1,
    // validate(): the predicate turned the value down.
    kPromiseErrorValidationFailure = 2,
    // The work or a continuation threw; the user info names the exception.
    kPromiseErrorException = 3,
};
// User info of a kPromiseErrorException error: the exception's name and reason (for an exception other
// than a foundation::NamedException, its type name and what()).
inline constexpr const char* kExceptionNameKey = "ExceptionName";
inline constexpr const char* kExceptionReasonKey = "ExceptionReason";

// The queue continuations run on when none is given. A serial queue of its own rather than the main
// queue: the SDK's chains wait on disk and network, and must neither stall nor depend on the GUI loop.
QueuePtr defaultQueue();
ErrorPtr validationFailureError();
ErrorPtr missingError();
ErrorPtr exceptionError(const std::exception_ptr& e);

namespace detail {

template <class T> struct State {
    std::mutex mutex;
    std::condition_variable settledCv;
    bool pending = true;
    bool delivering = false;
    std::optional<T> value;
    ErrorPtr error;
    // Internal observers run on the settling thread, in the order they were added; public
    // continuations use them only to hand work to their queue, so the order carries over.
    std::vector<std::function<void()>> observers;

    // False when already settled (later resolutions are ignored).
    bool settle(std::optional<T> v, ErrorPtr e) {
        std::unique_lock lock(mutex);
        if (!pending) return false;
        pending = false;
        value = std::move(v);
        error = std::move(e);
        delivering = true;
        settledCv.notify_all();
        // Observers added while we deliver join the end of the line instead of overtaking it.
        while (!observers.empty()) {
            auto batch = std::move(observers);
            observers.clear();
            lock.unlock();
            for (auto& o : batch)
                o();
            lock.lock();
        }
        delivering = false;
        return true;
    }

    void observe(std::function<void()> observer) {
        std::unique_lock lock(mutex);
        if (pending || delivering) {
            observers.push_back(std::move(observer));
            return;
        }
        lock.unlock();
        observer();
    }

    bool wait(double seconds) {
        std::unique_lock lock(mutex);
        return settledCv.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return !pending; });
    }
};

} // namespace detail

// What a continuation returns: a value fulfils, an error rejects, a promise is followed.
template <class T> class Outcome {
  public:
    template <class V>
    // No T converts from an Outcome, so copies and moves keep their own constructors (the check
    // does not read requires-clauses).
    // NOLINTNEXTLINE(bugprone-forwarding-reference-overload)
    requires std::convertible_to<V, T> Outcome(V&& v) : value_(std::forward<V>(v)) {}
    // A nullptr goes to the value side above when T can be nil; otherwise it is an error.
    template <class E>
    // An Outcome is no ErrorPtr: as above, copies stay copies.
    // NOLINTNEXTLINE(bugprone-forwarding-reference-overload)
    requires(!std::convertible_to<E, T> && std::convertible_to<E, ErrorPtr>) Outcome(E&& e)
        : error_(ErrorPtr(std::forward<E>(e))) {
        if (!error_) error_ = missingError();
    }
    Outcome(RVLPromise<T> p) : promise_(std::move(p)) {}

    std::optional<T>& value() { return value_; }
    const ErrorPtr& error() const { return error_; }
    std::optional<RVLPromise<T>>& promise() { return promise_; }

  private:
    std::optional<T> value_;
    ErrorPtr error_;
    std::optional<RVLPromise<T>> promise_;
};

namespace detail {

// Runs the caller's code for a promise. A throw would otherwise escape into the queue's thread and end
// the process; instead it rejects the promise, and the chain goes on to its catch.
template <class P, class F> void rejectOnThrow(const P& promise, F&& body) {
    try {
        body();
    } catch (...) {
        promise.reject(exceptionError(std::current_exception()));
    }
}

// The value type of the promise a continuation's result leads to.
template <class R> struct Chain { using Value = R; };
template <class U> struct Chain<Outcome<U>> { using Value = U; };
template <class U> struct Chain<RVLPromise<U>> { using Value = U; };

// Continuations may take the value or ignore it.
template <class F, class T>
using ThenResult =
    std::decay_t<typename std::conditional_t<std::is_invocable_v<F&, const T&>,
                                             std::invoke_result<F&, const T&>, std::invoke_result<F&>>::type>;

template <class F, class T> decltype(auto) callWith(F& f, const T& value) {
    if constexpr (std::is_invocable_v<F&, const T&>)
        return f(value);
    else
        return f();
}

} // namespace detail

} // namespace promises
