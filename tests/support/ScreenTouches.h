#pragma once
// Touches as the window system delivers them: to the window that stands on the monitor (the scaling
// host, or the window itself at 1:1), at the pixel where the target is drawn. They take the path a real
// click or finger takes, through the window's scale, the scene and the widgets' grabs, instead of going
// straight to the widget. Mouse events carry the test clock's timestamps (each step `stepMs` later), so
// a swipe's speed is what the test says, not how fast the machine runs.
#include <QGraphicsProxyWidget>
#include <QGraphicsView>
#include <QRect>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>
#include <catch2/catch.hpp>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ui/Window.h"
#include "platform/ui/WindowScale.h"
#include "tests/support/TouchDevice.h"

namespace testsupport {

// The factor the window opens with on a 1366 x 768 laptop screen (546 x 728 pixels).
inline double laptopWindowScale() {
    return ui::fittingWindowScale(QRect(0, 0, 1366, 768));
}

// Where a point of a widget is on the monitor: the window system's window showing it, and the pixel
// in that window.
struct ScreenSpot {
    QWindow* window = nullptr;
    QPoint pixel;
};

class ScreenTouches {
  public:
    explicit ScreenTouches(ui::Window& window) : window_(window) {}

    // `point` of `widget` (its centre when omitted), as drawn on the monitor.
    ScreenSpot spot(const QWidget* widget, std::optional<QPointF> point = std::nullopt) const {
        REQUIRE(widget);
        const QPointF p = point.value_or(QRectF(widget->rect()).center());
        const QWidget* top = widget->window();
        auto* view = qobject_cast<QGraphicsView*>(window_.screenWidget());
        QGraphicsProxyWidget* proxy = top->graphicsProxyWidget();
        if (!view || !proxy) {
            // At 1:1 every window stands on the monitor as itself.
            REQUIRE(top->windowHandle());
            return {top->windowHandle(), widget->mapTo(top, p).toPoint()};
        }
        const QPointF scene = proxy->mapToScene(widget->mapTo(top, p));
        const QPointF inViewport = view->viewportTransform().map(scene);
        return {view->windowHandle(), view->viewport()->mapTo(view, inViewport).toPoint()};
    }

    // The distance on the monitor, in pixels, that `points` canvas points are drawn as.
    double pixels(double points) const { return points * window_.scale(); }

    // ---- mouse (a desktop's pointer, and what a touch screen's taps become over most widgets)

    void press(const ScreenSpot& at, int stepMs = -1) {
        QTest::mousePress(at.window, Qt::LeftButton, {}, at.pixel, stepMs);
    }
    void moveTo(const ScreenSpot& at, int stepMs = -1) { QTest::mouseMove(at.window, at.pixel, stepMs); }
    void release(const ScreenSpot& at, int stepMs = -1) {
        QTest::mouseRelease(at.window, Qt::LeftButton, {}, at.pixel, stepMs);
    }
    void tap(const QWidget* widget, std::optional<QPointF> point = std::nullopt) {
        const ScreenSpot at = spot(widget, point);
        press(at);
        release(at);
    }
    // Pressed, moved in `steps` even steps `stepMs` apart, and let go at the end.
    void drag(const QWidget* widget, QPointF from, QPointF to, int steps = 6, int stepMs = 10) {
        press(spot(widget, from));
        for (int i = 1; i <= steps; ++i)
            moveTo(spot(widget, from + (to - from) * (double(i) / steps)), stepMs);
        release(spot(widget, to), stepMs);
    }
    // Pressed and held until `recognised` holds (the long press's timer is real time), then let go.
    bool longPress(const QWidget* widget, const std::function<bool()>& recognised,
                   std::optional<QPointF> point = std::nullopt) {
        const ScreenSpot at = spot(widget, point);
        press(at);
        const bool held = QTest::qWaitFor(recognised, 10000);
        release(at);
        return held;
    }
    // A Ctrl + wheel turn of `notches` over the point, as a desktop's pinch.
    void ctrlWheel(const QWidget* widget, QPointF point, int notches) {
        const ScreenSpot at = spot(widget, point);
        const QPointF global = at.window->mapToGlobal(QPointF(at.pixel));
        QWheelEvent wheel(QPointF(at.pixel), global, {}, {0, 120 * notches}, Qt::NoButton,
                          Qt::ControlModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(at.window, &wheel);
    }

    // ---- touch screen

    // One finger down at `from`, along to `to` in `steps`, and up.
    void touchDrag(const QWidget* widget, QPointF from, QPointF to, int steps = 4) {
        QPointingDevice* device = touchDevice();
        ScreenSpot at = spot(widget, from);
        QTest::touchEvent(at.window, device).press(0, at.pixel, at.window);
        for (int i = 1; i <= steps; ++i) {
            at = spot(widget, from + (to - from) * (double(i) / steps));
            QTest::touchEvent(at.window, device).move(0, at.pixel, at.window);
        }
        QTest::touchEvent(at.window, device).release(0, at.pixel, at.window);
    }
    void touchTap(const QWidget* widget, std::optional<QPointF> point = std::nullopt) {
        const ScreenSpot at = spot(widget, point);
        QTest::touchEvent(at.window, touchDevice()).press(0, at.pixel, at.window);
        QTest::touchEvent(at.window, touchDevice()).release(0, at.pixel, at.window);
    }
    // Two fingers about `centre`, `fromSpan` points apart across, moved to `toSpan` apart, and lifted.
    void pinch(const QWidget* widget, QPointF centre, double fromSpan, double toSpan) {
        QPointingDevice* device = touchDevice();
        auto fingers = [&](double span) {
            return std::pair{spot(widget, centre - QPointF(span / 2, 0)),
                             spot(widget, centre + QPointF(span / 2, 0))};
        };
        const auto [a0, b0] = fingers(fromSpan);
        const auto [a1, b1] = fingers(toSpan);
        QWindow* w = a0.window;
        QTest::touchEvent(w, device).press(0, a0.pixel, w).press(1, b0.pixel, w);
        QTest::touchEvent(w, device).move(0, a1.pixel, w).move(1, b1.pixel, w);
        QTest::touchEvent(w, device).release(0, a1.pixel, w).release(1, b1.pixel, w);
    }

  private:
    ui::Window& window_;
};

} // namespace testsupport
