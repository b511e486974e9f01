// The one way pictures are decoded: within a memory limit, with the orientation tag kept apart or
// applied, and a format told from the first bytes alone.
#include <catch2/catch.hpp>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "platform/image/ImageDecoding.h"
#include "tests/support/Pictures.h"

namespace {
QByteArray jpeg(int width, int height) {
    QImage img(width, height, QImage::Format_RGB32);
    img.fill(Qt::gray);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG");
    return bytes;
}
} // namespace

TEST_CASE("pictures are decoded within the memory limit, and non-pictures refused", "[ui][image]") {
    const QByteArray bytes = jpeg(2000, 1000);
    CHECK(imaging::decode(bytes).size() == QSize(2000, 1000));
    CHECK(imaging::decode(bytes, imaging::Orientation::AsStored, 1).isNull()); // 8 MB against 1 MB
    CHECK(imaging::decode("Start,1").isNull());
    CHECK(imaging::decode(QByteArray()).isNull());
    CHECK(imaging::pictureFormat(bytes) == "jpeg");
    CHECK(imaging::pictureFormat("Start,1").isEmpty());
}

TEST_CASE("the orientation tag is kept apart or applied, as the caller asks", "[ui][image]") {
    // Stored 80 × 40, tagged "turn a quarter clockwise" (6).
    const QByteArray tagged = pictures::jpegWithOrientation(pictures::fourColour(80, 40), 6);
    CHECK(imaging::decode(tagged, imaging::Orientation::AsStored).size() == QSize(80, 40));
    CHECK(imaging::decode(tagged, imaging::Orientation::Upright).size() == QSize(40, 80));
    imaging::PictureReader reader(tagged, imaging::Orientation::AsStored);
    CHECK(reader.size() == QSize(80, 40));
    CHECK(reader.transformation() == QImageIOHandler::TransformationRotate90);
}

TEST_CASE("a picture file is decoded within the memory limit as it is stored", "[ui][image]") {
    QTemporaryDir scratch;
    REQUIRE(scratch.isValid());
    const auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile file(scratch.filePath(name));
        REQUIRE(file.open(QIODevice::WriteOnly));
        REQUIRE(file.write(bytes) == bytes.size());
        return file.fileName();
    };
    const QString large = write("large.jpg", jpeg(2000, 1000));
    CHECK(imaging::decodeFile(large).size() == QSize(2000, 1000));
    CHECK(imaging::decodeFile(large, imaging::Orientation::AsStored, 1).isNull());
    // Like the data, the tag is kept apart unless the caller asks for it applied.
    const QString tagged =
        write("tagged.jpg", pictures::jpegWithOrientation(pictures::fourColour(80, 40), 6));
    CHECK(imaging::decodeFile(tagged).size() == QSize(80, 40));
    CHECK(imaging::decodeFile(tagged, imaging::Orientation::Upright).size() == QSize(40, 80));
    CHECK(imaging::decodeFile(write("damaged.png", "Start,1")).isNull());
    CHECK(imaging::decodeFile(scratch.filePath("missing.png")).isNull());
}
