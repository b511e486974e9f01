#pragma once
// The upload request and response of the upload backend: building the batched log request from stored
// events (payload files, clock snapshots, extras), encoding it, decoding the log response, and the
// 16-byte network connection record events carry in their extras.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/proto/cct.pb.h"

// The stored form of a network connection info, in the machine's byte order.
struct RDTCCTNetworkConnectionRecord {
    uint8_t hasNetworkType = 0;
    uint8_t padding1[3] = {0, 0, 0};
    int32_t networkType = -1;
    uint8_t hasMobileSubtype = 0;
    uint8_t padding2[3] = {0, 0, 0};
    uint32_t mobileSubtype = 0;
};
static_assert(sizeof(RDTCCTNetworkConnectionRecord) == 16);

// The record as bytes, and back (nothing unless exactly 16 bytes).
foundation::Data RDTCCTNetworkConnectionRecordData(const RDTCCTNetworkConnectionRecord& record);
std::optional<RDTCCTNetworkConnectionRecord>
RDTCCTNetworkConnectionRecordFromData(const foundation::Data& data);

// The wire mobile subtype of a mobile radio technology code (0-11); 0 for unknown ones.
uint32_t RDTCCTMobileSubtypeForTechnology(int technology);
// The record of a network kind (0 none, 1 wifi, 2 mobile) and radio technology code.
foundation::Data RDTCCTNetworkConnectionInfoFor(int networkKind, int mobileTechnology);
// The record of the current network.
foundation::Data RDTCCTConstructNetworkConnectionInfo();

// The log source of a mapping ID: its leading decimal number, 0 without one.
int32_t RDTCCTLogSourceForMappingID(const std::string& mappingID);

// The parts of a batched log request as built from events. They own what the message's callbacks
// write (the events of a request, the payload bytes) and the client strings, so a request of any size
// is encoded without nanopb's arrays and is freed with the object.
struct RDTCCTLogEvent {
    rdtcct_LogEvent message = rdtcct_LogEvent_init_default; // the scalar fields
    std::optional<foundation::Data> sourceExtension;        // the payload; absent when unreadable
};

struct RDTCCTIosClientInfo {
    std::string osMajorVersion, osFullVersion;
    std::optional<std::string> applicationBuild, country;
    std::string model, languageCode, applicationBundleID;
};

struct RDTCCTLogRequest {
    rdtcct_LogRequest message = rdtcct_LogRequest_init_default; // the scalar fields
    std::optional<RDTCCTIosClientInfo> clientInfo;              // present with client type 15
    std::vector<RDTCCTLogEvent> events;
};

struct RDTCCTBatchedLogRequest {
    std::vector<RDTCCTLogRequest> requests;
};

// Payload files are read from `rootDirectory` (default: the transport folder).
RDTCCTBatchedLogRequest
RDTCCTConstructBatchedLogRequest(const std::map<std::string, RDTCOREventSet>& logMappingIDToLogSet,
                                 const std::string& rootDirectory = {});
RDTCCTLogRequest RDTCCTConstructLogRequest(int32_t logSource, const RDTCOREventSet& logSet,
                                           const std::string& rootDirectory = {});
RDTCCTLogEvent RDTCCTConstructLogEvent(const RDTCOREvent& event, const std::string& rootDirectory = {});
RDTCCTIosClientInfo RDTCCTConstructiOSClientInfo();

// The encoded bytes, in a sizing pass and a writing pass; empty when encoding fails (logged).
foundation::Data RDTCCTEncode(const RDTCCTBatchedLogRequest& batchedLogRequest);

// What the backend answers.
struct RDTCCTLogResponse {
    std::optional<int64_t> nextRequestWaitMillis;
    // The QoS override is read and not acted upon.
    size_t qosTierConfigurationCount = 0;
    std::optional<int64_t> qosTierFingerprint;
};

// The decoded response; an empty one and `error` (NSURLErrorDomain, -1) when the bytes are not one.
RDTCCTLogResponse RDTCCTDecodeLogResponse(const foundation::Data& data, foundation::ErrorPtr* error);
RDTCCTLogResponse RDTCCTDecodeLogResponse(const uint8_t* bytes, size_t size, foundation::ErrorPtr* error);
