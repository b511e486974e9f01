#include "sdk/core/transport/RDTCCTCompressionHelper.h"

#include <zlib.h>

namespace {
constexpr size_t kChunkSize = 1024;
constexpr int kGzipWindowBits = 31; // a 15-bit window with the gzip wrapper
constexpr int kMemoryLevel = 8;
} // namespace

std::optional<foundation::Data> RDTCCTCompressionHelper::gzippedData(const foundation::Data& data) {
    return gzippedData(data.data(), data.size());
}

std::optional<foundation::Data> RDTCCTCompressionHelper::gzippedData(const uint8_t* bytes, size_t size) {
    if (size == 0 || size > 4294967295ULL) return std::nullopt;
    z_stream stream{};
    if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    foundation::Data out;
    out.reserve(size / 4);
    stream.next_in = const_cast<Bytef*>(bytes);
    stream.avail_in = uInt(size);
    int result = Z_OK;
    while (result == Z_OK) {
        size_t used = out.size();
        out.resize(used + kChunkSize);
        stream.next_out = out.data() + used;
        stream.avail_out = uInt(kChunkSize);
        result = deflate(&stream, Z_FINISH);
        out.resize(used + kChunkSize - stream.avail_out);
        // Z_BUF_ERROR only says this round made no progress with the room it had; a new chunk follows.
        if (result == Z_BUF_ERROR && stream.avail_out == 0) result = Z_OK;
    }
    deflateEnd(&stream);
    if (result != Z_STREAM_END) return std::nullopt;
    return out;
}

bool RDTCCTCompressionHelper::isGzipped(const foundation::Data& data) {
    return data.size() >= 2 && data[0] == 0x1F && data[1] == 0x8B;
}
