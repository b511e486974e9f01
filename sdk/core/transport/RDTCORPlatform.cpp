#include "sdk/core/transport/RDTCORPlatform.h"

#include <map>
#include <mutex>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Files.h"
#include "sdk/core/transport/RDTCORReachability.h"

std::string RDTCORRootDirectory() {
    static std::mutex m;
    static auto* created = new std::string; // never destroyed: asked from background work
    std::string path = foundation::home::caches() + "/ruvara-sdks-events";
    std::lock_guard lock(m);
    if (path != *created && foundation::createDirectories(path)) *created = path;
    return path;
}

bool RDTCORFlagsReachable(uint32_t flags) {
    return (flags & (kRDTCORReachabilityFlagReachable | kRDTCORReachabilityFlagConnectionRequired)) ==
           kRDTCORReachabilityFlagReachable;
}

bool RDTCORFlagsMobile(uint32_t flags) {
    return (flags & kRDTCORReachabilityFlagMobile) != 0;
}

int RDTCORNetworkKindForFlags(uint32_t flags) {
    if (!(flags & kRDTCORReachabilityFlagReachable)) return RDTCORNetworkKindNone;
    if (flags & kRDTCORReachabilityFlagMobile) return RDTCORNetworkKindMobile;
    return RDTCORNetworkKindWifi;
}

int RDTCORCurrentNetworkKind() {
    return RDTCORNetworkKindForFlags(RDTCORReachability::currentFlags());
}

int RDTCORMobileTechnologyCode(const std::string& technology) {
    static const auto* table = new std::map<std::string, int>{
        {"CTRadioAccessTechnologyGPRS", 1},         {"CTRadioAccessTechnologyEdge", 2},
        {"CTRadioAccessTechnologyWCDMA", 3},        {"CTRadioAccessTechnologyHSDPA", 4},
        {"CTRadioAccessTechnologyHSUPA", 5},        {"CTRadioAccessTechnologyCDMA1x", 6},
        {"CTRadioAccessTechnologyCDMAEVDORev0", 7}, {"CTRadioAccessTechnologyCDMAEVDORevA", 8},
        {"CTRadioAccessTechnologyCDMAEVDORevB", 9}, {"CTRadioAccessTechnologyeHRPD", 10},
        {"CTRadioAccessTechnologyLTE", 11},
    };
    auto it = table->find(technology);
    return it == table->end() ? 0 : it->second;
}

// A desktop has no telephony service to name the radio technology.
int RDTCORCurrentMobileTechnology() {
    return 0;
}
