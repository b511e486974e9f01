#pragma once
// The transport's platform helpers: its root folder, the reachability flag tests and the two
// network facts uploads carry.
#include <cstdint>
#include <string>

// Reachability flag bits the transport reads.
inline constexpr uint32_t kRDTCORReachabilityFlagReachable = 2;
inline constexpr uint32_t kRDTCORReachabilityFlagConnectionRequired = 4;
inline constexpr uint32_t kRDTCORReachabilityFlagMobile = 0x40000;

// Network kinds attached to uploaded events.
inline constexpr int RDTCORNetworkKindNone = 0;
inline constexpr int RDTCORNetworkKindWifi = 1;
inline constexpr int RDTCORNetworkKindMobile = 2;

// Folder of every transport file: Library/Caches/ruvara-sdks-events under the app's home, created on
// first use.
std::string RDTCORRootDirectory();

bool RDTCORFlagsReachable(uint32_t flags);
bool RDTCORFlagsMobile(uint32_t flags);

// 0 none, 1 reachable and not mobile, 2 mobile; from the current reachability flags.
int RDTCORCurrentNetworkKind();
int RDTCORNetworkKindForFlags(uint32_t flags);

// The code (1-11) of a mobile radio technology name, 0 for anything else.
int RDTCORMobileTechnologyCode(const std::string& technology);
// The current mobile radio technology's code; 0 when there is no mobile radio to ask.
int RDTCORCurrentMobileTechnology();
