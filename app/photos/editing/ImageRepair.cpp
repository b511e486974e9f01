#include "app/photos/editing/ImageRepair.h"

#include <cmath>
#include <cstdint>

namespace photoedit {

namespace {

// Quarter turns are built exactly: the library's rotation leaves sine rests that would blur a pixel.
void rotateQuarter(QTransform& t, int quarters) {
    static constexpr int kSin[4] = {0, 1, 0, -1};
    static constexpr int kCos[4] = {1, 0, -1, 0};
    const int q = ((quarters % 4) + 4) % 4;
    // Same order as QTransform::rotate: the rotation acts on the coordinates first.
    t = QTransform(kCos[q], kSin[q], -kSin[q], kCos[q], 0, 0) * t;
}

QTransform stepsForOrientation(ui::ImageOrientation o, double w, double h) {
    QTransform t;
    switch (o) {
    case ui::ImageOrientation::Down:
        t.translate(w, 0);
        t.scale(1, -1);
        rotateQuarter(t, -2);
        break;
    case ui::ImageOrientation::Left:
        t.scale(1, -1);
        rotateQuarter(t, 1);
        break;
    case ui::ImageOrientation::Right:
        t.scale(1, -1);
        rotateQuarter(t, -1);
        break;
    case ui::ImageOrientation::UpMirrored:
        t.scale(-1, -1);
        break;
    case ui::ImageOrientation::DownMirrored:
        t.scale(-1, -1);
        rotateQuarter(t, -2);
        break;
    // The mirrored sideways pair: LeftMirrored (EXIF 5) is shown transposed, across the main
    // diagonal; RightMirrored (EXIF 7) transversed, across the other one.
    case ui::ImageOrientation::LeftMirrored:
        t.translate(w, h);
        rotateQuarter(t, 1);
        break;
    case ui::ImageOrientation::RightMirrored:
        t.translate(w, h);
        rotateQuarter(t, -1);
        break;
    default:
        break;
    }
    return t;
}

QRectF rectForOrientation(ui::ImageOrientation o, double w, double h) {
    switch (o) {
    case ui::ImageOrientation::Left:
        return {-h, -w, h, w};
    case ui::ImageOrientation::Right:
        return {0, 0, h, w};
    case ui::ImageOrientation::UpMirrored:
        return {0, 0, -w, -h};
    case ui::ImageOrientation::LeftMirrored:
        return {-h, 0, h, w};
    case ui::ImageOrientation::RightMirrored:
        return {0, -w, h, w};
    default:
        return {0, 0, w, h};
    }
}

ui::Image drawnFor(const ui::Image& image, ui::ImageOrientation steps) {
    const QSize size = image.size();
    const double w = size.width(), h = size.height();
    return {
        drawInContext(size, stepsForOrientation(steps, w, h), rectForOrientation(steps, w, h), image.bitmap),
        ui::ImageOrientation::Up};
}

} // namespace

QImage drawInContext(QSize contextSize, const QTransform& ctm, QRectF rect, const QImage& bitmap) {
    QImage out(contextSize, QImage::Format_RGB32);
    out.fill(Qt::black);
    if (bitmap.isNull() || contextSize.isEmpty()) return out;
    rect = rect.normalized();
    if (rect.isEmpty()) return out;
    bool invertible = false;
    const QTransform inv = ctm.inverted(&invertible);
    if (!invertible) return out;

    // Premultiplied pixels with the alpha forced up are the picture drawn over the opaque (black) ground.
    const QImage src = bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int bw = src.width(), bh = src.height();
    // Context point → bitmap column u and (bottom-up) row v, both affine in the context's pixel centres.
    const double kx = bw / rect.width(), ky = bh / rect.height();
    const QPointF o = inv.map(QPointF(0.5, 0.5));
    const QPointF ex = inv.map(QPointF(1.5, 0.5)) - o;
    const QPointF ey = inv.map(QPointF(0.5, 1.5)) - o;
    const double u0 = (o.x() - rect.x()) * kx, v0 = (o.y() - rect.y()) * ky;
    const double dux = ex.x() * kx, dvx = ex.y() * ky, duy = ey.x() * kx, dvy = ey.y() * ky;

    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<uint32_t*>(out.scanLine(y));
        double u = u0 + duy * y, v = v0 + dvy * y;
        for (int x = 0; x < out.width(); ++x, u += dux, v += dvx) {
            const long i = long(std::floor(u)), j = long(std::floor(v));
            if (i < 0 || j < 0 || i >= bw || j >= bh) continue;
            // The bitmap's first row lies on the rectangle's bottom edge.
            const auto* row = reinterpret_cast<const uint32_t*>(src.constScanLine(int(bh - 1 - j)));
            line[x] = row[i] | 0xff000000u;
        }
    }
    return out;
}

