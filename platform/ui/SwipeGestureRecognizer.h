#pragma once
// A swipe recogniser on a view: a quick, mostly straight stroke in one of its directions, by mouse or
// by touch, made anywhere over the view, its buttons and fields included. It watches the application's
// events instead of the view's, because the children take the presses; it never consumes them, so a
// tap still reaches the button under it. The view owns it (Qt parent), so it cannot outlive it.
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QWidget>
#include <functional>

namespace ui {

enum SwipeDirection : unsigned { SwipeRight = 1, SwipeLeft = 2, SwipeUp = 4, SwipeDown = 8 };

class SwipeGestureRecognizer : public QObject {
    Q_OBJECT
  public:
    using Handler = std::function<void(SwipeGestureRecognizer&)>;

    // Thresholds, in points and milliseconds.
    static constexpr double kMinimumDistance = 50;
    static constexpr quint64 kMaximumDuration = 500;

    SwipeGestureRecognizer(QWidget* view, Handler handler);
    ~SwipeGestureRecognizer() override;
    // A recogniser for `direction` on `view`, owned by the view.
    static SwipeGestureRecognizer* attach(QWidget* view, unsigned direction, Handler handler);

    // A mask of SwipeDirection values; a stroke in any of them is recognised.
    unsigned direction() const { return direction_; }
    void setDirection(unsigned direction) { direction_ = direction; }
    QWidget* view() const { return view_; }

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

  private:
    void begin(QPointF globalPos, quint64 timestamp);
    void moveTo(QPointF globalPos);
    bool endAt(QPointF globalPos, quint64 timestamp);

    QPointer<QWidget> view_;
    Handler handler_;
    unsigned direction_ = SwipeRight;
    bool tracking_ = false;
    QPointF start_;
    quint64 startTime_ = 0;
    // The farthest the stroke went from its start on each axis, so a detour counts as drift even
    // when the stroke ends back on the line.
    double maxDx_ = 0;
    double maxDy_ = 0;
};

} // namespace ui
