#pragma once
// Decoding received image data with a cap on the memory a decode may take, so a small payload that
// claims a huge picture is refused instead of exhausting memory.
#include <QByteArray>
#include <QImage>

namespace peer {

// Enough for a 48-megapixel photograph in 32-bit colour.
inline constexpr int kImageAllocationLimitMB = 256;

// A null image when the data is not an image Qt can read, or needs more than the limit.
QImage decodeImage(const QByteArray& data, int allocationLimitMB = kImageAllocationLimitMB);

} // namespace peer
