#include "sdk/core/transport/NetworkProbe.h"

#include <cstdlib>
#include <fstream>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sstream>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace transport {

namespace {

constexpr unsigned long kRouteUp = 0x0001;     // RTF_UP
constexpr unsigned long kRouteReject = 0x0200; // RTF_REJECT
constexpr unsigned long kInterfaceUp = 0x0001; // IFF_UP

struct DefaultRoute {
    std::string interface;
    unsigned long metric;
};

std::string readFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

bool interfaceIsUp(const NetworkPaths& paths, const std::string& name) {
    std::string base = paths.sysClassNet + "/" + name;
    std::string flags = readFirstLine(base + "/flags");
    if (!flags.empty() && !(std::strtoul(flags.c_str(), nullptr, 16) & kInterfaceUp)) return false;
    std::string state = readFirstLine(base + "/operstate");
    // Virtual links often report "unknown" while they carry traffic.
    return state.empty() || state == "up" || state == "unknown";
}

bool interfaceIsMobile(const NetworkPaths& paths, const std::string& name) {
    for (const char* prefix : {"wwan", "rmnet", "ccmni"})
        if (name.rfind(prefix, 0) == 0) return true;
    std::ifstream in(paths.sysClassNet + "/" + name + "/uevent");
    std::string line;
    while (std::getline(in, line))
        if (line == "DEVTYPE=wwan") return true;
    return false;
}

std::vector<DefaultRoute> ipv4DefaultRoutes(const NetworkPaths& paths) {
    std::vector<DefaultRoute> routes;
    std::ifstream in(paths.procNet + "/route");
    std::string line;
    std::getline(in, line); // header
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refcnt, use, metric, mask;
        if (!(fields >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask))
            continue;
        if (destination != "00000000" || mask != "00000000") continue;
        unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        if (!(f & kRouteUp) || (f & kRouteReject)) continue;
        routes.push_back({iface, std::strtoul(metric.c_str(), nullptr, 10)});
    }
    return routes;
}

std::vector<DefaultRoute> ipv6DefaultRoutes(const NetworkPaths& paths) {
    std::vector<DefaultRoute> routes;
    std::ifstream in(paths.procNet + "/ipv6_route");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, refcnt, use, flags, iface;
        if (!(fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> refcnt >>
              use >> flags >> iface))
            continue;
        if (destination != std::string(32, '0') || prefix != "00" || iface == "lo") continue;
        unsigned long f = std::strtoul(flags.c_str(), nullptr, 16);
        if (!(f & kRouteUp) || (f & kRouteReject)) continue;
        routes.push_back({iface, std::strtoul(metric.c_str(), nullptr, 16)});
    }
    return routes;
}

} // namespace

uint32_t probeReachabilityFlags(const NetworkPaths& paths) {
    const DefaultRoute* best = nullptr;
    auto v4 = ipv4DefaultRoutes(paths);
    auto v6 = ipv6DefaultRoutes(paths);
    // The kernel prefers the lowest metric; IPv4 first when both families have a way out.
    for (auto* family : {&v4, &v6}) {
        for (const auto& r : *family)
            if (interfaceIsUp(paths, r.interface) && (!best || r.metric < best->metric)) best = &r;
        if (best) break;
    }
    if (!best) return 0;
    uint32_t flags = 2; // reachable
    if (interfaceIsMobile(paths, best->interface)) flags |= 0x40000;
    return flags;
}

RouteMonitor::RouteMonitor(std::function<void()> onChange) : onChange_(std::move(onChange)) {
    socket_ = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (socket_ < 0) return;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups =
        RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wake_ < 0 || ::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket_);
        socket_ = -1;
        if (wake_ >= 0) ::close(wake_);
        wake_ = -1;
        return;
    }
    running_ = true;
    thread_ = std::thread([this] { run(); });
}

RouteMonitor::~RouteMonitor() {
    if (running_) {
        uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    if (socket_ >= 0) ::close(socket_);
    if (wake_ >= 0) ::close(wake_);
}

void RouteMonitor::run() {
    std::vector<char> buffer(16384);
    for (;;) {
        pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        bool changed = false;
        while (::recv(socket_, buffer.data(), buffer.size(), 0) > 0)
            changed = true;
        if (changed) onChange_();
    }
}

} // namespace transport
