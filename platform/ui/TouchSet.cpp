#include "platform/ui/TouchSet.h"

#include <QMouseEvent>
#include <QTouchEvent>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

namespace ui {

namespace {
// Ids of the mouse's finger and the wheel's two, apart from touch point ids.
constexpr int kMouseId = -1;
constexpr int kWheelIds[2] = {-2, -3};
} // namespace

QPointF Touch::locationIn(const QWidget* view) const {
    return view ? view->mapFromGlobal(globalPosition) : globalPosition;
}

QPointF Touch::previousLocationIn(const QWidget* view) const {
    return view ? view->mapFromGlobal(previousGlobalPosition) : previousGlobalPosition;
}

std::vector<TouchSet> TouchSetTracker::translate(const QEvent* event, const QWidget* view) {
    std::vector<TouchSet> sets;
    switch (event->type()) {
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel: {
        auto* te = static_cast<const QTouchEvent*>(event);
        TouchSet began{TouchPhase::Began, {}}, moved{TouchPhase::Moved, {}}, ended{TouchPhase::Ended, {}},
            cancelled{TouchPhase::Cancelled, {}};
        for (const QEventPoint& p : te->points()) {
            Touch t{p.id(), p.globalPosition(), p.globalLastPosition()};
            if (event->type() == QEvent::TouchCancel) {
                cancelled.touches.push_back(t);
                continue;
            }
            switch (p.state()) {
            case QEventPoint::State::Pressed:
                t.previousGlobalPosition = t.globalPosition;
                began.touches.push_back(t);
                break;
            case QEventPoint::State::Updated:
                moved.touches.push_back(t);
                break;
            case QEventPoint::State::Released:
                ended.touches.push_back(t);
                break;
            default: // stationary: not a move
                break;
            }
        }
        for (TouchSet* s : {&began, &moved, &ended, &cancelled})
            if (!s->touches.empty()) sets.push_back(*s);
        touchesDown_ += began.count() - ended.count() - cancelled.count();
        if (touchesDown_ < 0 || event->type() == QEvent::TouchEnd || event->type() == QEvent::TouchCancel)
            touchesDown_ = 0;
        break;
    }
    case QEvent::MouseButtonPress: {
        auto* me = static_cast<const QMouseEvent*>(event);
        if (me->button() != Qt::LeftButton || mouseDown_ || touchesDown_ > 0) break;
        // Touches synthesised into mouse events were already seen as touches.
        if (me->source() != Qt::MouseEventNotSynthesized) break;
        mouseDown_ = true;
        mouseLast_ = me->globalPosition();
        sets.push_back({TouchPhase::Began, {{kMouseId, mouseLast_, mouseLast_}}});
        break;
    }
    case QEvent::MouseMove: {
        auto* me = static_cast<const QMouseEvent*>(event);
        if (!mouseDown_ || me->globalPosition() == mouseLast_) break;
        sets.push_back({TouchPhase::Moved, {{kMouseId, me->globalPosition(), mouseLast_}}});
        mouseLast_ = me->globalPosition();
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* me = static_cast<const QMouseEvent*>(event);
        if (!mouseDown_ || me->button() != Qt::LeftButton) break;
        mouseDown_ = false;
        sets.push_back({TouchPhase::Ended, {{kMouseId, me->globalPosition(), mouseLast_}}});
        break;
    }
    case QEvent::Wheel: {
        auto* we = static_cast<const QWheelEvent*>(event);
        if (!(we->modifiers() & Qt::ControlModifier) || mouseDown_ || touchesDown_ > 0) break;
        const double notches = we->angleDelta().y() / 120.0;
        if (notches == 0) break;
        // Two fingers either side of the cursor, moving apart (or together) by the notches' travel.
        const QPointF c = view ? view->mapFromGlobal(we->globalPosition()) : we->globalPosition();
        const double half = kWheelPinchSpan / 2;
        const double halfAfter = std::max(1.0, half + notches * kWheelNotchTravel / 2);
        auto onScreen = [view](QPointF p) { return view ? view->mapToGlobal(p) : p; };
        const QPointF a0 = onScreen(c - QPointF(half, 0)), b0 = onScreen(c + QPointF(half, 0));
        const QPointF a1 = onScreen(c - QPointF(halfAfter, 0)), b1 = onScreen(c + QPointF(halfAfter, 0));
        sets.push_back({TouchPhase::Began, {{kWheelIds[0], a0, a0}, {kWheelIds[1], b0, b0}}});
        sets.push_back({TouchPhase::Moved, {{kWheelIds[0], a1, a0}, {kWheelIds[1], b1, b0}}});
        sets.push_back({TouchPhase::Ended, {{kWheelIds[0], a1, a1}, {kWheelIds[1], b1, b1}}});
        break;
    }
    default:
        break;
    }
    return sets;
}

} // namespace ui
