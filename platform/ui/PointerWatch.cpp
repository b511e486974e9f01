#include "platform/ui/PointerWatch.h"

#include <QEvent>
#include <QWidget>

namespace ui {

bool isPointerEventForView(const QWidget* view, const QObject* receiver, const QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
        break;
    default:
        return false;
    }
    if (!view || !view->isVisible() || !view->isEnabled() || !receiver->isWidgetType()) return false;
    auto* widget = static_cast<const QWidget*>(receiver);
    return widget == view || view->isAncestorOf(widget);
}

QPointF travelInView(const QWidget* view, QPointF fromGlobal, QPointF toGlobal) {
    if (!view) return toGlobal - fromGlobal;
    return view->mapFromGlobal(toGlobal) - view->mapFromGlobal(fromGlobal);
}

} // namespace ui
