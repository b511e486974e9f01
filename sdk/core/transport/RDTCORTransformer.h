#pragma once
// Runs an event's transformers, one event at a time on its own queue, and hands the result to the
// storage registered for the event's target.
#include <memory>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORRegistrar;

class RDTCORTransformer : public RDTCORLifecycleProtocol,
                          public std::enable_shared_from_this<RDTCORTransformer> {
    struct Token {};

  public:
    static std::shared_ptr<RDTCORTransformer> sharedInstance();
    static std::shared_ptr<RDTCORTransformer> create(std::shared_ptr<RDTCORRegistrar> registrar,
                                                     std::shared_ptr<RDTCORApplication> application);
    RDTCORTransformer(Token, std::shared_ptr<RDTCORRegistrar> registrar,
                      std::shared_ptr<RDTCORApplication> application);

    // The completion (may be empty) hears (NO, no error) when a transformer drops the event or is
    // missing, and the storage's answer otherwise; a send still queued when the transformer goes
    // hears NO with an error.
    void transformEvent(std::shared_ptr<RDTCOREvent> event,
                        std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers,
                        RDTCORSendCompletion onComplete);

    // Waits until every event queued so far has reached the storage.
    void appWillTerminate(RDTCORApplication& app) override;

    foundation::QueuePtr eventWritingQueue() const { return queue_; }

  private:
    foundation::QueuePtr queue_;
    std::shared_ptr<RDTCORRegistrar> registrar_;
    std::shared_ptr<RDTCORApplication> application_;
};
