#include "sdk/core/transport/RDTCORReachability.h"

#include "sdk/core/transport/NetworkProbe.h"
#include "sdk/core/transport/NoDestructor.h"
#include "sdk/core/transport/RDTCORLog.h"

std::shared_ptr<RDTCORReachability> RDTCORReachability::sharedInstance() {
    static transport::NoDestructor<std::shared_ptr<RDTCORReachability>> instance(
        std::make_shared<RDTCORReachability>([] { return transport::probeReachabilityFlags(); }, true));
    return *instance;
}

uint32_t RDTCORReachability::currentFlags() {
    return sharedInstance()->flags();
}

RDTCORReachability::RDTCORReachability(std::function<uint32_t()> probe, bool monitorChanges)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCORReachability")), probe_(std::move(probe)) {
    queue_->async([this] { flags_ = probe_(); });
    if (monitorChanges) {
        monitor_ = std::make_unique<transport::RouteMonitor>([this] {
            queue_->async([this] {
                callbackFlags_ = probe_();
                haveCallbackFlags_ = true;
            });
        });
        if (!monitor_->isRunning())
            RDTCORLog(RDTCORLogCodeReachability, RDTCORLoggingLevelNotice,
                      "The reachability callback wasn't set.");
    }
}

RDTCORReachability::~RDTCORReachability() {
    monitor_.reset(); // no more change callbacks after this
    queue_->drain();
}

uint32_t RDTCORReachability::flags() const {
    uint32_t result = 0;
    queue_->sync([&] { result = haveCallbackFlags_ ? callbackFlags_ : flags_; });
    return result;
}

void RDTCORReachability::reachabilityChanged(uint32_t flags) {
    queue_->async([this, flags] {
        callbackFlags_ = flags;
        haveCallbackFlags_ = true;
    });
}

bool RDTCORReachability::isMonitoring() const {
    return monitor_ && monitor_->isRunning();
}
