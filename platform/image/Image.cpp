#include "platform/image/Image.h"
#include "platform/image/ImageDecoding.h"

#include <QByteArray>
#include <QImageIOHandler>
#include <QTransform>

namespace ui {

bool swapsSides(ImageOrientation orientation) {
    switch (orientation) {
    case ImageOrientation::Left:
    case ImageOrientation::Right:
    case ImageOrientation::LeftMirrored:
    case ImageOrientation::RightMirrored:
        return true;
    default:
        return false;
    }
}

ImageOrientation orientationFromExif(int exifOrientation) {
    switch (exifOrientation) {
    case 2:
        return ImageOrientation::UpMirrored;
    case 3:
        return ImageOrientation::Down;
    case 4:
        return ImageOrientation::DownMirrored;
    case 5:
        return ImageOrientation::LeftMirrored;
    case 6:
        return ImageOrientation::Right;
    case 7:
        return ImageOrientation::RightMirrored;
    case 8:
        return ImageOrientation::Left;
    default:
        return ImageOrientation::Up;
    }
}

namespace {

int exifOf(QImageIOHandler::Transformations t) {
    switch (int(t)) {
    case QImageIOHandler::TransformationMirror:
        return 2;
    case QImageIOHandler::TransformationRotate180:
        return 3;
    case QImageIOHandler::TransformationFlip:
        return 4;
    case QImageIOHandler::TransformationFlipAndRotate90:
        return 5;
    case QImageIOHandler::TransformationRotate90:
        return 6;
    case QImageIOHandler::TransformationMirrorAndRotate90:
        return 7;
    case QImageIOHandler::TransformationRotate270:
        return 8;
    default:
        return 1;
    }
}

QImage turnedClockwise(const QImage& image) {
    return image.transformed(QTransform().rotate(90));
}

} // namespace

QSize Image::size() const {
    QSize s = bitmap.size();
    return swapsSides(orientation) ? s.transposed() : s;
}

QImage Image::displayedBitmap() const {
    switch (orientation) {
    case ImageOrientation::Up:
        return bitmap;
    case ImageOrientation::Down:
        return bitmap.mirrored(true, true);
    case ImageOrientation::Left:
        return bitmap.transformed(QTransform().rotate(-90));
    case ImageOrientation::Right:
        return turnedClockwise(bitmap);
    case ImageOrientation::UpMirrored:
        return bitmap.mirrored(true, false);
    case ImageOrientation::DownMirrored:
        return bitmap.mirrored(false, true);
    // Turned clockwise, then mirrored: left-right gives the transpose (EXIF 5), top-bottom the
    // transverse (EXIF 7).
    case ImageOrientation::LeftMirrored:
        return turnedClockwise(bitmap).mirrored(true, false);
    case ImageOrientation::RightMirrored:
        return turnedClockwise(bitmap).mirrored(false, true);
    }
    return bitmap;
}

std::optional<Image> Image::fromData(const foundation::Data& data) {
    if (data.empty()) return std::nullopt;
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    imaging::PictureReader reader(bytes, imaging::Orientation::AsStored);
    Image image;
    image.bitmap = reader.read();
    if (image.bitmap.isNull()) return std::nullopt;
    image.orientation = orientationFromExif(exifOf(reader.transformation()));
    return image;
}

} // namespace ui
