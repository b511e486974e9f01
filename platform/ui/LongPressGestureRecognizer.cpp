#include "platform/ui/LongPressGestureRecognizer.h"

#include "platform/ui/PointerWatch.h"

#include <QCoreApplication>
#include <QLineF>
#include <QMouseEvent>
#include <QTouchEvent>

namespace ui {

LongPressGestureRecognizer::LongPressGestureRecognizer(QWidget* view, Handler handler)
    : QObject(view), view_(view), handler_(std::move(handler)) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDefaultMinimumPressDuration);
    connect(&timer_, &QTimer::timeout, this, &LongPressGestureRecognizer::recognize);
    QCoreApplication::instance()->installEventFilter(this);
}

LongPressGestureRecognizer::~LongPressGestureRecognizer() {
    if (auto* app = QCoreApplication::instance()) app->removeEventFilter(this);
}

LongPressGestureRecognizer* LongPressGestureRecognizer::attach(QWidget* view, Handler handler,
                                                               int minimumPressDuration) {
    auto* recognizer = new LongPressGestureRecognizer(view, std::move(handler)); // owned by the view
    recognizer->setMinimumPressDuration(minimumPressDuration);
    return recognizer;
}

QPointF LongPressGestureRecognizer::locationInView(const QWidget* widget) const {
    if (!widget) widget = view_;
    return widget ? widget->mapFromGlobal(current_) : current_;
}

void LongPressGestureRecognizer::begin(QPointF globalPos) {
    pressed_ = true;
    state_ = GestureState::Possible;
    start_ = current_ = globalPos;
    timer_.start();
}

void LongPressGestureRecognizer::moveTo(QPointF globalPos) {
    current_ = globalPos;
    if (state_ == GestureState::Possible) {
        if (QLineF(QPointF(), travelInView(view_, start_, globalPos)).length() > kAllowableMovement) {
            timer_.stop();
            pressed_ = false;
            state_ = GestureState::Failed;
        }
        return;
    }
    if (state_ == GestureState::Began || state_ == GestureState::Changed) fire(GestureState::Changed);
}

void LongPressGestureRecognizer::end() {
    timer_.stop();
    pressed_ = false;
    if (state_ == GestureState::Began || state_ == GestureState::Changed)
        fire(GestureState::Ended);
    else
        state_ = GestureState::Failed;
}

void LongPressGestureRecognizer::cancel() {
    timer_.stop();
    pressed_ = false;
    if (state_ == GestureState::Began || state_ == GestureState::Changed)
        fire(GestureState::Cancelled);
    else
        state_ = GestureState::Failed;
}

void LongPressGestureRecognizer::recognize() {
    if (!pressed_ || !view_ || !view_->isVisible()) return;
    fire(GestureState::Began);
}

bool LongPressGestureRecognizer::fire(GestureState state) {
    state_ = state;
    // The handler may close the screen and delete the view with this recogniser.
    QPointer<LongPressGestureRecognizer> alive = this;
    auto handler = handler_;
    if (handler) handler(*this);
    return !alive.isNull();
}

bool LongPressGestureRecognizer::eventFilter(QObject* receiver, QEvent* event) {
    if (!isPointerEventForView(view_, receiver, event)) return false;

    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (e->button() == Qt::LeftButton && !pressed_) begin(e->globalPosition());
        break;
    }
    case QEvent::MouseMove: {
        auto* e = static_cast<QMouseEvent*>(event);
        if (pressed_ && (e->buttons() & Qt::LeftButton)) moveTo(e->globalPosition());
        break;
    }
    case QEvent::MouseButtonRelease: {
        // An ignored release bubbles up to the parents and is seen again: the first one ends it.
        auto* e = static_cast<QMouseEvent*>(event);
        if (pressed_ && e->button() == Qt::LeftButton) {
            current_ = e->globalPosition();
            end();
        }
        break;
    }
    case QEvent::TouchBegin: {
        auto* e = static_cast<QTouchEvent*>(event);
        if (e->pointCount() == 1 && !pressed_) begin(e->point(0).globalPosition());
        break;
    }
    case QEvent::TouchUpdate: {
        auto* e = static_cast<QTouchEvent*>(event);
        if (!pressed_) break;
        if (e->pointCount() == 1)
            moveTo(e->point(0).globalPosition());
        else
            cancel(); // a second finger makes it some other gesture
        break;
    }
    case QEvent::TouchEnd: {
        auto* e = static_cast<QTouchEvent*>(event);
        if (!pressed_) break;
        if (e->pointCount() >= 1) current_ = e->point(0).globalPosition();
        end();
        break;
    }
    default: // TouchCancel
        if (pressed_) cancel();
        break;
    }
    return false;
}

} // namespace ui
