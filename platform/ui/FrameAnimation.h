#pragma once
// Named frame animations: a view's frame moves to a new rectangle over a duration on the animation
// clock (see AnimationClock), under a name such as "keyboardShow". A new animation of the same view
// starts from where the view is now. AnimationClock::shared().finishAnimations() puts every running
// one at its end at once, so tests need not wait.
#include <QRect>
#include <functional>
#include <string>

class QWidget;

namespace ui {

// Starts the animation; a duration of 0 or less moves the view at once. `completion` runs when the
// view has arrived (finished) or when another frame animation of the view took over (not finished).
void animateFrame(QWidget* view, const QRect& frame, double duration, const std::string& name,
                  std::function<void(bool finished)> completion = {});

// The name of the view's running frame animation; empty when it is not moving.
std::string runningFrameAnimation(const QWidget* view);
// Where the view is heading: the running animation's end, else its geometry.
QRect modelFrame(const QWidget* view);

} // namespace ui
