#pragma once
// The network reachability monitor: the flags read at start, then the latest ones the change
// watcher delivered, read and written on its own queue.
#include <cstdint>
#include <functional>
#include <memory>

#include "platform/foundation/SerialQueue.h"

namespace transport {
class RouteMonitor;
}

class RDTCORReachability : public std::enable_shared_from_this<RDTCORReachability> {
    struct Token {};

  public:
    static std::shared_ptr<RDTCORReachability> sharedInstance();
    // The shared instance's current flags.
    static uint32_t currentFlags();

    // `probe` reads the flags; with `monitorChanges` each kernel route or link change reads them again.
    static std::shared_ptr<RDTCORReachability> create(std::function<uint32_t()> probe, bool monitorChanges);
    RDTCORReachability(Token, std::function<uint32_t()> probe);
    ~RDTCORReachability();
    RDTCORReachability(const RDTCORReachability&) = delete;
    RDTCORReachability& operator=(const RDTCORReachability&) = delete;

    // The latest delivered flags once any came (0 included: the network went away), else those
    // read at start.
    uint32_t flags() const;
    // The change callback: stores the new flags.
    void reachabilityChanged(uint32_t flags);
    bool isMonitoring() const;

  private:
    foundation::QueuePtr queue_;
    std::function<uint32_t()> probe_;
    uint32_t flags_ = 0;
    uint32_t callbackFlags_ = 0;
    bool haveCallbackFlags_ = false;
    std::unique_ptr<transport::RouteMonitor> monitor_;
};
