#pragma once
// Gesture recognisers watch the application's events, so that strokes made over a view's buttons and
// fields count too; this picks out the pointer events meant for the view or one of its children, and
// measures strokes in the view's points.
#include <QPointF>

class QEvent;
class QObject;
class QWidget;

namespace ui {

// Whether `event`, on its way to `receiver`, is a mouse or touch event for a shown, enabled `view`
// (the window sees each event before the widget under the pointer does; only the widget's copy
// counts).
bool isPointerEventForView(const QWidget* view, const QObject* receiver, const QEvent* event);

// The way from one screen position to another, in `view`'s points: the window may be shown at another
// scale than 1:1, where a screen pixel is not a point, and a stroke must mean the same at any scale.
QPointF travelInView(const QWidget* view, QPointF fromGlobal, QPointF toGlobal);

} // namespace ui
