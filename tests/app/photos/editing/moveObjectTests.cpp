// The trimming image view's geometry: drag, pinch, snapping and the clamp, with the numbers of a
// 600 x 600 window.
#include <catch2/catch.hpp>

#include "app/photos/editing/moveObject.h"

namespace {

// A landscape picture fitted into the window: D = (0, 75, 600, 450), rx = 1, ry = 0.875.
moveObjectGeometry landscape(QRectF frame = {0, 0, 600, 600}) {
    moveObjectGeometry g;
    g.baseFrame = {0, 0, 600, 600};
    g.defaultFrame = {0, 75, 600, 450};
    g.ratioX = 1;
    g.ratioY = 0.875f;
    g.setFrame(frame);
    return g;
}

bool near(QRectF a, QRectF b) {
    return std::abs(a.x() - b.x()) < 1e-3 && std::abs(a.y() - b.y()) < 1e-3 &&
           std::abs(a.width() - b.width()) < 1e-3 && std::abs(a.height() - b.height()) < 1e-3;
}

} // namespace

TEST_CASE("the clamp keeps the fitted picture over its default area", "[editor][moveObject]") {
    // Scaled to 900 x 900: x in [-300, 0], y in [-262.5, -37.5].
    auto at = [](double x, double y) {
        auto g = landscape({x, y, 900, 900});
        g.clamp();
        return g.frame().topLeft();
    };
    CHECK(at(-150, -150) == QPointF(-150, -150));
    CHECK(at(50, 0) == QPointF(0, -37.5));
    CHECK(at(0, -37.5) == QPointF(0, -37.5));
    CHECK(at(-400, -400) == QPointF(-300, -262.5));
    CHECK(at(-300, -262.5) == QPointF(-300, -262.5));

    // Unscaled and filling the window, both bounds coincide: a drag moves nothing.
    auto g = landscape();
    g.touchesBegan({{300, 300}});
    CHECK(g.mode == "move");
    g.touchesMoved({{300, 300}}, {{360, 250}});
    CHECK(g.frame() == QRectF(0, 0, 600, 600));
}

TEST_CASE("one finger drags the view by the touch's travel", "[editor][moveObject]") {
    auto g = landscape({-150, -150, 900, 900});
    g.touchesBegan({{310, 320}});
    CHECK_FALSE(g.touchEndFlg);
    CHECK(g.startPoint == QPointF(460, 470));
    g.touchesMoved({{310, 320}}, {{250, 300}});
    CHECK(g.frame() == QRectF(-210, -170, 900, 900));
    g.touchesMoved({{250, 300}}, {{500, 500}}); // past the bounds: clamped
    CHECK(g.frame() == QRectF(0, -37.5, 900, 900));
    g.touchesEnded(1);
    CHECK(g.mode.empty());
    CHECK(g.touchEndFlg);
}

TEST_CASE("two fingers scale by 1 + travel/300 about the centre", "[editor][moveObject]") {
    CHECK(moveObjectGeometry::pinchFactor(100, 200) == Approx(4.0 / 3));
    CHECK(moveObjectGeometry::pinchFactor(200, 100) == Approx(2.0 / 3));
    CHECK(moveObjectGeometry::pinchFactor(150, 150) == 1);
    CHECK(moveObjectGeometry::distanceWithPointA({0, 0}, {3, 4}) == 5);

    SECTION("spreading 100 points further scales by 1.333...") {
        auto g = landscape();
        g.touchesBegan({{250, 300}, {350, 300}});
        CHECK(g.mode == "resize");
        g.touchesMoved({{250, 300}, {350, 300}}, {{200, 300}, {400, 300}});
        CHECK(near(g.frame(), {-100, -100, 800, 800}));
        CHECK(g.transform().m11() == Approx(4.0 / 3));
        CHECK(g.mode == "resize");
    }
    SECTION("closing 100 points scales by 0.666...") {
        auto g = landscape({-300, -300, 1200, 1200});
        g.touchesBegan({{200, 300}, {400, 300}});
        g.touchesMoved({{200, 300}, {400, 300}}, {{250, 300}, {350, 300}});
        CHECK(near(g.frame(), {-100, -100, 800, 800}));
    }
    SECTION("a pinch below the window's size snaps to the base frame and ends") {
        auto g = landscape();
        g.touchesBegan({{200, 300}, {400, 300}});
        g.touchesMoved({{200, 300}, {400, 300}}, {{250, 300}, {350, 300}});
        CHECK(g.frame() == QRectF(0, 0, 600, 600));
        CHECK(g.mode.empty());
        // Further moves of the two fingers no longer scale.
        g.touchesMoved({{250, 300}, {350, 300}}, {{100, 300}, {500, 300}});
        CHECK(g.frame() == QRectF(0, 0, 600, 600));
        g.touchesEnded(2);
        CHECK(g.touchEndFlg);
    }
    SECTION("a second finger joining a drag turns it into a pinch; lifting one keeps it") {
        auto g = landscape({-150, -150, 900, 900});
        g.touchesBegan({{300, 300}});
        g.touchesBegan({{400, 300}});
        CHECK(g.mode == "resize");
        g.touchesEnded(1);
        CHECK(g.mode == "resize");
        CHECK(g.touchEndFlg);
    }
    SECTION("three fingers leave the mode as it was") {
        auto g = landscape();
        g.touchesBegan({{1, 1}, {2, 2}, {3, 3}});
        CHECK(g.mode.empty());
        CHECK_FALSE(g.touchEndFlg);
    }
}

TEST_CASE("lifting fingers with the view smaller than its default size restores the default",
          "[editor][moveObject]") {
    moveObjectGeometry g;
    g.baseFrame = {0, 0, 600, 600};
    g.defaultFrame = {75, 0, 450, 600};
    g.ratioX = 0.875f;
    g.ratioY = 1;
    g.setFrame({10, 10, 300, 400});
    g.touchesBegan({{100, 100}});
    g.touchesEnded(1);
    CHECK(g.frame() == QRectF(75, 0, 450, 600));
}

TEST_CASE("a disabled view ignores touches", "[editor][moveObject]") {
    auto g = landscape({-150, -150, 900, 900});
    g.disableFlg = true;
    g.touchesBegan({{300, 300}});
    g.touchesMoved({{300, 300}}, {{200, 200}});
    g.touchesEnded(1);
    CHECK(g.frame() == QRectF(-150, -150, 900, 900));
    CHECK(g.mode.empty());
    CHECK(g.touchEndFlg);
}

TEST_CASE("a mirrored transform keeps the frame; setting the frame keeps the transform",
          "[editor][moveObject]") {
    auto g = landscape({0, 0, 600, 600});
    g.concatScale(-1, 1);
    CHECK(g.frame() == QRectF(0, 0, 600, 600));
    g.concatScale(1.5, 1.5);
    CHECK(g.frame() == QRectF(-150, -150, 900, 900));
    g.setFrame({0, 0, 600, 600});
    CHECK(g.transform().m11() == -1.5);
    g.setTransform(QTransform());
    CHECK(g.frame() == QRectF(100, 100, 400, 400));
}
