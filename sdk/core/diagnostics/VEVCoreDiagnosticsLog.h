#pragma once
// The transport payload of core diagnostics: owns one core configuration record and renders it with
// nanopb. The record's texts and service list are heap blocks of the record; they are copied with
// it and released with the object.
#include <pb.h>
#include <string>

#include "sdk/core/diagnostics/proto/core_configuration.pb.h"
#include "sdk/core/transport/RDTCOREvent.h"

class VEVCoreDiagnosticsLog : public RDTCOREventDataObject {
  public:
    // Takes a copy of the record; the caller keeps (and releases) its own.
    explicit VEVCoreDiagnosticsLog(const CoreConfiguration& config);
    ~VEVCoreDiagnosticsLog() override;
    VEVCoreDiagnosticsLog(const VEVCoreDiagnosticsLog&) = delete;
    VEVCoreDiagnosticsLog& operator=(const VEVCoreDiagnosticsLog&) = delete;

    const CoreConfiguration& config() const { return config_; }
    void setConfig(const CoreConfiguration& config);

    // The encoded record; empty (after the transport's warning 1005) when encoding fails.
    foundation::Data transportBytes() override;

    // A copy that owns copies of every heap block; a block that cannot be allocated leaves its field
    // unset in the copy.
    static CoreConfiguration copyConfig(const CoreConfiguration& config);
    // Releases the record's heap blocks and leaves it zeroed.
    static void releaseConfig(CoreConfiguration& config);
    // Encodes any message in two passes (size, then bytes). A failed pass yields no bytes at all:
    // half a record must never be stored or sent as if it were whole.
    static foundation::Data encodeMessage(const pb_msgdesc_t* fields, const void* message);

  private:
    CoreConfiguration config_;
};

// A heap copy of the text for a bytes field (exact length, no terminator); null when it cannot be
// allocated or does not fit the field's size type.
pb_bytes_array_t* VEVEncodeBytes(const std::string& text);
