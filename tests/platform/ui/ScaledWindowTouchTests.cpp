// Touches through the window at the scale it opens with: at 1:1, fitted to a laptop screen and above
// 1:1. Every touch goes to the window on the monitor at the pixel where its target is drawn, and must
// reach the widgets, and the recognisers must measure it, as at 1:1.
#include <QLabel>
#include <QLineF>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <catch2/catch.hpp>
#include <cmath>
#include <vector>

#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/SwipeGestureRecognizer.h"
#include "platform/ui/TouchSet.h"
#include "platform/ui/Window.h"
#include "tests/support/ScreenTouches.h"
#include "tests/support/TestHome.h"

namespace {

// The mouse events a widget gets, in its own points, without taking any (as a label does).
class MouseLog : public QObject {
  public:
    explicit MouseLog(QWidget* watched) { watched->installEventFilter(this); }
    std::vector<QEvent::Type> types;
    std::vector<QPointF> positions;
    int count(QEvent::Type type) const { return int(std::count(types.begin(), types.end(), type)); }

  protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonRelease ||
            (e->type() == QEvent::MouseMove && static_cast<QMouseEvent*>(e)->buttons())) {
            types.push_back(e->type());
            positions.push_back(static_cast<QMouseEvent*>(e)->position());
        }
        return false;
    }
};

// A widget that takes touches itself (as the editor's picture does) and keeps them as touch sets.
class TouchPad : public QWidget {
  public:
    explicit TouchPad(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_AcceptTouchEvents); }
    std::vector<ui::TouchSet> sets;
    bool touchEvents = false;

  protected:
    bool event(QEvent* e) override {
        const auto found = tracker_.translate(e, this);
        if (found.empty() && e->type() != QEvent::TouchBegin) return QWidget::event(e);
        touchEvents = touchEvents || e->type() == QEvent::TouchBegin;
        sets.insert(sets.end(), found.begin(), found.end());
        e->accept();
        return true;
    }

  private:
    ui::TouchSetTracker tracker_;
};

struct Canvas {
    testsupport::TempHome home;
    ui::Window window;
    QWidget* panel = new QWidget(&window); // what the recognisers watch
    QLabel* label = new QLabel("要精密検査", panel);
    QPushButton* button = new QPushButton("登録", &window);
    TouchPad* pad = new TouchPad(&window);
    MouseLog labelLog{label};
    testsupport::ScreenTouches touches{window};

    explicit Canvas(double scale) {
        panel->setGeometry(0, 0, 768, 500);
        label->setGeometry(100, 100, 300, 80);
        button->setGeometry(500, 600, 200, 60);
        pad->setGeometry(100, 600, 300, 300);
        window.setScale(scale);
        window.makeKeyAndVisible();
        REQUIRE(QTest::qWaitForWindowExposed(window.screenWidget()));
    }
};

bool near(QPointF a, QPointF b, double points) {
    return QLineF(a, b).length() <= points;
}

// One pixel on the monitor is 1/scale points: positions read back from pixels are that close.
double pixelInPoints(double scale) {
    return 1 / scale + 0.01;
}

} // namespace

