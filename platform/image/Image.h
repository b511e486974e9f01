#pragma once
// A picture as the screens pass it around: the stored bitmap plus the orientation in which it is
// displayed. Decoding keeps the bitmap as stored and turns the file's EXIF orientation into the
// orientation, so whoever draws it decides when (and whether) to turn the pixels.
#include <QImage>
#include <QSize>
#include <optional>

#include "platform/foundation/Value.h"

namespace ui {

enum class ImageOrientation {
    Up = 0,
    Down = 1,  // shown turned 180°
    Left = 2,  // shown turned 90° counter-clockwise
    Right = 3, // shown turned 90° clockwise
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

// Whether the displayed picture has the stored bitmap's width and height swapped.
bool swapsSides(ImageOrientation orientation);
// The orientation of an EXIF orientation tag (1..8); anything else is Up.
ImageOrientation orientationFromExif(int exifOrientation);

struct Image {
    QImage bitmap;
    ImageOrientation orientation = ImageOrientation::Up;

    // The displayed size: width and height swapped for Left/Right/LeftMirrored/RightMirrored.
    QSize size() const;
    bool isNull() const { return bitmap.isNull(); }
    // The bitmap as displayed (turned and mirrored by the orientation), for painting.
    QImage displayedBitmap() const;

    // Decodes encoded image data (JPEG, PNG, ...) without applying its EXIF orientation; null when
    // the data is no picture.
    static std::optional<Image> fromData(const foundation::Data& data);
};

} // namespace ui
