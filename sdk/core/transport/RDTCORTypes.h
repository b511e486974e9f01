#pragma once
// Plain value types shared by every part of the event transport.
#include <cstdint>
#include <functional>

#include "platform/foundation/Error.h"

// The backend an event goes to; the registrar keys its tables by it.
using RDTCORTarget = int64_t;
inline constexpr RDTCORTarget RDTCORTargetCCT = 1000;
inline constexpr RDTCORTarget RDTCORTargetFLL = 1001;
inline constexpr RDTCORTarget RDTCORTargetCSH = 1002;

// An event's quality tier: the prioritizer reads it; 4 makes the storage force an upload at once.
using RDTCOREventQoS = int64_t;
inline constexpr RDTCOREventQoS RDTCOREventQoSTelemetry = 1;
inline constexpr RDTCOREventQoS RDTCOREventQoSDaily = 2;
inline constexpr RDTCOREventQoS RDTCOREventQoSDefault = 3;
inline constexpr RDTCOREventQoS RDTCOREventQoSFast = 4;
inline constexpr RDTCOREventQoS RDTCOREventQoSWifiOnly = 5;

// Network conditions of an upload: exactly one of no network, mobile or wifi, plus 16 when forced.
using RDTCORUploadConditions = uint32_t;
inline constexpr RDTCORUploadConditions RDTCORUploadConditionNoNetwork = 1;
inline constexpr RDTCORUploadConditions RDTCORUploadConditionMobileData = 2;
inline constexpr RDTCORUploadConditions RDTCORUploadConditionWifiData = 4;
inline constexpr RDTCORUploadConditions RDTCORUploadConditionHighPriority = 16;

// The completion of a send or store: whether the event reached the storage, and why not.
using RDTCORSendCompletion = std::function<void(bool wasWritten, foundation::ErrorPtr error)>;

// Background task identifiers; 0 means none was begun.
using RDTCORBackgroundIdentifier = uint64_t;
inline constexpr RDTCORBackgroundIdentifier RDTCORBackgroundIdentifierInvalid = 0;

// The error domain of the transport's own refusals (bad input, missing parts).
inline constexpr const char* kRDTCORErrorDomain = "RDTCORErrorDomain";
inline constexpr const char* kRDTCORErrorDomainArchive = "RDTCORArchiveErrorDomain";
