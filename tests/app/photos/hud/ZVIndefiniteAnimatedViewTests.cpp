#include <QWidget>
#include <catch2/catch.hpp>

#include "app/photos/hud/ZVIndefiniteAnimatedView.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "tests/app/photos/hud/HudTestSupport.h"

TEST_CASE("the spinner's size and arc layer", "[hud][spinner]") {
    hudtest::ManualClock clock;
    QWidget parent;
    // Goes before the parent does, leaving it on the way.
    auto owned = std::make_unique<ZVIndefiniteAnimatedView>();
    auto* spinner = owned.get();
    spinner->setStrokeThickness(2.0);
    spinner->setRadius(18);

    SECTION("it fits its arc, stroke and margin, whatever is offered") {
        CHECK(spinner->sizeThatFits(QSizeF(500, 3)) == QSizeF(48, 48));
        spinner->setRadius(24);
        CHECK(spinner->sizeThatFits() == QSizeF(60, 60));
    }
    SECTION("without a parent there is no arc; a parent brings one, animated") {
        CHECK_FALSE(spinner->currentAnimatedLayer());
        spinner->setParent(&parent);
        auto arc = spinner->currentAnimatedLayer();
        REQUIRE(arc);
        CHECK(arc->superlayer() == &spinner->layer());
        CHECK(arc->size() == QSizeF(48, 48));
        CHECK(arc->lineWidth() == 2.0);
        CHECK(arc->lineCap() == Qt::RoundCap);
        REQUIRE(arc->animationForKey("progress"));
        CHECK(arc->animationForKey("progress")->repeatsForever());
        REQUIRE(arc->mask());
        CHECK(arc->mask()->animationForKey("rotate"));
        // The drawn stretch slides while the model already holds the end.
        CHECK(arc->strokeStart() == Approx(0.515));
        clock.advance(0.5);
        CHECK(arc->presentationValueForKey("strokeStart") == Approx(0.265));
        CHECK(arc->presentationValueForKey("strokeEnd") == Approx(0.735));
        CHECK(arc->mask()->presentationValueForKey("transform.rotation") == Approx(M_PI).epsilon(1e-6));
    }
    SECTION("a new radius replaces the arc at once, sized to it") {
        spinner->setParent(&parent);
        auto before = spinner->currentAnimatedLayer();
        spinner->setRadius(24);
        auto after = spinner->currentAnimatedLayer();
        REQUIRE(after);
        CHECK(after != before);
        CHECK(before->superlayer() == nullptr);
        CHECK(after->size() == QSizeF(60, 60));
    }
    SECTION("colour and width reach the arc that exists") {
        spinner->setParent(&parent);
        spinner->setStrokeColor(Qt::red);
        spinner->setStrokeThickness(3);
        CHECK(spinner->currentAnimatedLayer()->strokeColor() == QColor(Qt::red));
        CHECK(spinner->currentAnimatedLayer()->lineWidth() == 3);
    }
    SECTION("leaving the parent drops the arc and its animations") {
        spinner->setParent(&parent);
        std::weak_ptr<ui::ShapeLayer> arc = spinner->currentAnimatedLayer();
        spinner->setParent(nullptr);
        CHECK_FALSE(spinner->currentAnimatedLayer());
        CHECK(arc.expired());
    }
    SECTION("the arc sits in the middle of a fitted view") {
        spinner->setParent(&parent);
        spinner->setFrame(QRectF(10, 10, 48, 48));
        CHECK(spinner->currentAnimatedLayer()->position() == QPointF(24, 24));
    }
}

TEST_CASE("progress rings and tinted images", "[hud][spinner]") {
    SECTION("a ring is a circle from twelve o'clock clockwise, framed about its centre") {
        auto ring = ZVProgressHUD::createRingLayerWithCenter(QPointF(62, 36), 18, 2.0, Qt::black);
        CHECK(ring->frame() == QRectF(44, 18, 36, 36));
        CHECK(ring->contentsScale() == 2.0);
        CHECK(ring->fillColor().alpha() == 0);
        CHECK(ring->lineCap() == Qt::RoundCap);
        CHECK(ring->lineJoin() == Qt::BevelJoin);
        const QPainterPath& path = ring->path();
        CHECK(path.pointAtPercent(0).x() == Approx(18).margin(0.01)); // top, in the layer
        CHECK(path.pointAtPercent(0).y() == Approx(0).margin(0.01));
        CHECK(path.pointAtPercent(0.25).x() == Approx(36).margin(0.05)); // three o'clock a quarter in
        CHECK(path.pointAtPercent(0.25).y() == Approx(18).margin(0.05));
        CHECK(path.length() == Approx(2 * M_PI * 18).epsilon(0.01));
    }
    SECTION("tinting takes the image's shape and keeps its transparency, size and scale") {
        QImage mark(56, 56, QImage::Format_ARGB32);
        mark.fill(Qt::transparent);
        for (int y = 10; y < 20; ++y)
            for (int x = 0; x < 56; ++x)
                mark.setPixelColor(x, y, QColor(0, 0, 0, y < 15 ? 255 : 128));
        mark.setDevicePixelRatio(2);
        QImage tinted = ZVProgressHUD::image(mark, Qt::red);
        CHECK(tinted.size() == mark.size());
        CHECK(tinted.devicePixelRatio() == 2);
        CHECK(tinted.pixelColor(5, 12) == QColor(Qt::red));
        QColor half = tinted.pixelColor(5, 17);
        CHECK(half.red() == 255);
        CHECK(std::abs(half.alpha() - 128) <= 1);
        CHECK(tinted.pixelColor(5, 30).alpha() == 0);
    }
}
