#pragma once
// Every decode of a picture in the program goes through here, so none can take more memory than the
// limit: a small payload that claims a huge picture is refused instead of exhausting memory. The
// orientation tag is either kept apart (the caller turns the bitmap itself) or applied on read.
#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageIOHandler>
#include <QImageReader>
#include <QSize>
#include <QString>

namespace imaging {

// Enough for a 48-megapixel photograph in 32-bit colour.
inline constexpr int kAllocationLimitMB = 256;

enum class Orientation {
    AsStored, // the stored bitmap; the tag is left to the caller (see transformation())
    Upright,  // turned and mirrored as the tag says while it is read
};

// A reader over bytes the caller keeps alive while it reads, with the allocation limit set.
class PictureReader {
  public:
    PictureReader(const QByteArray& bytes, Orientation orientation,
                  int allocationLimitMB = kAllocationLimitMB);
    PictureReader(const PictureReader&) = delete;
    PictureReader& operator=(const PictureReader&) = delete;

    bool canRead() { return reader_.canRead(); }
    // "jpeg", "png" …, lower case; empty when the bytes are no picture.
    QByteArray format() { return reader_.format().toLower(); }
    // The stored size, before any turn; invalid when the header does not say.
    QSize size() { return reader_.size(); }
    QImageIOHandler::Transformations transformation() { return reader_.transformation(); }
    // Decodes straight to this size (of the stored bitmap, before any turn).
    void setScaledSize(QSize size) { reader_.setScaledSize(size); }
    // A null image when the bytes cannot be decoded within the limit.
    QImage read() { return reader_.read(); }
    QString errorString() const { return reader_.errorString(); }

  private:
    QByteArray bytes_; // shares the caller's data
    QBuffer buffer_;
    QImageReader reader_;
};

// The whole picture; a null image when the bytes are no picture or need more than the limit.
QImage decode(const QByteArray& bytes, Orientation orientation = Orientation::AsStored,
              int allocationLimitMB = kAllocationLimitMB);
// The picture in the file, read while it is decoded; a null image when the file cannot be read, is no
// picture or needs more than the limit.
QImage decodeFile(const QString& path, Orientation orientation = Orientation::AsStored,
                  int allocationLimitMB = kAllocationLimitMB);
// The picture's format from its first bytes, nothing decoded; empty when they are no picture.
QByteArray pictureFormat(const QByteArray& bytes);

} // namespace imaging
