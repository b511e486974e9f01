// The image view: where the picture lands under each content mode, and the slot border.
#include <catch2/catch.hpp>

#include <QImage>

#include "platform/image/Image.h"
#include "platform/ui/ImageView.h"

namespace {

QImage solid(int w, int h, QColor colour) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage render(ui::ImageView& view) {
    QImage out(view.size(), QImage::Format_RGB32);
    out.fill(Qt::white);
    view.render(&out);
    return out;
}

} // namespace

TEST_CASE("fit shows the whole picture, fill covers the view and is cut at its edges", "[ui][imageview]") {
    using Mode = ui::ImageView::ContentMode;
    const QRectF bounds(0, 0, 100, 100);
    CHECK(ui::ImageView::imageRect(QSizeF(200, 100), bounds, Mode::ScaleAspectFit) == QRectF(0, 25, 100, 50));
    CHECK(ui::ImageView::imageRect(QSizeF(200, 100), bounds, Mode::ScaleAspectFill) ==
          QRectF(-50, 0, 200, 100));
    CHECK(ui::ImageView::imageRect(QSizeF(200, 100), bounds, Mode::ScaleToFill) == bounds);
    CHECK(ui::ImageView::imageRect(QSizeF(), bounds, Mode::ScaleAspectFit) == bounds);

    ui::ImageView view;
    view.resize(100, 100);
    view.setImage(solid(200, 100, Qt::blue));
    view.setContentMode(Mode::ScaleAspectFit);
    QImage shot = render(view);
    CHECK(shot.pixelColor(50, 5) != QColor(Qt::blue)); // the band above the picture is the background
    CHECK(shot.pixelColor(50, 50) == QColor(Qt::blue));
    view.setContentMode(Mode::ScaleAspectFill);
    shot = render(view);
    CHECK(shot.pixelColor(50, 5) == QColor(Qt::blue));
    CHECK(shot.pixelColor(1, 98) == QColor(Qt::blue));

    view.clearImage();
    CHECK_FALSE(view.hasImage());
    CHECK(render(view).pixelColor(50, 50) != QColor(Qt::blue));
}

TEST_CASE("the border is drawn inside the view over the picture and goes with width 0", "[ui][imageview]") {
    ui::ImageView view;
    view.resize(60, 60);
    view.setImage(solid(60, 60, Qt::blue));
    view.setBorder(Qt::red, 3.0);
    QImage shot = render(view);
    CHECK(shot.pixelColor(0, 30) == QColor(Qt::red));
    CHECK(shot.pixelColor(2, 30) == QColor(Qt::red));
    CHECK(shot.pixelColor(59, 59) == QColor(Qt::red));
    CHECK(shot.pixelColor(4, 30) == QColor(Qt::blue));
    view.setBorder(Qt::red, 0);
    CHECK(view.borderWidth() == 0);
    CHECK(render(view).pixelColor(0, 30) == QColor(Qt::blue));
}

TEST_CASE("a picture with an orientation is shown upright", "[ui][imageview]") {
    // Stored 40 × 20, left half red; turned a quarter clockwise it shows 20 × 40, top half red.
    QImage stored = solid(40, 20, Qt::blue);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            stored.setPixelColor(x, y, Qt::red);
    ui::ImageView view;
    view.setImage(ui::Image{stored, ui::ImageOrientation::Right});
    REQUIRE(view.image().size() == QSize(20, 40));
    CHECK(view.image().pixelColor(10, 5) == QColor(Qt::red));
    CHECK(view.image().pixelColor(10, 35) == QColor(Qt::blue));
}
