#pragma once
// gzip for upload bodies: a whole buffer in, a gzip stream out.
#include <optional>

#include "platform/foundation/Value.h"

class RDTCCTCompressionHelper {
  public:
    // The gzip stream of `data` at zlib's default level; nothing for empty input, input past 4 GiB
    // or a zlib failure.
    static std::optional<foundation::Data> gzippedData(const foundation::Data& data);
    static std::optional<foundation::Data> gzippedData(const uint8_t* bytes, size_t size);
    // Whether `data` starts with the gzip magic bytes.
    static bool isGzipped(const foundation::Data& data);
};
