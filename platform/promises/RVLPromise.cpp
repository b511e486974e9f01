#include "platform/promises/RVLPromise.h"

#include "platform/foundation/Exception.h"

namespace promises {

QueuePtr defaultQueue() {
    // Never destroyed: continuations may still be queued while the process's statics go.
    static const auto* queue =
        new QueuePtr(foundation::SerialQueue::create("com.zaruvedez.promises.default"));
    return *queue;
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

ErrorPtr exceptionError(const std::exception_ptr& e) {
    auto summary = foundation::summarize(e);
    const std::string& description = summary.reason.empty() ? summary.name : summary.reason;
    return foundation::Error::make(kPromiseErrorDomain, kPromiseErrorException,
                                   {{kExceptionNameKey, summary.name},
                                    {kExceptionReasonKey, summary.reason},
                                    {foundation::kLocalizedDescriptionKey, description}});
}

} // namespace promises
