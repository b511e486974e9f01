#include "sdk/core/transport/RDTCORLifecycle.h"

#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCCTPrioritizer.h"
#include "sdk/core/transport/RDTCCTUploader.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORTransformer.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"

std::shared_ptr<RDTCORLifecycle> RDTCORLifecycle::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORLifecycle>> instance(
        create(foundation::NotificationCenter::defaultCenter(), RDTCORApplication::sharedApplication(),
               {RDTCORTransformer::sharedInstance(), RDTCORUploadCoordinator::sharedInstance(),
                RDTCORRegistrar::sharedInstance()}));
    return *instance;
}

void RDTCORLifecycle::load() {
    sharedInstance();
}

std::shared_ptr<RDTCORLifecycle>
RDTCORLifecycle::create(std::shared_ptr<foundation::NotificationCenter> center,
                        std::shared_ptr<RDTCORApplication> application,
                        std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts) {
    auto lifecycle = std::make_shared<RDTCORLifecycle>(Token{}, std::move(application), std::move(parts));
    std::weak_ptr<RDTCORLifecycle> weak = lifecycle;
    auto on = [&](const char* name, void (RDTCORLifecycleProtocol::*op)(RDTCORApplication&)) {
        lifecycle->observers_.push_back(
            center->addObserver(name, nullptr, nullptr, [weak, op](const foundation::Notification&) {
                if (auto self = weak.lock()) self->tell(op);
            }));
    };
    on(kRDTCORApplicationDidEnterBackgroundNotification, &RDTCORLifecycleProtocol::appWillBackground);
    on(kRDTCORApplicationWillEnterForegroundNotification, &RDTCORLifecycleProtocol::appWillForeground);
    on(kRDTCORApplicationWillTerminateNotification, &RDTCORLifecycleProtocol::appWillTerminate);
    return lifecycle;
}

RDTCORLifecycle::RDTCORLifecycle(Token, std::shared_ptr<RDTCORApplication> application,
                                 std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts)
    : application_(std::move(application)), parts_(std::move(parts)) {}

void RDTCORLifecycle::tell(void (RDTCORLifecycleProtocol::*op)(RDTCORApplication&)) {
    for (const auto& part : parts_)
        (part.get()->*op)(*application_);
}

void RDTCORLifecycle::appWillTerminate() {
    tell(&RDTCORLifecycleProtocol::appWillTerminate);
}

void RDTCORTransportLoad() {
    RDTCORApplication::load();
    // The prioritizer and uploader first: the storage offers the events of earlier runs to the
    // prioritizer as soon as it has read them.
    RDTCCTPrioritizer::load();
    RDTCCTUploader::load();
    RDTCORFlatFileStorage::load();
    RDTCORLifecycle::load();
}
