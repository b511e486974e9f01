// The tests' comparison of pictures takes what a processor's rounding of translucent colours leaves
// for the same, and still sees every change one can see.
#include <QDir>
#include <QPainter>
#include <catch2/catch.hpp>
#include <cmath>

#include "tests/support/SamePicture.h"

using picturecheck::difference;
using picturecheck::samePicture;

namespace {

// An icon-like picture: a translucent disc with a soft edge on transparent ground, one mark on it.
QImage icon(QPoint mark = {30, 8}) {
    QImage image(80, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(68, 160, 71, 204));
    p.drawEllipse(QRectF(2.5, 1.5, 70, 17));
    p.setBrush(QColor(20, 30, 40));
    p.drawRect(QRect(mark, QSize(4, 4)));
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage withPixel(QImage image, QPoint at, QRgb value) {
    image.setPixel(at, value);
    return image;
}

// The picture brought back from its premultiplied pixels with halves rounded down, where Qt here rounds
// them up: what the artwork tools write on a processor whose conversion rounds the other way.
QImage roundedTheOtherWay(const QImage& picture) {
    const QImage premultiplied = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage out(picture.size(), QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(premultiplied.constScanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            const auto back = [a](int c) {
                return a ? std::min(255, int(std::ceil(c * 255.0 / a - 0.5))) : 0;
            };
            out.setPixel(x, y, qRgba(back(qRed(p)), back(qGreen(p)), back(qBlue(p)), a));
        }
    }
    return out;
}

} // namespace

TEST_CASE("pictures compare as they show, not as a processor rounded them", "[pictures]") {
    SECTION("a translucent pixel one level apart after a round trip through premultiplied pixels") {
        // Pairs measured on a processor whose conversion rounds otherwise than where the files were made.
        const std::pair<QRgb, QRgb> pairs[] = {{qRgba(42, 128, 128, 6), qRgba(42, 127, 127, 6)},
                                               {qRgba(68, 160, 71, 204), qRgba(67, 160, 71, 204)}};
        for (const auto& [inFile, readBack] : pairs) {
            INFO(qAlpha(inFile));
            const QImage file = withPixel(icon(), {57, 7}, inFile);
            const QImage shown = withPixel(icon(), {57, 7}, readBack);
            CHECK(difference(file, shown).empty());
            CHECK(samePicture(shown, file));
            // A pixmap hands back its premultiplied pixels; those equal the file's as well.
            CHECK(samePicture(file, shown.convertToFormat(QImage::Format_ARGB32_Premultiplied)));
        }
    }

    SECTION("every committed picture as another processor writes it") {
        const QDir bundle(ZARUVEDEZ_SOURCE_DIR "/resources/bundle");
        int pictures = 0, rewritten = 0;
        for (const QString& name : bundle.entryList({"*.png"})) {
            INFO(name.toStdString());
            const QImage file(bundle.filePath(name));
            REQUIRE_FALSE(file.isNull());
            const QImage other = roundedTheOtherWay(file);
            ++pictures;
            rewritten += other != file.convertToFormat(QImage::Format_ARGB32);
            CHECK(difference(file, other) == "");
        }
        CHECK(pictures >= 40);
        CHECK(rewritten >= 20); // the icons, digits and marks with soft edges
    }

    SECTION("fully transparent pixels are alike whatever colour they carry") {
        CHECK(samePicture(withPixel(icon(), {0, 0}, qRgba(255, 255, 255, 0)), icon()));
    }

    SECTION("every visible change is seen") {
        const QImage base = icon();
        REQUIRE(samePicture(base, base));
        REQUIRE(qAlpha(base.pixel(31, 9)) == 255);

        // One opaque pixel one level off.
        const QRgb opaque = base.pixel(31, 9);
        const QImage nudged = withPixel(base, {31, 9}, qRgb(qRed(opaque) + 1, qGreen(opaque), qBlue(opaque)));
        CHECK_FALSE(samePicture(base, nudged));
        CHECK(difference(base, nudged) ==
              "1 pixel(s) differ; first at (31,9): (20,30,40,255) and (21,30,40,255)");

        // The mark one pixel to the right.
        CHECK_FALSE(samePicture(base, icon({31, 8})));

        // A translucent pixel changed more than its alpha can hide, or its alpha changed.
        CHECK_FALSE(samePicture(withPixel(base, {57, 7}, qRgba(42, 128, 128, 6)),
                                withPixel(base, {57, 7}, qRgba(42, 200, 128, 6))));
        CHECK_FALSE(samePicture(withPixel(base, {57, 7}, qRgba(68, 160, 71, 204)),
                                withPixel(base, {57, 7}, qRgba(68, 160, 71, 205))));

        // Another size, or no picture at all.
        CHECK_FALSE(samePicture(base, base.copy(0, 0, 79, 20)));
        CHECK_FALSE(samePicture(base, QImage()));
        CHECK(samePicture(QImage(), QImage()));
    }
}
