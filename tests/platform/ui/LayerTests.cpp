#include <QImage>
#include <QPainter>
#include <catch2/catch.hpp>
#include <cmath>

#include "platform/ui/AnimationClock.h"
#include "platform/ui/ShapeLayer.h"
#include "tests/support/ManualAnimationClock.h"

using namespace ui;

namespace {
using ManualTime = testsupport::ManualAnimationClock;

QImage paint(const Layer& layer, QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::white);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    layer.render(p);
    return img;
}

int grayAt(const QImage& img, QPointF p) {
    return qGray(img.pixel(p.toPoint()));
}
} // namespace

TEST_CASE("layer animations move the presentation, not the model", "[ui][layer]") {
    ManualTime manual;
    auto& clock = AnimationClock::shared();
    auto layer = std::make_shared<Layer>();
    layer->setFrame(QRectF(0, 0, 10, 10));

    SECTION("the model takes the target at once") {
        auto fade = LayerAnimation::basic("opacity", 1.0, 0.0);
        fade.duration = 1;
        layer->addAnimation(fade, "fade");
        CHECK(layer->opacity() == 0);
        CHECK(layer->presentationValueForKey("opacity") == 1);
        clock.advance(0.4);
        CHECK(layer->presentationValueForKey("opacity") == Approx(0.6));
        clock.advance(0.7);
        CHECK(layer->animationKeys().empty()); // removed once done
        CHECK(layer->presentationValueForKey("opacity") == 0);
    }
    SECTION("a missing from value is the value when added") {
        layer->setValueForKey("transform.rotation", 1.0);
        auto turn = LayerAnimation::basic("transform.rotation", std::nullopt, 3.0);
        turn.duration = 1;
        layer->addAnimation(turn, "turn");
        clock.advance(0.5);
        CHECK(layer->presentationValueForKey("transform.rotation") == Approx(2.0));
    }
    SECTION("the same key replaces the running animation") {
        auto a = LayerAnimation::basic("transform.scale", 1.0, 2.0);
        a.duration = 1;
        layer->addAnimation(a, "s");
        auto b = LayerAnimation::basic("transform.scale", 5.0, 6.0);
        b.duration = 1;
        layer->addAnimation(b, "s");
        CHECK(layer->animationKeys().size() == 1);
        CHECK(layer->presentationValueForKey("transform.scale") == Approx(5.0));
    }
    SECTION("finishing ends finite animations and leaves endless ones running") {
        auto once = LayerAnimation::basic("opacity", 1.0, 0.5);
        once.duration = 10;
        auto endless = LayerAnimation::basic("transform.rotation", 0.0, 1.0);
        endless.duration = 1;
        endless.repeatCount = INFINITY;
        endless.removedOnCompletion = false;
        layer->addAnimation(once, "once");
        layer->addAnimation(endless, "endless");
        clock.finishAnimations();
        CHECK(layer->animationKeys() == std::vector<std::string>{"endless"});
        CHECK(layer->presentationValueForKey("opacity") == 0.5);
        CHECK(layer->hasAnimationsInTree());
    }
    SECTION("a dropped layer leaves nothing behind in the clock") {
        auto once = LayerAnimation::basic("opacity", 1.0, 0.0);
        once.duration = 5;
        layer->addAnimation(once, "once");
        layer.reset();
        clock.finishAnimations(); // would touch the dead layer if it were still registered
        SUCCEED();
    }
}

TEST_CASE("layer trees", "[ui][layer]") {
    auto root = std::make_shared<Layer>();
    auto child = std::make_shared<Layer>();
    int repaints = 0;
    root->setDisplayHook([&] { ++repaints; });
    root->addSublayer(child);
    CHECK(child->superlayer() == root.get());
    child->setOpacity(0.5);
    CHECK(repaints >= 2); // changes deep in the tree reach the host
    auto other = std::make_shared<Layer>();
    other->addSublayer(child);
    CHECK(root->sublayers().empty());
    child->removeFromSuperlayer();
    CHECK(other->sublayers().empty());
    CHECK(child->superlayer() == nullptr);
}

TEST_CASE("shape layers stroke a stretch of their path", "[ui][layer]") {
    SECTION("arcs follow screen orientation") {
        auto path = ShapeLayer::arcPath(QPointF(50, 50), 20, -M_PI / 2, M_PI * 3 / 2, true);
        CHECK(path.elementAt(0).x == Approx(50));
        CHECK(path.elementAt(0).y == Approx(30)); // twelve o'clock
        QPointF quarter = path.pointAtPercent(0.25);
        CHECK(quarter.x() == Approx(70).margin(0.1)); // three o'clock comes a quarter in
        CHECK(quarter.y() == Approx(50).margin(0.1));
        auto twoTurns = ShapeLayer::arcPath(QPointF(0, 0), 10, M_PI * 3 / 2, M_PI * 11 / 2, true);
        CHECK(twoTurns.length() == Approx(2 * 2 * M_PI * 10).epsilon(0.01));
    }
    SECTION("trimming keeps the fraction of the length") {
        auto path = ShapeLayer::arcPath(QPointF(50, 50), 20, -M_PI / 2, M_PI * 3 / 2, true);
        auto part = ShapeLayer::trimmedPath(path, 0.25, 0.5);
        CHECK(part.length() == Approx(path.length() / 4).epsilon(0.01));
        CHECK(part.elementAt(0).x == Approx(70).margin(0.1));
        CHECK(ShapeLayer::trimmedPath(path, 0.6, 0.4).isEmpty());
    }
    SECTION("a ring drawn to a quarter shows only from twelve to three") {
        auto ring = ShapeLayer::create();
        ring->setFrame(QRectF(0, 0, 100, 100));
        ring->setPath(ShapeLayer::arcPath(QPointF(50, 50), 40, -M_PI / 2, M_PI * 3 / 2, true));
        ring->setFillColor(Qt::transparent);
        ring->setStrokeColor(Qt::black);
        ring->setLineWidth(4);
        ring->setStrokeEnd(0.25);
        QImage img = paint(*ring, QSize(100, 100));
        CHECK(grayAt(img, QPointF(50 + 40 * std::sin(M_PI / 4), 50 - 40 * std::cos(M_PI / 4))) < 60);
        CHECK(grayAt(img, QPointF(10, 50)) > 240);
        CHECK(grayAt(img, QPointF(50, 90)) > 240);
    }
    SECTION("a mask's alpha cuts the layer") {
        auto square = ShapeLayer::create();
        square->setFrame(QRectF(0, 0, 40, 40));
        QPainterPath p;
        p.addRect(0, 0, 40, 40);
        square->setPath(p);
        square->setFillColor(Qt::black);
        QImage half(40, 40, QImage::Format_ARGB32_Premultiplied);
        half.fill(Qt::transparent);
        QPainter hp(&half);
        hp.fillRect(0, 0, 20, 40, Qt::black); // opaque left half only
        hp.end();
        auto mask = std::make_shared<Layer>();
        mask->setFrame(QRectF(0, 0, 40, 40));
        mask->setContents(half);
        square->setMask(mask);
        QImage img = paint(*square, QSize(40, 40));
        CHECK(grayAt(img, QPointF(10, 20)) < 10);
        CHECK(grayAt(img, QPointF(30, 20)) > 245);
    }
}
