// The editor's picture moved and scaled by touches on the window as it stands on the monitor: at 1:1,
// fitted to a laptop screen and above 1:1. A pinch, a finger's drag, a mouse drag and Ctrl + wheel
// must move and scale it by the same points at every scale.
#include <QTest>
#include <catch2/catch.hpp>

#include "app/photos/editing/moveObject.h"
#include "platform/ui/TouchSet.h"
#include "tests/app/photos/editor/EditorScreen.h"
#include "tests/support/ScreenTouches.h"

using namespace editortest;

namespace {

struct TouchedEditor : EditorScreen {
    testsupport::ScreenTouches touches{window};

    explicit TouchedEditor(double scale) {
        window.setScale(scale);
        open(put(patientAlbum, pictures::encoded(pictures::fourColour(800, 600), "PNG")));
        REQUIRE(QTest::qWaitForWindowExposed(window.screenWidget()));
    }

    // The picture's frame in the editor's base view, where the touches are placed too (the picture
    // itself moves under them).
    QRectF frame() const { return editor->imageView()->frame(); }
    QWidget* base() const { return editor->baseView(); }
};

bool near(QRectF a, QRectF b, double points) {
    return std::abs(a.x() - b.x()) <= points && std::abs(a.y() - b.y()) <= points &&
           std::abs(a.width() - b.width()) <= points && std::abs(a.height() - b.height()) <= points;
}

} // namespace

TEST_CASE("the editor's picture follows pinches and drags alike at every window scale", "[editor][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    TouchedEditor e(scale);
    REQUIRE(e.frame() == QRectF(0, 0, 600, 600));
    // Screen pixels are whole: a position read back is within a pixel's points, a span within two.
    const double pixel = 1 / scale;

    SECTION(
        "two fingers spread from 100 to 250 points scale it 1.5 times, one finger and the mouse move it") {
        e.touches.pinch(e.base(), QPointF(300, 300), 100, 250);
        INFO("after the pinch " << e.frame().x() << "," << e.frame().y() << " " << e.frame().width());
        CHECK(near(e.frame(), QRectF(-150, -150, 900, 900), 3 * 2 * pixel));
        const QRectF pinched = e.frame();

        e.touches.touchDrag(e.base(), QPointF(300, 300), QPointF(240, 260));
        CHECK(near(e.frame(), pinched.translated(-60, -40), 2 * pixel));
        const QRectF dragged = e.frame();

        e.touches.drag(e.base(), QPointF(300, 300), QPointF(330, 320));
        CHECK(near(e.frame(), dragged.translated(30, 20), 2 * pixel));
    }
    SECTION("a Ctrl + wheel notch spreads the fingers by the same points") {
        e.touches.ctrlWheel(e.base(), QPointF(300, 300), 1);
        const double k = 1 + ui::TouchSetTracker::kWheelNotchTravel / 300;
        CHECK(e.frame().width() == Approx(600 * k).margin(0.01));
        CHECK(e.frame().x() == Approx(300 - 300 * k).margin(2 * pixel));
    }
}
