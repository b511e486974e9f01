#include "sdk/core/transport/RDTCORReachability.h"

#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/NetworkProbe.h"
#include "sdk/core/transport/RDTCORLog.h"

std::shared_ptr<RDTCORReachability> RDTCORReachability::sharedInstance() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORReachability>> instance(
        create([] { return transport::probeReachabilityFlags(); }, true));
    return *instance;
}

uint32_t RDTCORReachability::currentFlags() {
    return sharedInstance()->flags();
}

std::shared_ptr<RDTCORReachability> RDTCORReachability::create(std::function<uint32_t()> probe,
                                                               bool monitorChanges) {
    auto r = std::make_shared<RDTCORReachability>(Token{}, std::move(probe));
    std::weak_ptr<RDTCORReachability> weak = r;
    r->queue_->async([weak] {
        if (auto self = weak.lock()) self->flags_ = self->probe_();
    });
    if (monitorChanges) {
        r->monitor_ = std::make_unique<transport::RouteMonitor>([weak, queue = r->queue_] {
            queue->async([weak] {
                if (auto self = weak.lock()) {
                    self->callbackFlags_ = self->probe_();
                    self->haveCallbackFlags_ = true;
                }
            });
        });
        if (!r->monitor_->isRunning())
            RDTCORLog(RDTCORLogCodeReachability, RDTCORLoggingLevelNotice,
                      "The reachability callback wasn't set.");
    }
    return r;
}

RDTCORReachability::RDTCORReachability(Token, std::function<uint32_t()> probe)
    : queue_(foundation::SerialQueue::create("com.ruvara.RDTCORReachability")), probe_(std::move(probe)) {}

RDTCORReachability::~RDTCORReachability() {
    monitor_.reset(); // no more change callbacks after this
}

uint32_t RDTCORReachability::flags() const {
    uint32_t result = 0;
    queue_->sync([&] { result = haveCallbackFlags_ ? callbackFlags_ : flags_; });
    return result;
}

void RDTCORReachability::reachabilityChanged(uint32_t flags) {
    queue_->async([weak = weak_from_this(), flags] {
        if (auto self = weak.lock()) {
            self->callbackFlags_ = flags;
            self->haveCallbackFlags_ = true;
        }
    });
}

bool RDTCORReachability::isMonitoring() const {
    return monitor_ && monitor_->isRunning();
}
