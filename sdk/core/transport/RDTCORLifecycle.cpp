#include "sdk/core/transport/RDTCORLifecycle.h"

#include "sdk/core/transport/NoDestructor.h"
#include "sdk/core/transport/RDTCORApplication.h"
#include "sdk/core/transport/RDTCORFlatFileStorage.h"
#include "sdk/core/transport/RDTCORRegistrar.h"
#include "sdk/core/transport/RDTCORTransformer.h"
#include "sdk/core/transport/RDTCORUploadCoordinator.h"

std::shared_ptr<RDTCORLifecycle> RDTCORLifecycle::sharedInstance() {
    static transport::NoDestructor<std::shared_ptr<RDTCORLifecycle>> instance(
        std::make_shared<RDTCORLifecycle>(
            foundation::NotificationCenter::defaultCenter(), RDTCORApplication::sharedApplication(),
            std::vector<std::shared_ptr<RDTCORLifecycleProtocol>>{RDTCORTransformer::sharedInstance(),
                                                                  RDTCORUploadCoordinator::sharedInstance(),
                                                                  RDTCORRegistrar::sharedInstance()}));
    return *instance;
}

void RDTCORLifecycle::load() {
    sharedInstance();
}

RDTCORLifecycle::RDTCORLifecycle(std::shared_ptr<foundation::NotificationCenter> center,
                                 std::shared_ptr<RDTCORApplication> application,
                                 std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts)
    : application_(std::move(application)), parts_(std::move(parts)) {
    auto on = [&](const char* name, void (RDTCORLifecycleProtocol::*op)(RDTCORApplication&)) {
        observers_.push_back(
            center->addObserver(name, nullptr, nullptr, [this, op](const foundation::Notification&) {
                for (const auto& part : parts_)
                    (part.get()->*op)(*application_);
            }));
    };
    on(kRDTCORApplicationDidEnterBackgroundNotification, &RDTCORLifecycleProtocol::appWillBackground);
    on(kRDTCORApplicationWillEnterForegroundNotification, &RDTCORLifecycleProtocol::appWillForeground);
    on(kRDTCORApplicationWillTerminateNotification, &RDTCORLifecycleProtocol::appWillTerminate);
}

void RDTCORTransportLoad() {
    RDTCORApplication::load();
    RDTCORFlatFileStorage::load();
    RDTCORLifecycle::load();
}
