#pragma once
// A crash report as the payload of a transport event: its protocol-buffer message, the processed
// report's bytes streamed from their file while encoding. Reports go through a transport with the
// mapping ID "1206", no transformers and the target 1002, at tier 4 (uploaded at once).
#include <cstdint>
#include <memory>
#include <string>

#include "sdk/core/transport/RDTCOREvent.h"
#include "sdk/core/transport/RDTCORTypes.h"

class RDTCORTransport;

struct VEVCRSReport {
    std::string sdkVersion;
    std::string appIdentifier;
    std::string installationID;
    std::string bundleIdentifier;
    int64_t crashedAtSeconds = 0; // since 1970
    std::string reportPath;       // the processed report's file
};

class VEVCRSReportAdapter : public RDTCOREventDataObject {
  public:
    static constexpr const char* kMappingID = "1206";

    explicit VEVCRSReportAdapter(VEVCRSReport report) : report_(std::move(report)) {}
    const VEVCRSReport& report() const { return report_; }

    // The encoded report; no bytes when encoding fails (logged), so the transport refuses the event
    // rather than storing a cut-off report.
    foundation::Data transportBytes() override;

    // The transport reports are sent through.
    static std::shared_ptr<RDTCORTransport> reportTransport();
    // Sends the report on `transport` at tier 4; the completion hears whether it was stored.
    static void sendReport(const std::shared_ptr<RDTCORTransport>& transport, VEVCRSReport report,
                           RDTCORSendCompletion onComplete);

  private:
    VEVCRSReport report_;
};
