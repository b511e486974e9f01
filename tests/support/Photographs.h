#pragma once
// Photograph-like JPEGs for the tests and the benchmarks: smooth light with fine grain, compressed as
// a camera's would be, so sizes and decode costs are a real photograph's (3-4 MB at 12 megapixels).
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdint>

namespace testsupport {

inline QByteArray photograph(int seed, int w = 4000, int h = 3000) {
    QImage img(w, h, QImage::Format_RGB32);
    uint32_t grain = uint32_t(seed) * 2654435761u + 1;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            grain = grain * 1664525u + 1013904223u;
            const int g = int(grain >> 28);
            line[x] =
                qRgb((x * 255 / w + g + seed * 7) & 255, (y * 255 / h + g) & 255, ((x + y) / 16 + g) & 255);
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "JPEG", 92);
    return bytes;
}

} // namespace testsupport
