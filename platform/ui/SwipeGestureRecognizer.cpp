#include "platform/ui/SwipeGestureRecognizer.h"

#include "platform/ui/PointerWatch.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QTouchEvent>
#include <cmath>

namespace ui {

SwipeGestureRecognizer::SwipeGestureRecognizer(QWidget* view, Handler handler)
    : QObject(view), view_(view), handler_(std::move(handler)) {
    QCoreApplication::instance()->installEventFilter(this);
}

SwipeGestureRecognizer::~SwipeGestureRecognizer() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

SwipeGestureRecognizer* SwipeGestureRecognizer::attach(QWidget* view, unsigned direction, Handler handler) {
    auto* recognizer = new SwipeGestureRecognizer(view, std::move(handler)); // owned by the view
    recognizer->setDirection(direction);
    return recognizer;
}

void SwipeGestureRecognizer::begin(QPointF globalPos, quint64 timestamp) {
    tracking_ = true;
    start_ = globalPos;
    startTime_ = timestamp;
    maxDx_ = maxDy_ = 0;
}

void SwipeGestureRecognizer::moveTo(QPointF globalPos) {
    const QPointF d = travelInView(view_, start_, globalPos);
    maxDx_ = std::max(maxDx_, std::abs(d.x()));
    maxDy_ = std::max(maxDy_, std::abs(d.y()));
}

bool SwipeGestureRecognizer::endAt(QPointF globalPos, quint64 timestamp) {
    tracking_ = false;
    moveTo(globalPos);
    // Timestamps from two clocks (a synthetic event among real ones) count as too slow.
    if (timestamp < startTime_ || timestamp - startTime_ > kMaximumDuration) return false;
    const QPointF d = travelInView(view_, start_, globalPos);
    const bool horizontal = std::abs(d.x()) >= std::abs(d.y());
    const double travel = std::abs(horizontal ? d.x() : d.y());
    const double drift = horizontal ? maxDy_ : maxDx_;
    const unsigned made =
        horizontal ? (d.x() > 0 ? SwipeRight : SwipeLeft) : (d.y() > 0 ? SwipeDown : SwipeUp);
    return (direction_ & made) && travel >= kMinimumDistance && drift <= travel / 2;
}

bool SwipeGestureRecognizer::eventFilter(QObject* receiver, QEvent* event) {
    if (!isPointerEventForView(view_, receiver, event)) return false;

    bool recognized = false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton) begin(e->globalPosition(), e->timestamp());
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (tracking_ && (e->buttons() & Qt::LeftButton)) moveTo(e->globalPosition());
        break;
    }
    case QEvent::MouseButtonRelease: {
        // An ignored release bubbles up to the parents and is seen again: the first one ends the
        // stroke.
        auto* e = static_cast<QMouseEvent*>(event);
        if (tracking_ && e->button() == Qt::LeftButton)
            recognized = endAt(e->globalPosition(), e->timestamp());
        break;
    }
    // Touches reach only the widgets that accept them; over the others Qt turns them into mouse
    // events, which the cases above see.
    case QEvent::TouchBegin: {
        auto* e = static_cast<QTouchEvent*>(event);
        if (e->pointCount() == 1) begin(e->point(0).globalPosition(), e->timestamp());
        break;
    }
    case QEvent::TouchUpdate: {
        auto* e = static_cast<QTouchEvent*>(event);
        if (!tracking_) break;
        if (e->pointCount() == 1)
            moveTo(e->point(0).globalPosition());
        else
            tracking_ = false; // a second finger makes it some other gesture
        break;
    }
    case QEvent::TouchEnd: {
        auto* e = static_cast<QTouchEvent*>(event);
        if (tracking_ && e->pointCount() == 1)
            recognized = endAt(e->point(0).globalPosition(), e->timestamp());
        tracking_ = false;
        break;
    }
    default: // TouchCancel
        tracking_ = false;
        break;
    }
    if (!recognized) return false;

    // The handler may close the screen and delete the view with this recogniser and the receiver;
    // nothing of ours is touched after it, and a receiver gone must not get the event.
    QPointer<QObject> receiverAlive = receiver;
    auto handler = handler_;
    if (handler) handler(*this);
    return !receiverAlive;
}

} // namespace ui
