#pragma once
// Tells the transport's parts about the app's life cycle: on each of the transport's notifications,
// the transformer, then the upload coordinator, then the registrar (which tells uploaders,
// prioritizers and storages) hear it with the application wrapper.
#include <memory>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/transport/RDTCORProtocols.h"

class RDTCORLifecycle {
    struct Token {};

  public:
    static std::shared_ptr<RDTCORLifecycle> sharedInstance();
    // Class-load registration: starts following the notifications from launch.
    static void load();

    // `parts` in the order they are told. Its handlers do nothing once it is gone.
    static std::shared_ptr<RDTCORLifecycle>
    create(std::shared_ptr<foundation::NotificationCenter> center,
           std::shared_ptr<RDTCORApplication> application,
           std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts);
    RDTCORLifecycle(Token, std::shared_ptr<RDTCORApplication> application,
                    std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts);
    RDTCORLifecycle(const RDTCORLifecycle&) = delete;
    RDTCORLifecycle& operator=(const RDTCORLifecycle&) = delete;

    // The fan-out of the terminate notification, for the way out of a process that has no application
    // to post it.
    void appWillTerminate();

  private:
    void tell(void (RDTCORLifecycleProtocol::*op)(RDTCORApplication&));
    std::shared_ptr<RDTCORApplication> application_;
    std::vector<std::shared_ptr<RDTCORLifecycleProtocol>> parts_;
    std::vector<foundation::ObserverPtr> observers_;
};

// Every class-load registration of the transport, in order: the application wrapper, the prioritizer
// and uploader of the three targets, the storage (and its archive's class names) and the life-cycle
// fan-out.
void RDTCORTransportLoad();
