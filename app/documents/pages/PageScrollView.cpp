#include "app/documents/pages/PageScrollView.h"

#include <QEvent>
#include <algorithm>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/Screen.h"

namespace documents {

PageScrollView::PageScrollView(QWidget* form, QWidget* parent) : QScrollArea(parent) {
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setWidgetResizable(false);
    setBackgroundRole(QPalette::Base);
    setWidget(form);
    resize(ui::mainScreenSize());
}

void PageScrollView::setKeepsClearOfScreenEdges(bool keeps) {
    keepsClear_ = keeps;
    updateMargins();
}

void PageScrollView::updateMargins() {
    QWidget* container = parentWidget();
    QWidget* screen = window();
    int top = 0, bottom = 0;
    if (keepsClear_ && container && screen && screen != this) {
        const QPoint origin = container->mapTo(screen, QPoint(0, 0));
        top = std::max(0, ui::kNavigationBarHeight - origin.y());
        bottom = std::max(0, origin.y() + container->height() - ui::kMainScreenHeight);
    }
    if (viewportMargins() != QMargins(0, top, 0, bottom)) setViewportMargins(0, top, 0, bottom);
}

bool PageScrollView::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        if (watchedParent_) watchedParent_->removeEventFilter(this);
        watchedParent_ = parentWidget();
        if (watchedParent_) watchedParent_->installEventFilter(this);
        updateMargins();
    }
    return QScrollArea::event(event);
}

bool PageScrollView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedParent_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        updateMargins();
    return QScrollArea::eventFilter(watched, event);
}

void PageScrollView::showEvent(QShowEvent* event) {
    updateMargins();
    QScrollArea::showEvent(event);
}

} // namespace documents
