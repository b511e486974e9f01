#include "sdk/core/transport/RDTCORTransport.h"

#include "sdk/core/transport/RDTCORTransformer.h"

std::shared_ptr<RDTCORTransport>
RDTCORTransport::initWithMappingID(const std::string& mappingID,
                                   std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers,
                                   RDTCORTarget target) {
    if (mappingID.empty() || target < 1) return nullptr;
    return std::make_shared<RDTCORTransport>(mappingID, std::move(transformers), target);
}

RDTCORTransport::RDTCORTransport(std::string mappingID,
                                 std::vector<std::shared_ptr<RDTCOREventTransformer>> transformers,
                                 RDTCORTarget target)
    : mappingID_(std::move(mappingID)), transformers_(std::move(transformers)), target_(target),
      transformerInstance_(RDTCORTransformer::sharedInstance()) {}

std::shared_ptr<RDTCOREvent> RDTCORTransport::eventForTransport() const {
    return RDTCOREvent::initWithMappingID(mappingID_, target_);
}

void RDTCORTransport::sendTelemetryEventOnComplete(std::shared_ptr<RDTCOREvent> event,
                                                   RDTCORSendCompletion onComplete) {
    if (event) event->setQosTier(RDTCOREventQoSTelemetry);
    sendEvent(event, std::move(onComplete));
}

void RDTCORTransport::sendDataEventOnComplete(std::shared_ptr<RDTCOREvent> event,
                                              RDTCORSendCompletion onComplete) {
    sendEvent(event, std::move(onComplete));
}

void RDTCORTransport::sendTelemetryEvent(std::shared_ptr<RDTCOREvent> event) {
    sendTelemetryEventOnComplete(std::move(event), nullptr);
}

void RDTCORTransport::sendDataEvent(std::shared_ptr<RDTCOREvent> event) {
    sendDataEventOnComplete(std::move(event), nullptr);
}

void RDTCORTransport::sendEvent(const std::shared_ptr<RDTCOREvent>& event, RDTCORSendCompletion onComplete) {
    std::shared_ptr<RDTCOREvent> copy;
    if (event) {
        copy = event->copy();
        copy->setClockSnapshot(RDTCORClock::snapshot());
    }
    transformerInstance_->transformEvent(std::move(copy), transformers_, std::move(onComplete));
}
