#pragma once
// Touch sets: what one input event means for a view as began, moved and ended touches, from Qt touch
// events and, on a desktop, from the mouse. A mouse drag is one finger; Ctrl + wheel is a short
// two-finger pinch about the cursor (fingers spreading for a wheel turned away from the user).
// Stationary points of a touch event are neither moves nor anything else.
#include <QPointF>
#include <vector>

class QEvent;
class QWidget;

namespace ui {

enum class TouchPhase { Began, Moved, Ended, Cancelled };

struct Touch {
    int id = 0;
    // Global (screen) positions, so any view can take them in its own coordinates.
    QPointF globalPosition;
    QPointF previousGlobalPosition;
    QPointF locationIn(const QWidget* view) const;
    QPointF previousLocationIn(const QWidget* view) const;
};

struct TouchSet {
    TouchPhase phase = TouchPhase::Began;
    std::vector<Touch> touches;
    int count() const { return int(touches.size()); }
};

class TouchSetTracker {
  public:
    // Points of finger travel one wheel notch (120 units) stands for, and the fingers' distance at
    // the start of a wheel pinch.
    static constexpr double kWheelNotchTravel = 20;
    static constexpr double kWheelPinchSpan = 100;

    // The touch sets of the event, in the order they happen; empty when the event carries none (a
    // plain wheel, a mouse move without a button, a touch event with only stationary points). Mouse
    // presses while touches are down, and a wheel pinch during a drag, are ignored. A wheel pinch's
    // fingers are placed in `view`'s points (in screen units without a view), so it pinches alike at
    // any window scale.
    std::vector<TouchSet> translate(const QEvent* event, const QWidget* view = nullptr);
    bool mouseDown() const { return mouseDown_; }

  private:
    bool mouseDown_ = false;
    QPointF mouseLast_;
    int touchesDown_ = 0;
};

} // namespace ui