ui::Image repairImage(const ui::Image& image) {
    const int o = int(image.orientation);
    if (o == 0 || o > 7 || image.isNull()) return image;
    return drawnFor(image, image.orientation);
}

ui::Image rotateImage(const ui::Image& image, int rotateType) {
    switch (rotateType) {
    case 90:
        return drawnFor(image, ui::ImageOrientation::Right);
    case 180:
        return drawnFor(image, ui::ImageOrientation::Down);
    case 270:
        return drawnFor(image, ui::ImageOrientation::Left);
    default:
        return image;
    }
}

const char* reversalRecipe(bool vertical, bool horizontal) {
    if (vertical && horizontal) return "allReverse";
    if (horizontal) return "horizonalReverse";
    return vertical ? "verticalReverse" : "";
}

Reversal reversalImage(const ui::Image& image, bool vertical, bool horizontal) {
    if (!vertical && !horizontal) return {image, ""};
    const QSize size = image.size();
    const double w = size.width(), h = size.height();
    QTransform t;
    if (vertical && horizontal) {
        t.translate(w, 0);
        t.scale(-1, 1);
    } else if (horizontal) {
        t.translate(w, h);
        t.scale(-1, -1);
    }
    return {{drawInContext(size, t, QRectF(0, 0, w, h), image.bitmap), ui::ImageOrientation::Up},
            reversalRecipe(vertical, horizontal)};
}

QRectF cropRect(QSizeF window, QRectF frame, QRectF defaultFrame, float ratio) {
    const double W = window.width(), H = window.height();
    const float s = float(W / frame.width());
    const float ux = float(((W - defaultFrame.width()) * 0.5) / W);
    const float uy = float(((H - defaultFrame.height()) * 0.5) / H);
    const double r = ratio;
    return {double(s) * (-frame.width() * double(ux) - frame.x()) / r,
            double(s) * (-frame.height() * double(uy) - frame.y()) / r, W * double(s) / r, H * double(s) / r};
}

QImage cutImage(const QImage& bitmap, QRectF crop) {
    if (bitmap.isNull() || !std::isfinite(crop.x()) || !std::isfinite(crop.y()) ||
        !std::isfinite(crop.width()) || !std::isfinite(crop.height()))
        return {};
    crop = crop.normalized();
    // Whole pixels covering the rectangle, as the platform's sub-image operation takes them.
    const double x0 = std::floor(crop.left()), y0 = std::floor(crop.top());
    const double x1 = std::ceil(crop.right()), y1 = std::ceil(crop.bottom());
    const double cx0 = std::max(0.0, x0), cy0 = std::max(0.0, y0);
    const double cx1 = std::min(double(bitmap.width()), x1), cy1 = std::min(double(bitmap.height()), y1);
    if (cx1 <= cx0 || cy1 <= cy0) return {};
    if (cx0 == 0 && cy0 == 0 && cx1 == bitmap.width() && cy1 == bitmap.height()) return bitmap; // all of it
    return bitmap.copy(QRect(int(cx0), int(cy0), int(cx1 - cx0), int(cy1 - cy0)));
}

} // namespace photoedit
