// Touch sets from Qt's touch, mouse and wheel events, as a view sees them.
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <catch2/catch.hpp>
#include <cmath>

#include "platform/ui/TouchSet.h"
#include "tests/support/TouchDevice.h"

namespace {

// A view that records the touch sets of the events it receives.
class Recorder : public QWidget {
  public:
    Recorder() {
        setAttribute(Qt::WA_AcceptTouchEvents);
        setGeometry(0, 0, 400, 400);
    }
    std::vector<ui::TouchSet> sets;
    ui::TouchSetTracker tracker;

  protected:
    bool event(QEvent* e) override {
        auto found = tracker.translate(e);
        sets.insert(sets.end(), found.begin(), found.end());
        if (!found.empty()) {
            e->accept();
            return true;
        }
        return QWidget::event(e);
    }
};

std::vector<ui::TouchPhase> phases(const std::vector<ui::TouchSet>& sets) {
    std::vector<ui::TouchPhase> out;
    for (const auto& s : sets)
        out.push_back(s.phase);
    return out;
}

} // namespace

using ui::TouchPhase;

TEST_CASE("a touch event gives the pressed, moved and lifted points; stationary ones are no moves",
          "[ui][touch]") {
    Recorder view;
    view.show();
    REQUIRE(QTest::qWaitForWindowExposed(&view));
    QPointingDevice* device = testsupport::touchDevice();

    QTest::touchEvent(&view, device).press(0, {100, 100}).press(1, {200, 100});
    REQUIRE(view.sets.size() == 1);
    CHECK(view.sets[0].phase == TouchPhase::Began);
    CHECK(view.sets[0].count() == 2);

    view.sets.clear();
    QTest::touchEvent(&view, device).move(0, {90, 100}).stationary(1);
    REQUIRE(view.sets.size() == 1);
    CHECK(view.sets[0].phase == TouchPhase::Moved);
    REQUIRE(view.sets[0].count() == 1);
    CHECK(view.sets[0].touches[0].locationIn(&view) == QPointF(90, 100));
    CHECK(view.sets[0].touches[0].previousLocationIn(&view) == QPointF(100, 100));

    view.sets.clear();
    QTest::touchEvent(&view, device).stationary(0).stationary(1);
    CHECK(view.sets.empty());

    view.sets.clear();
    QTest::touchEvent(&view, device).release(0, {90, 100}).release(1, {200, 100});
    REQUIRE(view.sets.size() == 1);
    CHECK(view.sets[0].phase == TouchPhase::Ended);
    CHECK(view.sets[0].count() == 2);
}

TEST_CASE("a mouse drag is one finger", "[ui][touch]") {
    Recorder view;
    view.show();
    REQUIRE(QTest::qWaitForWindowExposed(&view));
    QTest::mousePress(&view, Qt::LeftButton, {}, {50, 60});
    QTest::mouseMove(&view, {80, 70});
    QTest::mouseRelease(&view, Qt::LeftButton, {}, {80, 70});
    REQUIRE(phases(view.sets) ==
            std::vector<TouchPhase>{TouchPhase::Began, TouchPhase::Moved, TouchPhase::Ended});
    for (const auto& s : view.sets)
        CHECK(s.count() == 1);
    CHECK(view.sets[1].touches[0].previousLocationIn(&view) == QPointF(50, 60));
    CHECK(view.sets[1].touches[0].locationIn(&view) == QPointF(80, 70));
    CHECK_FALSE(view.tracker.mouseDown());

    // A move without a button held is nothing.
    view.sets.clear();
    QTest::mouseMove(&view, {90, 90});
    CHECK(view.sets.empty());
}

TEST_CASE("Ctrl + wheel is a two-finger pinch about the cursor; a plain wheel is nothing", "[ui][touch]") {
    ui::TouchSetTracker tracker;
    const QPointF at(200, 200);
    QWheelEvent plain(at, at, {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    CHECK(tracker.translate(&plain).empty());

    QWheelEvent away(at, at, {}, {0, 120}, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    auto sets = tracker.translate(&away);
    REQUIRE(phases(sets) == std::vector<TouchPhase>{TouchPhase::Began, TouchPhase::Moved, TouchPhase::Ended});
    REQUIRE(sets[1].count() == 2);
    auto span = [](QPointF a, QPointF b) { return std::hypot(a.x() - b.x(), a.y() - b.y()); };
    const auto& m = sets[1].touches;
    CHECK(span(m[0].previousGlobalPosition, m[1].previousGlobalPosition) ==
          Approx(ui::TouchSetTracker::kWheelPinchSpan));
    CHECK(span(m[0].globalPosition, m[1].globalPosition) ==
          Approx(ui::TouchSetTracker::kWheelPinchSpan + ui::TouchSetTracker::kWheelNotchTravel));

    QWheelEvent toward(at, at, {}, {0, -240}, Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
    sets = tracker.translate(&toward);
    REQUIRE(sets.size() == 3);
    CHECK(span(sets[1].touches[0].globalPosition, sets[1].touches[1].globalPosition) ==
          Approx(ui::TouchSetTracker::kWheelPinchSpan - 2 * ui::TouchSetTracker::kWheelNotchTravel));
}
