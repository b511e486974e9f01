// The editor's drawing, pixel for pixel: the orientation table, the turns of a trimming save and the
// mirrors of a reversal save, on a picture whose every pixel is told apart.
#include <catch2/catch.hpp>

#include "app/photos/editing/ImageRepair.h"
#include "tests/support/Pictures.h"

using namespace pictures;
using ui::ImageOrientation;

TEST_CASE("a drawing context puts the bitmap's first row on the rectangle's bottom edge",
          "[editor][pixels]") {
    const QImage p = fourColour(6, 4);
    CHECK(samePixels(photoedit::drawInContext(p.size(), QTransform(), QRectF(0, 0, 6, 4), p),
                     mirroredTopBottom(p)));
    // A rectangle off the bitmap's area leaves the (opaque) ground.
    const QImage off = photoedit::drawInContext(p.size(), QTransform(), QRectF(10, 10, 6, 4), p);
    CHECK(off.pixel(0, 0) == qRgb(0, 0, 0));
}

TEST_CASE("every row of the orientation table draws the picture as its result says", "[editor][pixels]") {
    // The stored bitmap; for the sideways rows it is stored with swapped sides (4 x 6 shown as 6 x 4).
    const QImage p = fourColour(6, 4);
    struct Row {
        ImageOrientation orientation;
        QImage expected;
    };
    const QImage cw = turnedClockwise(p);
    const Row rows[] = {
        {ImageOrientation::Down, turned180(p)},
        {ImageOrientation::Left, turnedCounterClockwise(p)},
        {ImageOrientation::Right, cw},
        {ImageOrientation::UpMirrored, mirroredLeftRight(p)},
        {ImageOrientation::DownMirrored, mirroredTopBottom(p)},
        {ImageOrientation::LeftMirrored, mirroredLeftRight(cw)},  // transposed
        {ImageOrientation::RightMirrored, mirroredTopBottom(cw)}, // transversed
    };
    for (const Row& row : rows) {
        INFO("orientation " << int(row.orientation));
        const ui::Image repaired = photoedit::repairImage({p, row.orientation});
        CHECK(repaired.orientation == ImageOrientation::Up);
        CHECK(samePixels(repaired.bitmap, row.expected));
        // What the screens paint for the orientation is what the normalisation stores.
        CHECK(samePixels(ui::Image{p, row.orientation}.displayedBitmap(), row.expected));
    }
    // Up (and anything past the table) is the picture itself, undrawn.
    const ui::Image up{p, ImageOrientation::Up};
    CHECK(photoedit::repairImage(up).bitmap.cacheKey() == p.cacheKey());
    const ui::Image beyond{p, ImageOrientation(8)};
    CHECK(photoedit::repairImage(beyond).bitmap.cacheKey() == p.cacheKey());
}

TEST_CASE("a trimming save turns the picture as the editor shows it", "[editor][pixels]") {
    const QImage p = fourColour(6, 4);
    CHECK(samePixels(photoedit::rotateImage({p, ImageOrientation::Right}, 90).bitmap, turnedClockwise(p)));
    CHECK(samePixels(photoedit::rotateImage({p, ImageOrientation::Down}, 180).bitmap, turned180(p)));
    CHECK(samePixels(photoedit::rotateImage({p, ImageOrientation::Left}, 270).bitmap,
                     turnedCounterClockwise(p)));
    CHECK(photoedit::rotateImage({p, ImageOrientation::Up}, 0).bitmap.cacheKey() == p.cacheKey());
    // The saved picture is the one on screen.
    for (auto [o, degrees] : {std::pair{ImageOrientation::Right, 90}, std::pair{ImageOrientation::Down, 180},
                              std::pair{ImageOrientation::Left, 270}})
        CHECK(samePixels(photoedit::rotateImage({p, o}, degrees).bitmap, ui::Image{p, o}.displayedBitmap()));
}

TEST_CASE("a reversal save mirrors by the flags", "[editor][pixels]") {
    const QImage p = fourColour(6, 4);
    auto vertical = photoedit::reversalImage({p, ImageOrientation::Up}, true, false);
    CHECK(samePixels(vertical.image.bitmap, mirroredTopBottom(p)));
    CHECK(std::string(vertical.recipe) == "verticalReverse");
    auto horizontal = photoedit::reversalImage({p, ImageOrientation::Up}, false, true);
    CHECK(samePixels(horizontal.image.bitmap, mirroredLeftRight(p)));
    CHECK(std::string(horizontal.recipe) == "horizonalReverse");
    auto both = photoedit::reversalImage({p, ImageOrientation::Up}, true, true);
    CHECK(samePixels(both.image.bitmap, turned180(p)));
    CHECK(std::string(both.recipe) == "allReverse");
    auto neither = photoedit::reversalImage({p, ImageOrientation::Up}, false, false);
    CHECK(neither.image.bitmap.cacheKey() == p.cacheKey());
    CHECK(std::string(neither.recipe).empty());
}

TEST_CASE("a translucent picture is drawn over the opaque ground", "[editor][pixels]") {
    QImage p(2, 2, QImage::Format_ARGB32);
    p.fill(qRgba(200, 100, 50, 128));
    const QImage drawn = photoedit::reversalImage({p, ImageOrientation::Up}, true, false).image.bitmap;
    CHECK(qAlpha(drawn.pixel(0, 0)) == 255);
    CHECK(qRed(drawn.pixel(0, 0)) == Approx(100).margin(1));
}
