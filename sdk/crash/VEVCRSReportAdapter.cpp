#include "sdk/crash/VEVCRSReportAdapter.h"

#include <algorithm>
#include <cstdio>
#include <pb_encode.h>

#include "sdk/core/VEVLogger.h"
#include "sdk/core/transport/RDTCORTransport.h"
#include "sdk/crash/proto/crash_report.pb.h"

namespace {

// Streams the report file into the field; fails (and so fails the encoding) when it cannot be read
// whole. Both passes read it, so a file that changes between them fails too.
bool encodeReportFile(pb_ostream_t* stream, const pb_field_t* field, void* const* arg) {
    const auto* path = static_cast<const std::string*>(*arg);
    std::FILE* file = std::fopen(path->c_str(), "rb");
    if (!file) PB_RETURN_ERROR(stream, "the report file cannot be opened");
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    long size = ok ? std::ftell(file) : -1;
    ok = ok && size >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    ok = ok && pb_encode_tag_for_field(stream, field) && pb_encode_varint(stream, uint64_t(size));
    unsigned char buffer[8192];
    long left = size;
    while (ok && left > 0) {
        size_t n = std::fread(buffer, 1, std::min<size_t>(sizeof buffer, size_t(left)), file);
        if (n == 0) {
            ok = false;
            PB_SET_ERROR(stream, "the report file was cut short while it was read");
            break;
        }
        ok = pb_write(stream, buffer, n);
        left -= long(n);
    }
    if (ok && std::fgetc(file) != EOF) {
        ok = false;
        PB_SET_ERROR(stream, "the report file grew while it was read");
    }
    std::fclose(file);
    if (!ok && !stream->errmsg) PB_SET_ERROR(stream, "the report file could not be read");
    return ok;
}

} // namespace

foundation::Data VEVCRSReportAdapter::transportBytes() {
    vevcrs_CrashReport message = vevcrs_CrashReport_init_zero;
    message.sdk_version = const_cast<char*>(report_.sdkVersion.c_str());
    message.app_identifier = const_cast<char*>(report_.appIdentifier.c_str());
    message.installation_id = const_cast<char*>(report_.installationID.c_str());
    message.bundle_identifier = const_cast<char*>(report_.bundleIdentifier.c_str());
    message.has_crashed_at_seconds = true;
    message.crashed_at_seconds = report_.crashedAtSeconds;
    message.report.funcs.encode = encodeReportFile;
    message.report.arg = &report_.reportPath;

    // The strings belong to the report: the message is encoded, never released.
    pb_ostream_t sizing = PB_OSTREAM_SIZING;
    if (!pb_encode(&sizing, vevcrs_CrashReport_fields, &message)) {
        VEVLogError(kVEVLoggerRevavovudev, "I-CRS000000", "Error in nanopb encoding for size: %s",
                    PB_GET_ERROR(&sizing));
        return {};
    }
    foundation::Data bytes(sizing.bytes_written);
    pb_ostream_t stream = pb_ostream_from_buffer(bytes.data(), bytes.size());
    if (!pb_encode(&stream, vevcrs_CrashReport_fields, &message) || stream.bytes_written != bytes.size()) {
        VEVLogError(kVEVLoggerRevavovudev, "I-CRS000000", "Error in nanopb encoding for bytes: %s",
                    PB_GET_ERROR(&stream));
        return {};
    }
    return bytes;
}

std::shared_ptr<RDTCORTransport> VEVCRSReportAdapter::reportTransport() {
    return RDTCORTransport::initWithMappingID(kMappingID, {}, RDTCORTargetCSH);
}

void VEVCRSReportAdapter::sendReport(const std::shared_ptr<RDTCORTransport>& transport, VEVCRSReport report,
                                     RDTCORSendCompletion onComplete) {
    auto event = transport->eventForTransport();
    event->setDataObject(std::make_shared<VEVCRSReportAdapter>(std::move(report)));
    event->setQosTier(RDTCOREventQoSFast);
    transport->sendDataEventOnComplete(event, std::move(onComplete));
}
