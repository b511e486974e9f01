#pragma once
// A long-press recogniser on a view: a press held still for the minimum duration, by mouse or by a
// single touch, anywhere over the view or its children. Like the swipe recogniser it watches the
// application's events and never consumes them. The handler runs when the press is recognised
// (Began), on each move while held (Changed) and on release (Ended), or Cancelled when the press
// strays too far first. The view owns it (Qt parent).
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace ui {

enum class GestureState { Possible = 0, Began = 1, Changed = 2, Ended = 3, Cancelled = 4, Failed = 5 };

class LongPressGestureRecognizer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(LongPressGestureRecognizer&)>;

    static constexpr int kDefaultMinimumPressDuration = 500; // ms
    // A press moving farther than this (points) before it is recognised is no long press.
    static constexpr double kAllowableMovement = 10;

    LongPressGestureRecognizer(QWidget* view, Handler handler);
    ~LongPressGestureRecognizer() override;
    // A recogniser on `view`, owned by the view.
    static LongPressGestureRecognizer* attach(QWidget* view, Handler handler,
                                              int minimumPressDuration = kDefaultMinimumPressDuration);

    int minimumPressDuration() const { return timer_.interval(); }
    void setMinimumPressDuration(int milliseconds) { timer_.setInterval(milliseconds); }
    GestureState state() const { return state_; }
    QWidget* view() const { return view_; }
    // The press point in `widget`'s coordinates (the recogniser's view when null).
    QPointF locationInView(const QWidget* widget = nullptr) const;

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

  private:
    void begin(QPointF globalPos);
    void moveTo(QPointF globalPos);
    void end();
    void cancel();
    void recognize();
    // Runs the handler; false when it closed the screen and took this recogniser with it.
    bool fire(GestureState state);

    QPointer<QWidget> view_;
    Handler handler_;
    QTimer timer_;
    GestureState state_ = GestureState::Possible;
    bool pressed_ = false;
    QPointF start_;
    QPointF current_;
};

} // namespace ui
