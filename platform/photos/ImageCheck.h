#pragma once
// Whether encoded image data is a picture the library may keep, and its type and stored size. Refused:
// data no decoder reads, a picture that would need more memory than a photograph may, data far too
// short for the size its header claims, and (on a whole decode) a picture whose decoder reports that
// data is missing, as in a photograph cut off in transit.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"
#include "platform/image/ImageDecoding.h"

namespace photos {

struct ImageInfo {
    int width = 0, height = 0; // as stored, before an orientation tag turns it
    std::string uniformTypeIdentifier, extension;
};

struct ImageCheck {
    std::optional<ImageInfo> info; // a picture
    std::string refusal;           // otherwise, why not (for the log)
    explicit operator bool() const { return info.has_value(); }
};

// Enough for a 48-megapixel photograph in 32-bit colour.
inline constexpr int kImageDecodeLimitMB = imaging::kAllocationLimitMB;
// No picture format packs more pixels than this into one byte of data (a flat colour in PNG comes
// nearest, at about 8000), so a header claiming more describes a picture the data cannot hold.
inline constexpr int64_t kMostPixelsPerByte = 16384;

// The header alone: cheap, for pictures the program made itself.
ImageCheck inspectImage(const foundation::Data& data);
// The header and a whole decode (JPEG at an eighth of the size, which still reads every byte of the
// scan): for pictures that came from outside.
ImageCheck checkImage(const foundation::Data& data);

} // namespace photos
