#include "platform/peer/ImageDecoding.h"

#include <QBuffer>
#include <QImageReader>

namespace peer {

QImage decodeImage(const QByteArray& data, int allocationLimitMB) {
    QByteArray bytes = QByteArray::fromRawData(data.constData(), data.size());
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer);
    reader.setAllocationLimit(allocationLimitMB);
    if (!reader.canRead()) return {};
    return reader.read();
}

} // namespace peer
