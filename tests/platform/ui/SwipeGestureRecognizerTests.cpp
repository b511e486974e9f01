#include <catch2/catch.hpp>

#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <vector>

#include "platform/ui/SwipeGestureRecognizer.h"
#include "tests/support/TouchDevice.h"

namespace {

// A window with the swiped view (a button and a field on it) and a sibling beside it.
struct SwipeScreen {
    QWidget window;
    QWidget* view = new QWidget(&window);
    QPushButton* button = new QPushButton("保存", view);
    QLineEdit* field = new QLineEdit(view);
    QPushButton* outside = new QPushButton("戻る", &window);
    int left = 0;
    int right = 0;

    SwipeScreen() {
        window.resize(768, 1024);
        view->setGeometry(0, 0, 768, 600);
        button->setGeometry(300, 100, 200, 60);
        field->setGeometry(100, 300, 400, 40);
        outside->setGeometry(0, 700, 768, 300);
        ui::SwipeGestureRecognizer::attach(view, ui::SwipeLeft, [this](auto&) { ++left; });
        ui::SwipeGestureRecognizer::attach(view, ui::SwipeRight, [this](auto&) { ++right; });
        window.show();
        REQUIRE(QTest::qWaitForWindowExposed(&window));
    }
};

// Press at `from` on `w`, move through `path`, release at its end `releaseDelay` ms of event time
// after the last move (QTest moves the event timestamps by its delay argument).
void stroke(QWidget* w, QPoint from, const std::vector<QPoint>& path, int releaseDelay = 1,
            Qt::MouseButton button = Qt::LeftButton) {
    QTest::mousePress(w, button, {}, from);
    for (QPoint p : path)
        QTest::mouseMove(w, p);
    QTest::mouseRelease(w, button, {}, path.back(), releaseDelay);
}

// A canvas that takes touches itself, as a signature pad does, so they arrive as touch events.
class TouchPad : public QWidget {
  public:
    using QWidget::QWidget;
    int touchEvents = 0;

  protected:
    bool event(QEvent* e) override {
        switch (e->type()) {
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            ++touchEvents;
            e->accept();
            return true;
        default:
            return QWidget::event(e);
        }
    }
};

} // namespace

TEST_CASE("A swipe over the view's children is recognised in its direction", "[ui][swipe]") {
    SwipeScreen s;
    int clicks = 0;
    QObject::connect(s.button, &QPushButton::clicked, [&] { ++clicks; });

    SECTION("left over a button fires the left recogniser once, not the right one") {
        stroke(s.button, {150, 30}, {{120, 30}, {90, 32}, {70, 30}});
        CHECK(s.left == 1);
        CHECK(s.right == 0);
    }
    SECTION("the same, delivered through the window as the window system does") {
        QWindow* window = s.window.windowHandle();
        QTest::mousePress(window, Qt::LeftButton, {}, {450, 130});
        QTest::mouseMove(window, {400, 130});
        QTest::mouseMove(window, {370, 131});
        QTest::mouseRelease(window, Qt::LeftButton, {}, {370, 131});
        CHECK(s.left == 1);
        CHECK(s.right == 0);
    }
    SECTION("right over a line edit fires the right one") {
        stroke(s.field, {50, 20}, {{100, 20}, {160, 22}});
        CHECK(s.right == 1);
        CHECK(s.left == 0);
    }
    SECTION("a vertical stroke fires neither; a recogniser for up and down takes it") {
        int vertical = 0;
        auto* upDown = ui::SwipeGestureRecognizer::attach(s.view, ui::SwipeUp | ui::SwipeDown,
                                                          [&](auto&) { ++vertical; });
        CHECK(upDown->view() == s.view);
        CHECK(upDown->direction() == (ui::SwipeUp | ui::SwipeDown));
        stroke(s.button, {100, 30}, {{100, -30}, {102, -60}});
        stroke(s.field, {100, 20}, {{100, 90}});
        CHECK(vertical == 2);
        CHECK(s.left + s.right == 0);
    }
    SECTION("a tap fires nothing and still clicks the button") {
        QTest::mouseClick(s.button, Qt::LeftButton);
        CHECK(clicks == 1);
        CHECK(s.left + s.right == 0);
    }
    SECTION("a recogniser made without a direction takes right swipes") {
        int swipes = 0;
        auto* plain = new ui::SwipeGestureRecognizer(s.view, [&](auto&) { ++swipes; });
        CHECK(plain->direction() == ui::SwipeRight);
        stroke(s.button, {20, 30}, {{90, 30}});
        CHECK(swipes == 1);
    }
}

