#pragma once
// At most one operation in flight: callers that come while it runs share its promise; once it settles
// the next caller starts a new one.
#include <functional>
#include <mutex>
#include <optional>

#include "platform/foundation/Exception.h"
#include "platform/promises/RVLPromise.h"

template <class T> class VEVInstallationsSingleOperationPromiseCache {
  public:
    using Handler = std::function<RVLPromise<T>()>;

    explicit VEVInstallationsSingleOperationPromiseCache(Handler newOperationHandler)
        : newOperationHandler_(std::move(newOperationHandler)) {
        if (!newOperationHandler_)
            foundation::raise(foundation::kInvalidArgumentException,
                              "`newOperationHandler` must not be `nil`.");
    }
    VEVInstallationsSingleOperationPromiseCache(const VEVInstallationsSingleOperationPromiseCache&) = delete;
    VEVInstallationsSingleOperationPromiseCache&
    operator=(const VEVInstallationsSingleOperationPromiseCache&) = delete;

    RVLPromise<T> getExistingPendingOrCreateNewPromise() {
        std::lock_guard lock(slot_->mutex);
        if (slot_->pending) return *slot_->pending;
        // The handler only starts work, so calling it under the lock keeps two callers from starting two.
        auto promise = newOperationHandler_();
        slot_->pending = promise;
        // The slot is cleared by the first continuations of the promise, ahead of the callers' own, so a
        // caller told of the outcome who asks again starts a new operation.
        auto clear = [weak = std::weak_ptr<Slot>(slot_), promise] {
            auto slot = weak.lock();
            if (!slot) return;
            std::lock_guard lock(slot->mutex);
            if (slot->pending && *slot->pending == promise) slot->pending.reset();
        };
        promise.then([clear] { clear(); });
        promise.catch_([clear](const foundation::ErrorPtr&) { clear(); });
        return promise;
    }

    std::optional<RVLPromise<T>> getExistingPendingPromise() const {
        std::lock_guard lock(slot_->mutex);
        return slot_->pending;
    }

  private:
    // Shared with the clearing continuations, which hold it weakly: a cache that is gone is left alone.
    struct Slot {
        std::mutex mutex;
        std::optional<RVLPromise<T>> pending;
    };
    Handler newOperationHandler_;
    std::shared_ptr<Slot> slot_ = std::make_shared<Slot>();
};
