// Decoding keeps the stored bitmap and reads the EXIF orientation; the displayed picture follows it.
#include <catch2/catch.hpp>

#include "platform/image/Image.h"
#include "tests/support/Pictures.h"

using ui::ImageOrientation;

TEST_CASE("EXIF orientations decode to the orientation the picture is shown in", "[ui][image]") {
    const QImage picture = pictures::fourColour(40, 20);
    struct Row {
        int exif;
        ImageOrientation orientation;
        QSize displayed;
    };
    const Row rows[] = {{1, ImageOrientation::Up, {40, 20}},
                        {2, ImageOrientation::UpMirrored, {40, 20}},
                        {3, ImageOrientation::Down, {40, 20}},
                        {4, ImageOrientation::DownMirrored, {40, 20}},
                        {5, ImageOrientation::LeftMirrored, {20, 40}},
                        {6, ImageOrientation::Right, {20, 40}},
                        {7, ImageOrientation::RightMirrored, {20, 40}},
                        {8, ImageOrientation::Left, {20, 40}}};
    for (const Row& row : rows) {
        INFO("EXIF " << row.exif);
        auto image = ui::Image::fromData(pictures::toData(pictures::jpegWithOrientation(picture, row.exif)));
        REQUIRE(image.has_value());
        CHECK(image->orientation == row.orientation);
        CHECK(image->bitmap.size() == QSize(40, 20)); // stored as it was, not turned
        CHECK(image->size() == row.displayed);
    }
}

TEST_CASE("the displayed bitmap is the stored one turned by the orientation", "[ui][image]") {
    const QImage p = pictures::fourColour(6, 4);
    using namespace pictures;
    CHECK(samePixels(ui::Image{p, ImageOrientation::Up}.displayedBitmap(), p));
    CHECK(samePixels(ui::Image{p, ImageOrientation::Right}.displayedBitmap(), turnedClockwise(p)));
    CHECK(samePixels(ui::Image{p, ImageOrientation::Left}.displayedBitmap(), turnedCounterClockwise(p)));
    CHECK(samePixels(ui::Image{p, ImageOrientation::Down}.displayedBitmap(), turned180(p)));
    CHECK(samePixels(ui::Image{p, ImageOrientation::UpMirrored}.displayedBitmap(), mirroredLeftRight(p)));
    CHECK(samePixels(ui::Image{p, ImageOrientation::DownMirrored}.displayedBitmap(), mirroredTopBottom(p)));
}

TEST_CASE("every EXIF orientation is displayed as a reader applying it shows the file", "[ui][image]") {
    const QImage picture = pictures::fourColour(48, 32);
    for (int exif = 1; exif <= 8; ++exif) {
        INFO("EXIF " << exif);
        const QByteArray file = pictures::jpegWithOrientation(picture, exif);
        auto image = ui::Image::fromData(pictures::toData(file));
        REQUIRE(image.has_value());
        CHECK(pictures::samePixels(image->displayedBitmap(), pictures::autoOriented(file)));
    }
}

TEST_CASE("data that is no picture decodes to nothing", "[ui][image]") {
    CHECK_FALSE(ui::Image::fromData({}).has_value());
    CHECK_FALSE(ui::Image::fromData({1, 2, 3, 4}).has_value());
    auto png = ui::Image::fromData(pictures::toData(pictures::encoded(pictures::fourColour(3, 2), "PNG")));
    REQUIRE(png.has_value());
    CHECK(png->orientation == ImageOrientation::Up);
}
