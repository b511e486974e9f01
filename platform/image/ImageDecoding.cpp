#include "platform/image/ImageDecoding.h"

namespace imaging {

PictureReader::PictureReader(const QByteArray& bytes, Orientation orientation, int allocationLimitMB)
    : bytes_(QByteArray::fromRawData(bytes.constData(), bytes.size())), buffer_(&bytes_) {
    buffer_.open(QIODevice::ReadOnly);
    reader_.setDevice(&buffer_);
    reader_.setAutoTransform(orientation == Orientation::Upright);
    reader_.setAllocationLimit(allocationLimitMB);
}

QImage decode(const QByteArray& bytes, Orientation orientation, int allocationLimitMB) {
    PictureReader reader(bytes, orientation, allocationLimitMB);
    if (!reader.canRead()) return {};
    return reader.read();
}

QImage decodeFile(const QString& path, Orientation orientation, int allocationLimitMB) {
    QImageReader reader(path);
    reader.setAutoTransform(orientation == Orientation::Upright);
    reader.setAllocationLimit(allocationLimitMB);
    return reader.read();
}

QByteArray pictureFormat(const QByteArray& bytes) {
    QByteArray shared = QByteArray::fromRawData(bytes.constData(), bytes.size());
    QBuffer buffer(&shared);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    return QImageReader::imageFormat(&buffer).toLower();
}

} // namespace imaging
