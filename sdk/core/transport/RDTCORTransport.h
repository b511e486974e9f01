#pragma once
// A client's handle for one kind of payload: a mapping ID (the payload's schema at the service) and
// a target (the backend). It makes events and sends them through the transformer to the storage.
#include <memory>
#include <string>
#include <vector>

#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORTransformer;

class RDTCORTransport {
  public:
    // Null when the mapping ID is empty or the target is below 1.
    static std::shared_ptr<RDTCORTransport>
    initWithMappingID(const std::string& mappingID,
                      std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers, RDTCORTarget target);

    const std::string& mappingID() const { return mappingID_; }
    const std::vector<std::shared_ptr<RDTCOREventTransformer>>& transformers() const { return transformers_; }
    RDTCORTarget target() const { return target_; }
    const std::shared_ptr<RDTCORTransformer>& transformerInstance() const { return transformerInstance_; }
    void setTransformerInstance(std::shared_ptr<RDTCORTransformer> t) { transformerInstance_ = std::move(t); }

    std::shared_ptr<RDTCOREvent> eventForTransport() const;

    // Telemetry sends set the caller's event to tier 1 first; data sends keep its tier. Each sends a
    // copy stamped with the current time; the completion hears whether it was stored.
    void sendTelemetryEventOnComplete(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete);
    void sendDataEventOnComplete(std::shared_ptr<RDTCOREvent> event, RDTCORSendCompletion onComplete);
    void sendTelemetryEvent(std::shared_ptr<RDTCOREvent> event);
    void sendDataEvent(std::shared_ptr<RDTCOREvent> event);

    RDTCORTransport(std::string mappingID, std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers,
                    RDTCORTarget target);

  private:
    void sendEvent(const std::shared_ptr<RDTCOREvent>& event, RDTCORSendCompletion onComplete);
    std::string mappingID_;
    std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers_;
    RDTCORTarget target_;
    std::shared_ptr<RDTCORTransformer> transformerInstance_;
};