TEST_CASE("Strokes that are not swipes fire nothing", "[ui][swipe]") {
    SwipeScreen s;

    SECTION("shorter than 50 points") {
        stroke(s.button, {150, 30}, {{101, 30}});
        CHECK(s.left == 0);
        stroke(s.button, {150, 30}, {{100, 30}});
        CHECK(s.left == 1);
    }
    SECTION("slower than half a second from press to release") {
        stroke(s.button, {150, 30}, {{70, 30}}, 600);
        CHECK(s.left == 0);
        stroke(s.button, {150, 30}, {{70, 30}}, 400);
        CHECK(s.left == 1);
    }
    SECTION("drifting sideways more than half the way") {
        stroke(s.button, {150, 30}, {{70, 71}});
        CHECK(s.left == 0);
        stroke(s.button, {150, 30}, {{70, 70}});
        CHECK(s.left == 1);
    }
    SECTION("a detour that ends back on the line") {
        stroke(s.button, {150, 30}, {{150, 100}, {70, 30}});
        CHECK(s.left == 0);
    }
    SECTION("with the right button") {
        stroke(s.button, {150, 30}, {{70, 30}}, 1, Qt::RightButton);
        CHECK(s.left == 0);
    }
}

TEST_CASE("Only strokes over the visible, enabled view count", "[ui][swipe]") {
    SwipeScreen s;

    SECTION("a swipe over a sibling of the view") {
        stroke(s.outside, {400, 100}, {{300, 100}});
        CHECK(s.left == 0);
    }
    SECTION("a hidden view") {
        s.view->hide();
        stroke(s.button, {150, 30}, {{70, 30}});
        CHECK(s.left == 0);
    }
    SECTION("a disabled view") {
        s.view->setEnabled(false);
        stroke(s.button, {150, 30}, {{70, 30}});
        CHECK(s.left == 0);
        s.view->setEnabled(true);
        stroke(s.button, {150, 30}, {{70, 30}});
        CHECK(s.left == 1);
    }
}

TEST_CASE("A recogniser lives and dies with its view", "[ui][swipe]") {
    SwipeScreen s;
    int swipes = 0;
    QPointer<ui::SwipeGestureRecognizer> recognizer =
        ui::SwipeGestureRecognizer::attach(s.view, ui::SwipeLeft, [&](auto&) { ++swipes; });

    SECTION("deleting the view deletes it, and later events find no filter of it") {
        delete s.view;
        CHECK(recognizer.isNull());
        stroke(s.outside, {400, 100}, {{300, 100}});
        QTest::mouseClick(s.outside, Qt::LeftButton);
        CHECK(swipes == 0);
    }
    SECTION("a handler may delete the view under the stroke") {
        QPointer<QWidget> view = s.view;
        recognizer->setDirection(ui::SwipeRight);
        ui::SwipeGestureRecognizer::attach(s.view, ui::SwipeLeft, [&](auto&) { delete view.data(); });
        stroke(s.button, {150, 30}, {{70, 30}});
        CHECK(view.isNull());
        CHECK(recognizer.isNull());
        stroke(s.outside, {400, 100}, {{300, 100}});
        CHECK(swipes == 0);
    }
}

TEST_CASE("Touch swipes are recognised", "[ui][swipe]") {
    SwipeScreen s;

    SECTION("over a child that takes touches") {
        auto* pad = new TouchPad(s.view);
        pad->setAttribute(Qt::WA_AcceptTouchEvents);
        pad->setGeometry(0, 400, 768, 200);
        pad->show();
        QTest::touchEvent(pad, testsupport::touchDevice()).press(0, {400, 100}, pad);
        QTest::touchEvent(pad, testsupport::touchDevice()).move(0, {350, 102}, pad);
        QTest::touchEvent(pad, testsupport::touchDevice()).release(0, {300, 100}, pad);
        CHECK(pad->touchEvents == 3);
        CHECK(s.left == 1);

        QTest::touchEvent(pad, testsupport::touchDevice()).press(0, {400, 100}, pad);
        QTest::touchEvent(pad, testsupport::touchDevice()).release(0, {370, 100}, pad);
        CHECK(s.left == 1);
    }
    SECTION("over a button, which gets them as mouse events, once") {
        QTest::touchEvent(s.button, testsupport::touchDevice()).press(0, {150, 30}, s.button);
        QTest::touchEvent(s.button, testsupport::touchDevice()).move(0, {110, 30}, s.button);
        QTest::touchEvent(s.button, testsupport::touchDevice()).release(0, {70, 30}, s.button);
        CHECK(s.left == 1);
        CHECK(s.right == 0);
    }
}
