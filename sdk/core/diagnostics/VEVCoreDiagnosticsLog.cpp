#include "sdk/core/diagnostics/VEVCoreDiagnosticsLog.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <pb_decode.h>
#include <pb_encode.h>

#include "sdk/core/transport/RDTCORLog.h"

namespace {

// Every bytes field of the record, for copying.
constexpr pb_bytes_array_t* CoreConfiguration::*kBytesFields[] = {
    &CoreConfiguration::device_model,   &CoreConfiguration::ruvara_app_id,
    &CoreConfiguration::bundle_id,      &CoreConfiguration::library_version_id,
    &CoreConfiguration::sdk_version,    &CoreConfiguration::os_version,
    &CoreConfiguration::min_os_version, &CoreConfiguration::build_tools_version,
    &CoreConfiguration::user_agent,
};

pb_bytes_array_t* copyBytes(const pb_bytes_array_t* bytes) {
    if (!bytes) return nullptr;
    auto* copy = static_cast<pb_bytes_array_t*>(std::malloc(PB_BYTES_ARRAY_T_ALLOCSIZE(bytes->size)));
    if (!copy) return nullptr;
    copy->size = bytes->size;
    std::memcpy(copy->bytes, bytes->bytes, bytes->size);
    return copy;
}

} // namespace

pb_bytes_array_t* VEVEncodeBytes(const std::string& text) {
    if (text.size() > std::numeric_limits<pb_size_t>::max()) return nullptr;
    // pb_release frees with free(): allocate with malloc.
    auto* bytes = static_cast<pb_bytes_array_t*>(std::malloc(PB_BYTES_ARRAY_T_ALLOCSIZE(text.size())));
    if (!bytes) return nullptr;
    bytes->size = pb_size_t(text.size());
    // A counted bytes field: no terminator belongs in it.
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result)
    std::memcpy(bytes->bytes, text.data(), text.size());
    return bytes;
}

VEVCoreDiagnosticsLog::VEVCoreDiagnosticsLog(const CoreConfiguration& config) : config_(copyConfig(config)) {}

VEVCoreDiagnosticsLog::~VEVCoreDiagnosticsLog() {
    releaseConfig(config_);
}

void VEVCoreDiagnosticsLog::setConfig(const CoreConfiguration& config) {
    CoreConfiguration copy = copyConfig(config);
    releaseConfig(config_);
    config_ = copy;
}

CoreConfiguration VEVCoreDiagnosticsLog::copyConfig(const CoreConfiguration& config) {
    // The scalars come over as they are; each heap block gets a copy of its own, so the two records
    // can be released apart.
    CoreConfiguration copy = config;
    for (auto field : kBytesFields)
        copy.*field = copyBytes(config.*field);
    copy.installed_services = nullptr;
    copy.installed_services_count = 0;
    if (config.installed_services && config.installed_services_count > 0) {
        size_t size = sizeof(*config.installed_services) * config.installed_services_count;
        if (auto* list = static_cast<CoreConfiguration_ServiceType*>(std::malloc(size))) {
            std::memcpy(list, config.installed_services, size);
            copy.installed_services = list;
            copy.installed_services_count = config.installed_services_count;
        }
    }
    return copy;
}

void VEVCoreDiagnosticsLog::releaseConfig(CoreConfiguration& config) {
    pb_release(CoreConfiguration_fields, &config);
    config = CoreConfiguration_init_zero;
}

foundation::Data VEVCoreDiagnosticsLog::encodeMessage(const pb_msgdesc_t* fields, const void* message) {
    pb_ostream_t sizing = PB_OSTREAM_SIZING;
    if (!pb_encode(&sizing, fields, message)) {
        RDTCORLogWarning(RDTCORLogCodeDiagnosticsEncoding, "Error in nanopb encoding for size: %s",
                         PB_GET_ERROR(&sizing));
        return {};
    }
    foundation::Data bytes(sizing.bytes_written);
    pb_ostream_t stream = pb_ostream_from_buffer(bytes.data(), bytes.size());
    if (!pb_encode(&stream, fields, message)) {
        RDTCORLogWarning(RDTCORLogCodeDiagnosticsEncoding, "Error in nanopb encoding for bytes: %s",
                         PB_GET_ERROR(&stream));
        return {};
    }
    bytes.resize(stream.bytes_written);
    return bytes;
}

foundation::Data VEVCoreDiagnosticsLog::transportBytes() {
    return encodeMessage(CoreConfiguration_fields, &config_);
}
