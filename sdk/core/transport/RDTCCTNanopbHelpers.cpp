#include "sdk/core/transport/RDTCCTNanopbHelpers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pb_decode.h>
#include <pb_encode.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <system_error>
#include <unistd.h>

#include "platform/foundation/Bundle.h"
#include "sdk/core/transport/RDTCORLog.h"
#include "sdk/core/transport/RDTCORPlatform.h"

namespace {

// The whole file; nothing (and why) when it cannot be read.
std::optional<foundation::Data> readPayload(const std::string& path, std::string* why) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        *why = std::generic_category().message(errno); // strerror's buffer is shared between threads
        return std::nullopt;
    }
    std::optional<foundation::Data> bytes;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *why = "not a regular file";
    } else {
        bytes.emplace(size_t(st.st_size));
        size_t got = 0;
        while (got < bytes->size()) {
            ssize_t n = ::read(fd, bytes->data() + got, bytes->size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += size_t(n);
        }
        if (got != bytes->size()) {
            *why = "the file changed while it was read";
            bytes.reset();
        }
    }
    ::close(fd);
    return bytes;
}

// Encoding callbacks: each writes its field from the builder's storage (`arg`).
bool encodePayload(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    const auto& payload = *static_cast<const std::optional<foundation::Data>*>(*arg);
    if (!payload) return true;
    return pb_encode_tag_for_field(stream, field) &&
           pb_encode_string(stream, payload->data(), payload->size());
}

bool encodeLogEvents(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    for (const auto& event : *static_cast<const std::vector<RDTCCTLogEvent>*>(*arg)) {
        rdtcct_LogEvent message = event.message;
        message.source_extension.funcs.encode = encodePayload;
        message.source_extension.arg = const_cast<std::optional<foundation::Data>*>(&event.sourceExtension);
        if (!pb_encode_tag_for_field(stream, field) ||
            !pb_encode_submessage(stream, rdtcct_LogEvent_fields, &message))
            return false;
    }
    return true;
}

char* text(const std::string& s) {
    return const_cast<char*>(s.c_str());
}

bool encodeLogRequests(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    for (const auto& request : *static_cast<const std::vector<RDTCCTLogRequest>*>(*arg)) {
        rdtcct_LogRequest message = request.message;
        if (const auto& c = request.clientInfo) {
            auto& ios = message.client_info.ios_client_info;
            ios.os_major_version = text(c->osMajorVersion);
            ios.os_full_version = text(c->osFullVersion);
            ios.application_build = c->applicationBuild ? text(*c->applicationBuild) : nullptr;
            ios.country = c->country ? text(*c->country) : nullptr;
            ios.model = text(c->model);
            ios.language_code = text(c->languageCode);
            ios.application_bundle_id = text(c->applicationBundleID);
        }
        message.log_event.funcs.encode = encodeLogEvents;
        message.log_event.arg = const_cast<std::vector<RDTCCTLogEvent>*>(&request.events);
        if (!pb_encode_tag_for_field(stream, field) ||
            !pb_encode_submessage(stream, rdtcct_LogRequest_fields, &message))
            return false;
    }
    return true;
}

std::string localeCountry() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string locale = value;
        auto underscore = locale.find('_');
        if (underscore == std::string::npos) return {};
        auto end = locale.find_first_of(".@", underscore);
        return locale.substr(underscore + 1, end == std::string::npos ? end : end - underscore - 1);
    }
    return {};
}

} // namespace

foundation::Data RDTCCTNetworkConnectionRecordData(const RDTCCTNetworkConnectionRecord& record) {
    foundation::Data data(sizeof record);
    std::memcpy(data.data(), &record, sizeof record);
    return data;
}

std::optional<RDTCCTNetworkConnectionRecord>
RDTCCTNetworkConnectionRecordFromData(const foundation::Data& data) {
    if (data.size() != sizeof(RDTCCTNetworkConnectionRecord)) return std::nullopt;
    RDTCCTNetworkConnectionRecord record;
    std::memcpy(&record, data.data(), sizeof record);
    return record;
}

uint32_t RDTCCTMobileSubtypeForTechnology(int technology) {
    // Indexed by the radio technology code; WCDMA has no subtype of its own on the wire.
    static constexpr uint32_t table[] = {0, 1, 2, 0, 8, 9, 4, 5, 6, 12, 14, 13};
    return technology >= 0 && technology < int(std::size(table)) ? table[technology] : 0;
}

