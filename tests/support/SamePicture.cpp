#include "tests/support/SamePicture.h"

#include <sstream>

namespace picturecheck {

namespace {

std::string describe(QRgb p) {
    std::ostringstream out;
    out << "(" << qRed(p) << "," << qGreen(p) << "," << qBlue(p) << "," << qAlpha(p) << ")";
    return out.str();
}

} // namespace

std::string difference(const QImage& expected, const QImage& actual) {
    std::ostringstream out;
    if (expected.isNull() != actual.isNull() || expected.size() != actual.size()) {
        out << "sizes differ: " << expected.width() << "x" << expected.height() << " and " << actual.width()
            << "x" << actual.height();
        return out.str();
    }
    // Premultiplying is integer arithmetic, alike on every processor; only the way back rounds by processor.
    const QImage a = expected.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = actual.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    int differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (lineA[x] == lineB[x]) continue;
            if (differing++ == 0)
                out << "first at (" << x << "," << y << "): " << describe(expected.pixel(x, y)) << " and "
                    << describe(actual.pixel(x, y));
        }
    }
    if (differing == 0) return {};
    return std::to_string(differing) + " pixel(s) differ; " + out.str();
}

} // namespace picturecheck
