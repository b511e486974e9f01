#pragma once
// Reading a grab of a whole X screen whose background is black (Xvfb -br): where the window was drawn.
#include <QImage>
#include <QRect>

namespace screenshot {

// The bounding box of every pixel that is not black: the window as drawn, in screen pixels.
inline QRect drawnBounds(const QImage& shot) {
    const QImage img = shot.convertToFormat(QImage::Format_RGB32);
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if ((line[x] & 0xffffff) == 0) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace screenshot
