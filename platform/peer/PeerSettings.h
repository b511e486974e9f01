#pragma once
// Where the peer layer listens: the address it binds to (loopback unless a setting names the local
// network's address) and the UDP port on which it answers browse requests.
#include <cstdint>
#include <string>

namespace peer {

inline constexpr const char* kPeerBindAddressKey = "PeerBindAddress";
inline constexpr const char* kPeerDiscoveryPortKey = "PeerDiscoveryPort";
inline constexpr uint16_t kDefaultDiscoveryPort = 47810;

struct PeerSettings {
    std::string bindAddress = "127.0.0.1";
    uint16_t discoveryPort = kDefaultDiscoveryPort; // 0: any free port (tests read it back)
    // From the standard user defaults; values that are missing or out of range keep the defaults.
    static PeerSettings fromDefaults();
};

} // namespace peer
