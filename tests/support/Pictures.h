#pragma once
// Pictures for the tests of pictures: a four-colour picture whose every pixel is also told apart, the
// expected result of a turn or mirror pixel by pixel, JPEG files with an EXIF orientation, and how a
// reader that applies the orientation shows them.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <functional>

#include "platform/foundation/Value.h"
#include "tests/support/SamePicture.h"

namespace pictures {

// Quadrants red, green, blue and yellow (top-left, top-right, bottom-left, bottom-right), each pixel
// carrying its column and row in the low bits.
inline QImage fourColour(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            int r = 0, g = 0, b = 0;
            if (!right && !bottom) r = 200;
            if (right && !bottom) g = 200;
            if (!right && bottom) b = 200;
            if (right && bottom) r = g = 200;
            image.setPixel(x, y, qRgb(r + (x % 50), g + (y % 50), b + ((x + y) % 50)));
        }
    return image;
}

// The image of `size` whose pixel (X, Y) is source pixel from(X, Y).
inline QImage mapped(const QImage& source, QSize size, const std::function<QPoint(int, int)>& from) {
    QImage out(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x) {
            const QPoint p = from(x, y);
            out.setPixel(x, y, source.pixel(p));
        }
    return out;
}

inline QImage turnedClockwise(const QImage& s) {
    return mapped(s, s.size().transposed(), [&](int x, int y) { return QPoint(y, s.height() - 1 - x); });
}
inline QImage turnedCounterClockwise(const QImage& s) {
    return mapped(s, s.size().transposed(), [&](int x, int y) { return QPoint(s.width() - 1 - y, x); });
}
inline QImage turned180(const QImage& s) {
    return mapped(s, s.size(), [&](int x, int y) { return QPoint(s.width() - 1 - x, s.height() - 1 - y); });
}
inline QImage mirroredLeftRight(const QImage& s) {
    return mapped(s, s.size(), [&](int x, int y) { return QPoint(s.width() - 1 - x, y); });
}
inline QImage mirroredTopBottom(const QImage& s) {
    return mapped(s, s.size(), [&](int x, int y) { return QPoint(x, s.height() - 1 - y); });
}

inline bool samePixels(const QImage& a, const QImage& b) {
    return picturecheck::samePicture(a, b);
}

inline QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 100);
    return bytes;
}

// A JPEG of the picture with an EXIF APP1 segment holding only the orientation tag.
inline QByteArray jpegWithOrientation(const QImage& image, int orientation) {
    const QByteArray jpeg = encoded(image, "JPEG");
    QByteArray tiff("MM\0*\0\0\0\x08", 8);
    const char ifd[] = {0,    1, // one entry
                        0x01, 0x12,
                        0,    3,
                        0,    0,
                        0,    1, // orientation, SHORT, count 1
                        0,    char(orientation),
                        0,    0, // value
                        0,    0,
                        0,    0}; // no next IFD
    tiff.append(ifd, sizeof ifd);
    QByteArray app1("Exif\0\0", 6);
    app1.append(tiff);
    QByteArray segment("\xFF\xE1", 2);
    const int length = int(app1.size()) + 2;
    segment.append(char(length >> 8)).append(char(length & 0xff)).append(app1);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

// The picture a reader that applies the EXIF orientation itself shows for the file.
inline QImage autoOriented(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    return reader.read();
}

inline foundation::Data toData(const QByteArray& bytes) {
    return foundation::Data(bytes.begin(), bytes.end());
}

} // namespace pictures
