#include "platform/promises/RVLPromise.h"

namespace promises {

QueuePtr defaultQueue() {
    static const QueuePtr queue = foundation::SerialQueue::create("com.zaruvedez.promises.default");
    return queue;
}

ErrorPtr validationFailureError() {
    return foundation::Error::make(kPromiseErrorDomain, kPromiseErrorValidationFailure,
                                   {{foundation::kLocalizedDescriptionKey, "Promise validation failed."}});
}

ErrorPtr missingError() {
    return foundation::Error::make(
        kPromiseErrorDomain, kPromiseErrorMissing,
        {{foundation::kLocalizedDescriptionKey, "Promise rejected without an error."}});
}

} // namespace promises
