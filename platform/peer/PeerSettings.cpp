#include "platform/peer/PeerSettings.h"

#include "platform/foundation/UserDefaults.h"

namespace peer {

PeerSettings PeerSettings::fromDefaults() {
    PeerSettings s;
    auto defaults = foundation::UserDefaults::standard();
    const std::string address = defaults->stringForKey(kPeerBindAddressKey);
    if (!address.empty()) s.bindAddress = address;
    const auto port = defaults->objectForKey(kPeerDiscoveryPortKey);
    if (port.isNumber() && port.intValue() >= 0 && port.intValue() <= 65535)
        s.discoveryPort = uint16_t(port.intValue());
    return s;
}

} // namespace peer