foundation::Data RDTCCTNetworkConnectionInfoFor(int networkKind, int mobileTechnology) {
    RDTCCTNetworkConnectionRecord record;
    if (networkKind == RDTCORNetworkKindMobile) {
        record.hasNetworkType = 1;
        record.networkType = rdtcct_NetworkConnectionInfo_NetworkType_MOBILE;
        record.mobileSubtype = RDTCCTMobileSubtypeForTechnology(mobileTechnology);
        record.hasMobileSubtype = record.mobileSubtype != 0;
    } else if (networkKind == RDTCORNetworkKindWifi) {
        record.hasNetworkType = 1;
        record.networkType = rdtcct_NetworkConnectionInfo_NetworkType_WIFI;
    }
    return RDTCCTNetworkConnectionRecordData(record);
}

foundation::Data RDTCCTConstructNetworkConnectionInfo() {
    return RDTCCTNetworkConnectionInfoFor(RDTCORCurrentNetworkKind(), RDTCORCurrentMobileTechnology());
}

int32_t RDTCCTLogSourceForMappingID(const std::string& mappingID) {
    size_t i = 0;
    while (i < mappingID.size() && std::isspace(static_cast<unsigned char>(mappingID[i])))
        ++i;
    bool negative = false;
    if (i < mappingID.size() && (mappingID[i] == '-' || mappingID[i] == '+'))
        negative = mappingID[i++] == '-';
    int64_t value = 0;
    for (; i < mappingID.size() && mappingID[i] >= '0' && mappingID[i] <= '9'; ++i) {
        value = value * 10 + (mappingID[i] - '0');
        if (value > int64_t(INT32_MAX) + 1) break; // saturates below
    }
    if (negative) value = -value;
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

RDTCCTLogEvent RDTCCTConstructLogEvent(const RDTCOREvent& event, const std::string& rootDirectory) {
    RDTCCTLogEvent built;
    rdtcct_LogEvent& logEvent = built.message;
    RDTCORClock clock = event.clockSnapshot().value_or(RDTCORClock());
    logEvent.has_event_time_ms = true;
    logEvent.event_time_ms = clock.timeMillis();
    logEvent.has_timezone_offset_seconds = true;
    logEvent.timezone_offset_seconds = clock.timezoneOffsetSeconds();
    logEvent.has_event_uptime_ms = true;
    logEvent.event_uptime_ms = clock.uptime();

    if (event.customBytes()) {
        if (auto data = event.networkConnectionInfoData())
            if (auto record = RDTCCTNetworkConnectionRecordFromData(*data)) {
                logEvent.has_network_connection_info = true;
                auto& info = logEvent.network_connection_info;
                info.has_network_type = record->hasNetworkType != 0;
                if (info.has_network_type)
                    info.network_type = rdtcct_NetworkConnectionInfo_NetworkType(record->networkType);
                info.has_mobile_subtype = record->hasMobileSubtype != 0;
                if (info.has_mobile_subtype)
                    info.mobile_subtype = rdtcct_NetworkConnectionInfo_MobileSubtype(record->mobileSubtype);
            }
        // The wire field is 32 bits wide: a code outside it cannot be sent as it is.
        if (auto code = event.eventCode(); code && *code >= INT32_MIN && *code <= INT32_MAX) {
            logEvent.has_event_code = true;
            logEvent.event_code = int32_t(*code);
        }
    }

    const auto& name = event.RDTFilePath();
    if (!name) {
        RDTCORLogWarning(RDTCORLogCodeEventWithoutFileURL, "An event's fileURL property was nil.");
        return built;
    }
    // Only a payload file of the transport's own folder is read; a path from elsewhere is unreadable.
    std::string why = "not a payload file name of the transport";
    if (RDTCORIsSafePayloadFileName(*name)) {
        std::string root = rootDirectory.empty() ? RDTCORRootDirectory() : rootDirectory;
        built.sourceExtension = readPayload(root + "/" + *name, &why);
    }
    if (!built.sourceExtension)
        RDTCORLog(RDTCORLogCodeReadExtensionBytes, RDTCORLoggingLevelNotice,
                  "There was an error reading extension bytes from disk: %@", *name + ": " + why);
    return built;
}

RDTCCTIosClientInfo RDTCCTConstructiOSClientInfo() {
    RDTCCTIosClientInfo info;
    struct utsname names;
    if (::uname(&names) == 0) {
        info.osFullVersion = names.release;
        info.model = names.machine;
    }
    info.osMajorVersion = info.osFullVersion.substr(0, info.osFullVersion.find('.'));
    auto bundle = foundation::Bundle::main();
    const foundation::Value build = bundle->objectForInfoDictionaryKey("CFBundleVersion");
    if (build.string()) info.applicationBuild = *build.string();
    if (auto country = localeCountry(); !country.empty()) info.country = country;
    info.languageCode = "en";
    const foundation::Value localizations = bundle->objectForInfoDictionaryKey("CFBundleLocalizations");
    const foundation::Value region = bundle->objectForInfoDictionaryKey("CFBundleDevelopmentRegion");
    if (localizations.array() && !localizations.array()->empty() && (*localizations.array())[0].string())
        info.languageCode = *(*localizations.array())[0].string();
    else if (region.string())
        info.languageCode = *region.string();
    info.applicationBundleID = bundle->bundleIdentifier();
    return info;
}

RDTCCTLogRequest RDTCCTConstructLogRequest(int32_t logSource, const RDTCOREventSet& logSet,
                                           const std::string& rootDirectory) {
    RDTCCTLogRequest built;
    if (logSet.empty()) {
        RDTCORLogWarning(RDTCORLogCodeEncoding, "An empty event set can't be serialized to proto.");
        return built;
    }
    rdtcct_LogRequest& request = built.message;
    request.has_client_info = true;
    request.client_info.has_client_type = true;
    request.client_info.client_type = rdtcct_ClientInfo_ClientType_IOS;
    request.client_info.has_ios_client_info = true;
    built.clientInfo = RDTCCTConstructiOSClientInfo();
    request.has_log_source = true;
    request.log_source = logSource;
    built.events.reserve(logSet.size());
    for (const auto& event : logSet)
        built.events.push_back(RDTCCTConstructLogEvent(*event, rootDirectory));
    RDTCORClock now = RDTCORClock::snapshot();
    request.has_request_time_ms = true;
    request.request_time_ms = now.timeMillis();
    request.has_request_uptime = true;
    request.request_uptime = now.uptime();
    return built;
}

RDTCCTBatchedLogRequest
RDTCCTConstructBatchedLogRequest(const std::map<std::string, RDTCOREventSet>& logMappingIDToLogSet,
                                 const std::string& rootDirectory) {
    RDTCCTBatchedLogRequest batched;
    for (const auto& [mappingID, logSet] : logMappingIDToLogSet)
        batched.requests.push_back(
            RDTCCTConstructLogRequest(RDTCCTLogSourceForMappingID(mappingID), logSet, rootDirectory));
    return batched;
}

foundation::Data RDTCCTEncode(const RDTCCTBatchedLogRequest& batchedLogRequest) {
    rdtcct_BatchedLogRequest message = rdtcct_BatchedLogRequest_init_default;
    message.log_request.funcs.encode = encodeLogRequests;
    message.log_request.arg = const_cast<std::vector<RDTCCTLogRequest>*>(&batchedLogRequest.requests);
    pb_ostream_t sizing = PB_OSTREAM_SIZING;
    if (!pb_encode(&sizing, rdtcct_BatchedLogRequest_fields, &message)) {
        RDTCORLogWarning(RDTCORLogCodeEncoding, "Error in nanopb encoding for size: %s",
                         PB_GET_ERROR(&sizing));
        return {};
    }
    foundation::Data bytes(sizing.bytes_written);
    pb_ostream_t stream = pb_ostream_from_buffer(bytes.data(), bytes.size());
    if (!pb_encode(&stream, rdtcct_BatchedLogRequest_fields, &message) ||
        stream.bytes_written != bytes.size()) {
        RDTCORLogWarning(RDTCORLogCodeEncoding, "Error in nanopb encoding for bytes: %s",
                         PB_GET_ERROR(&stream));
        return {}; // a cut-off request must not be sent as if it were whole
    }
    return bytes;
}

RDTCCTLogResponse RDTCCTDecodeLogResponse(const foundation::Data& data, foundation::ErrorPtr* error) {
    return RDTCCTDecodeLogResponse(data.data(), data.size(), error);
}

RDTCCTLogResponse RDTCCTDecodeLogResponse(const uint8_t* bytes, size_t size, foundation::ErrorPtr* error) {
    RDTCCTLogResponse result;
    rdtcct_LogResponse response = rdtcct_LogResponse_init_default;
    pb_istream_t stream = pb_istream_from_buffer(bytes, size);
    if (!pb_decode(&stream, rdtcct_LogResponse_fields, &response)) {
        if (error)
            *error = foundation::Error::make("NSURLErrorDomain", -1,
                                             {{"nanopb error:", std::string(PB_GET_ERROR(&stream))}});
        pb_release(rdtcct_LogResponse_fields, &response);
        return result;
    }
    if (response.has_next_request_wait_millis)
        result.nextRequestWaitMillis = response.next_request_wait_millis;
    if (response.has_qos_tier) {
        result.qosTierConfigurationCount = response.qos_tier.qos_tier_configuration_count;
        if (response.qos_tier.has_qos_tier_fingerprint)
            result.qosTierFingerprint = response.qos_tier.qos_tier_fingerprint;
    }
    pb_release(rdtcct_LogResponse_fields, &response);
    return result;
}
