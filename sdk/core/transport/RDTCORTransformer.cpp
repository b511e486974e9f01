#include "sdk/core/transport/RDTCORTransformer.h"

#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORRegistrar.h"

std::shared_ptr<RDTCORTransformer> RDTCORTransformer::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORTransformer>> instance(
        create(RDTCORRegistrar::sharedInstance(), RDTCORApplication::sharedApplication()));
    return *instance;
}

std::shared_ptr<RDTCORTransformer> RDTCORTransformer::create(std::shared_ptr<RDTCORRegistrar> registrar,
                                                             std::shared_ptr<RDTCORApplication> application) {
    return std::make_shared<RDTCORTransformer>(Token{}, std::move(registrar), std::move(application));
}

RDTCORTransformer::RDTCORTransformer(Token, std::shared_ptr<RDTCORRegistrar> registrar,
                                     std::shared_ptr<RDTCORApplication> application)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCORTransformer")),
      registrar_(std::move(registrar)), application_(std::move(application)) {}

void RDTCORTransformer::transformEvent(std::shared_ptr<RDTCOREvent> event,
                                       std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers,
                                       RDTCORSendCompletion onComplete) {
    auto app = application_ ? application_ : RDTCORApplication::sharedApplication();
    auto task = std::make_shared<RDTCORBackgroundIdentifier>(RDTCORBackgroundIdentifierInvalid);
    // The handler lives in the application's own table: a strong reference would be a cycle.
    *task = app->beginBackgroundTaskWithName("RDTTransformer", [weakApp = std::weak_ptr(app), task] {
        if (auto a = weakApp.lock()) a->endBackgroundTask(*task);
    });
    queue_->async([weak = weak_from_this(), event = std::move(event), transformers = std::move(transformers),
                   onComplete = std::move(onComplete), app, task]() mutable {
        auto complete = [&](bool written, foundation::ErrorPtr error) {
            if (onComplete) onComplete(written, std::move(error));
        };
        auto self = weak.lock();
        if (!self) {
            // The task ends first: the answer may be the last thing its sender waits for.
            app->endBackgroundTask(*task);
            complete(false,
                     foundation::Error::make(kRDTCORErrorDomain, 13,
                                             {{foundation::kLocalizedDescriptionKey,
                                               "The transformer was closed before the event was sent."}}));
            return;
        }
        if (!event) {
            // Nobody would ever answer the sender otherwise.
            RDTCORLogWarning(RDTCORLogCodeEventNotSaved, "The event was nil, so it was not saved.");
            complete(false, foundation::Error::make(
                                kRDTCORErrorDomain, 4,
                                {{foundation::kLocalizedDescriptionKey, "There was no event to send."}}));
            app->endBackgroundTask(*task);
            return;
        }
        for (const auto& transformer : transformers) {
            if (!transformer) {
                RDTCORLogWarning(RDTCORLogCodeTransformerWithoutTransform,
                                 "Transformer doesn't implement transform: %@", "(null)");
                complete(false, nullptr);
                app->endBackgroundTask(*task);
                return;
            }
            event = transformer->transform(event);
            if (!event) {
                RDTCORLogDebug("Event dropped by a transformer.");
                complete(false, nullptr);
                app->endBackgroundTask(*task);
                return;
            }
        }
        auto storage = self->registrar_->storageForTarget(event->target());
        if (!storage) {
            RDTCORLogWarning(RDTCORLogCodeEventNotSaved,
                             "No storage is registered for target %ld; the event %@ was not saved.",
                             event->target(), *event);
            complete(false, foundation::Error::make(kRDTCORErrorDomain, 3,
                                                    {{foundation::kLocalizedDescriptionKey,
                                                      "No storage is registered for the event's target."}}));
        } else {
            storage->storeEvent(event, std::move(onComplete));
        }
        app->endBackgroundTask(*task);
    });
}

void RDTCORTransformer::appWillTerminate(RDTCORApplication&) {
    queue_->drain();
}
