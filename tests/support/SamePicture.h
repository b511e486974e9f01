#pragma once
// The one comparison of pictures in the tests. Two pictures are the same when their pixels are equal
// once premultiplied: a pixel that is not opaque carries its colour only to the precision its alpha
// gives it, and Qt's conversion back from premultiplied pixels rounds such colours differently on
// different processors, so a picture read from a file, shown and read back, or a drawing saved on
// another machine, may differ there by one level in pixels nobody can tell apart.
#include <QImage>
#include <string>

namespace picturecheck {

// Empty when the pictures are the same; otherwise what differs (the size, or how many pixels and the
// first of them with both values), for a test's message.
std::string difference(const QImage& expected, const QImage& actual);

inline bool samePicture(const QImage& expected, const QImage& actual) {
    return difference(expected, actual).empty();
}

} // namespace picturecheck
