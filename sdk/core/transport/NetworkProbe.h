#pragma once
// What Linux says about the network: reachability flags from the kernel's default routes and the
// state of their interfaces, and a watcher of the kernel's route and link changes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace transport {

struct NetworkPaths {
    std::string procNet = "/proc/net";
    std::string sysClassNet = "/sys/class/net";
};

// Reachable (2) when a default route leaves through an interface that is up; mobile (0x40000) as
// well when the preferred such interface is a mobile-broadband one; 0 when nothing is reachable.
uint32_t probeReachabilityFlags(const NetworkPaths& paths = {});

// Calls `onChange` from its own thread after each burst of route, address or link changes.
class RouteMonitor {
  public:
    explicit RouteMonitor(std::function<void()> onChange);
    ~RouteMonitor();
    RouteMonitor(const RouteMonitor&) = delete;
    RouteMonitor& operator=(const RouteMonitor&) = delete;
    bool isRunning() const { return running_; }

  private:
    void run();
    std::function<void()> onChange_;
    int socket_ = -1;
    int wake_ = -1;
    bool running_ = false;
    std::thread thread_;
};

} // namespace transport
