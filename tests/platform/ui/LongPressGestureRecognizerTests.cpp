// The long press: held still for the minimum duration over the view or its children, by mouse or by
// touch; a short tap, a drag or a second finger is no long press.
#include <catch2/catch.hpp>

#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <vector>

#include "platform/ui/LongPressGestureRecognizer.h"
#include "tests/support/TouchDevice.h"

using ui::GestureState;

namespace {

struct PressScreen {
    QWidget window;
    QWidget* view = new QWidget(&window);
    QPushButton* button = new QPushButton("画像", view);
    QWidget* outside = new QWidget(&window);
    ui::LongPressGestureRecognizer* recognizer;
    std::vector<GestureState> states;
    QPointF began;

    explicit PressScreen(int duration = 80) {
        window.resize(600, 600);
        view->setGeometry(0, 0, 600, 400);
        button->setGeometry(100, 100, 200, 60);
        outside->setGeometry(0, 400, 600, 200);
        recognizer = ui::LongPressGestureRecognizer::attach(
            view,
            [this](ui::LongPressGestureRecognizer& r) {
                states.push_back(r.state());
                if (r.state() == GestureState::Began) began = r.locationInView();
            },
            duration);
        window.show();
        REQUIRE(QTest::qWaitForWindowExposed(&window));
    }
};

// A canvas that takes touches itself, so they arrive as touch events.
class TouchPad : public QWidget {
  public:
    explicit TouchPad(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_AcceptTouchEvents); }

  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::TouchBegin || e->type() == QEvent::TouchUpdate ||
            e->type() == QEvent::TouchEnd) {
            e->accept();
            return true;
        }
        return QWidget::event(e);
    }
};

} // namespace

TEST_CASE("a press held still is recognised once it lasted the minimum duration", "[ui][longpress]") {
    SECTION("the default is half a second") {
        QWidget view;
        auto* r = ui::LongPressGestureRecognizer::attach(&view, {});
        CHECK(r->minimumPressDuration() == 500);
    }
    PressScreen s;
    int clicks = 0;
    QObject::connect(s.button, &QPushButton::clicked, [&] { ++clicks; });

    SECTION("held over a child: began at the press point, ended on release; the child still gets it") {
        QTest::mousePress(s.button, Qt::LeftButton, {}, QPoint(20, 10));
        QTest::qWait(150);
        CHECK(s.states == std::vector<GestureState>{GestureState::Began});
        CHECK(s.began == QPointF(120, 110));
        QTest::mouseRelease(s.button, Qt::LeftButton, {}, QPoint(20, 10));
        CHECK(s.states == std::vector<GestureState>{GestureState::Began, GestureState::Ended});
        CHECK(clicks == 1);
    }
    SECTION("a short tap is none") {
        QTest::mouseClick(s.view, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::qWait(150);
        CHECK(s.states.empty());
    }
    SECTION("moving away before it is recognised is none; small jitters are allowed") {
        QTest::mousePress(s.view, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(s.view, QPoint(14, 12));
        QTest::qWait(150);
        CHECK(s.states == std::vector<GestureState>{GestureState::Began});
        QTest::mouseRelease(s.view, Qt::LeftButton, {}, QPoint(14, 12));
        s.states.clear();
        QTest::mousePress(s.view, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::mouseMove(s.view, QPoint(60, 10));
        QTest::qWait(150);
        QTest::mouseRelease(s.view, Qt::LeftButton, {}, QPoint(60, 10));
        CHECK(s.states.empty());
    }
    SECTION("presses outside the view or on a hidden view are not watched") {
        QTest::mousePress(s.outside, Qt::LeftButton, {}, QPoint(10, 10));
        QTest::qWait(150);
        QTest::mouseRelease(s.outside, Qt::LeftButton, {}, QPoint(10, 10));
        CHECK(s.states.empty());
    }
}

TEST_CASE("a touch held still is a long press and a second finger cancels it", "[ui][longpress]") {
    PressScreen s;
    auto* pad = new TouchPad(s.view);
    pad->setGeometry(200, 200, 300, 180);
    pad->show();
    QTest::touchEvent(&s.window, testsupport::touchDevice()).press(0, QPoint(300, 300), &s.window);
    QTest::qWait(150);
    CHECK(s.states == std::vector<GestureState>{GestureState::Began});
    QTest::touchEvent(&s.window, testsupport::touchDevice())
        .stationary(0)
        .press(1, QPoint(350, 300), &s.window);
    CHECK(s.states.back() == GestureState::Cancelled);
    QTest::touchEvent(&s.window, testsupport::touchDevice())
        .release(0, QPoint(300, 300), &s.window)
        .release(1, QPoint(350, 300), &s.window);
}

TEST_CASE("a handler that closes the screen takes the recogniser with it safely", "[ui][longpress]") {
    auto window = std::make_unique<QWidget>();
    window->resize(300, 300);
    QPointer<QWidget> view = new QWidget(window.get());
    view->setGeometry(0, 0, 300, 300);
    int fired = 0;
    QPointer<ui::LongPressGestureRecognizer> r = ui::LongPressGestureRecognizer::attach(
        view,
        [&](ui::LongPressGestureRecognizer&) {
            ++fired;
            delete view.data();
        },
        50);
    window->show();
    REQUIRE(QTest::qWaitForWindowExposed(window.get()));
    QTest::mousePress(view, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::qWait(120);
    CHECK(fired == 1);
    CHECK(view.isNull());
    CHECK(r.isNull());
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, QPoint(10, 10));
}