TEST_CASE("taps, drags and fingers reach the widget under them at every window scale", "[ui][scale][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    Canvas c(scale);
    const double slack = pixelInPoints(scale);

    SECTION("a label that takes no press still gets the release of its tap") {
        c.touches.tap(c.label, QPointF(40, 30));
        REQUIRE(c.labelLog.types ==
                std::vector<QEvent::Type>{QEvent::MouseButtonPress, QEvent::MouseButtonRelease});
        CHECK(near(c.labelLog.positions[1], QPointF(40, 30), slack));
        // And the next tap, on another widget, goes there.
        int clicks = 0;
        QObject::connect(c.button, &QPushButton::clicked, [&] { ++clicks; });
        c.touches.tap(c.button);
        CHECK(clicks == 1);
        CHECK(c.labelLog.types.size() == 2);
    }
    SECTION("a drag that starts on the label brings it every move and the release, in its points") {
        c.touches.drag(c.label, QPointF(20, 40), QPointF(260, 40));
        REQUIRE(c.labelLog.count(QEvent::MouseButtonPress) == 1);
        CHECK(c.labelLog.count(QEvent::MouseMove) == 6);
        REQUIRE(c.labelLog.count(QEvent::MouseButtonRelease) == 1);
        CHECK(near(c.labelLog.positions.back(), QPointF(260, 40), slack));
    }
    SECTION("a finger on a widget that takes touches comes as touches, where it landed") {
        c.touches.touchDrag(c.pad, QPointF(50, 50), QPointF(150, 90));
        CHECK(c.pad->touchEvents);
        REQUIRE(c.pad->sets.size() >= 3);
        CHECK(c.pad->sets.front().phase == ui::TouchPhase::Began);
        CHECK(near(c.pad->sets.front().touches[0].locationIn(c.pad), QPointF(50, 50), slack));
        CHECK(c.pad->sets.back().phase == ui::TouchPhase::Ended);
        CHECK(near(c.pad->sets.back().touches[0].locationIn(c.pad), QPointF(150, 90), slack));
    }
    SECTION("a finger on a label comes as a tap with its release") {
        c.touches.touchTap(c.label, QPointF(40, 30));
        CHECK(c.labelLog.types ==
              std::vector<QEvent::Type>{QEvent::MouseButtonPress, QEvent::MouseButtonRelease});
    }
    SECTION("Ctrl + wheel pinches by the same points: fingers 100 points apart spread by 20") {
        c.touches.ctrlWheel(c.pad, QPointF(150, 150), 1);
        REQUIRE(c.pad->sets.size() == 3);
        const auto& moved = c.pad->sets[1].touches;
        REQUIRE(moved.size() == 2);
        const double before =
            QLineF(moved[0].previousLocationIn(c.pad), moved[1].previousLocationIn(c.pad)).length();
        const double after = QLineF(moved[0].locationIn(c.pad), moved[1].locationIn(c.pad)).length();
        CHECK(before == Approx(ui::TouchSetTracker::kWheelPinchSpan).margin(0.01));
        CHECK(after - before == Approx(ui::TouchSetTracker::kWheelNotchTravel).margin(0.01));
        CHECK(near(QLineF(moved[0].locationIn(c.pad), moved[1].locationIn(c.pad)).center(), QPointF(150, 150),
                   slack));
    }
}

TEST_CASE("the recognisers measure strokes in the window's points at every scale", "[ui][scale][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    Canvas c(scale);

    SECTION("a swipe over the label of 60 points is one, of 40 points is none, a slow one is none") {
        int left = 0;
        ui::SwipeGestureRecognizer::attach(c.panel, ui::SwipeLeft, [&](auto&) { ++left; });
        c.touches.drag(c.label, QPointF(280, 40), QPointF(220, 40));
        CHECK(left == 1);
        c.touches.drag(c.label, QPointF(280, 40), QPointF(240, 40));
        CHECK(left == 1);
        c.touches.drag(c.label, QPointF(280, 40), QPointF(120, 40), 6, 150);
        CHECK(left == 1);
    }
    SECTION("a long press over the label begins, and ends with the release") {
        std::vector<ui::GestureState> states;
        QPointF began;
        auto* r = ui::LongPressGestureRecognizer::attach(
            c.panel,
            [&](ui::LongPressGestureRecognizer& g) {
                states.push_back(g.state());
                if (g.state() == ui::GestureState::Began) began = g.locationInView(c.label);
            },
            50);
        CHECK(c.touches.longPress(
            c.label, [&] { return !states.empty(); }, QPointF(40, 30)));
        CHECK(states == std::vector<ui::GestureState>{ui::GestureState::Began, ui::GestureState::Ended});
        CHECK(near(began, QPointF(40, 30), pixelInPoints(scale)));

        states.clear();
        c.touches.tap(c.label);
        CHECK(r->state() == ui::GestureState::Failed); // no timer left to fire
        CHECK(states.empty());

        // Allowed to stray 10 points before it is recognised.
        const testsupport::ScreenSpot start = c.touches.spot(c.label, QPointF(40, 30));
        c.touches.press(start);
        c.touches.moveTo(c.touches.spot(c.label, QPointF(47, 30)));
        CHECK(r->state() == ui::GestureState::Possible);
        c.touches.moveTo(c.touches.spot(c.label, QPointF(54, 30)));
        CHECK(r->state() == ui::GestureState::Failed);
        c.touches.release(c.touches.spot(c.label, QPointF(54, 30)));
        CHECK(states.empty());
    }
}
