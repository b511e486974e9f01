#include "platform/ui/PopoverLayer.h"

#include <QFrame>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <algorithm>

namespace ui {

namespace {
constexpr int kGap = 8;    // between the source and the popover (where the arrow would be)
constexpr int kMargin = 8; // kept free at the window's edges

QRect clampInto(QRect r, const QRect& bounds) {
    QRect inner = bounds.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (r.right() > inner.right()) r.moveRight(inner.right());
    if (r.bottom() > inner.bottom()) r.moveBottom(inner.bottom());
    if (r.left() < inner.left()) r.moveLeft(inner.left());
    if (r.top() < inner.top()) r.moveTop(inner.top());
    return r;
}
} // namespace

QRect placePopover(const QRect& source, const QSize& size, unsigned permitted, const QRect& bounds) {
    const int w = size.width(), h = size.height();
    const QPoint c = source.center();
    struct Option {
        unsigned arrow;
        QRect rect;
    };
    const Option options[] = {
        {ArrowUp, QRect(c.x() - w / 2, source.bottom() + 1 + kGap, w, h)},
        {ArrowDown, QRect(c.x() - w / 2, source.top() - kGap - h, w, h)},
        {ArrowLeft, QRect(source.right() + 1 + kGap, c.y() - h / 2, w, h)},
        {ArrowRight, QRect(source.left() - kGap - w, c.y() - h / 2, w, h)},
    };
    const QRect inner = bounds.adjusted(kMargin, kMargin, -kMargin, -kMargin);
    const Option* first = nullptr;
    for (const auto& o : options) {
        if (!(permitted & o.arrow)) continue;
        if (!first) first = &o;
        // Fits along the arrow's axis; the cross axis is slid into the window below.
        bool vertical = o.arrow == ArrowUp || o.arrow == ArrowDown;
        bool fits = vertical ? (o.rect.top() >= inner.top() && o.rect.bottom() <= inner.bottom())
                             : (o.rect.left() >= inner.left() && o.rect.right() <= inner.right());
        if (fits) return clampInto(o.rect, bounds);
    }
    return clampInto(first ? first->rect : options[0].rect, bounds);
}

PopoverLayer::PopoverLayer(QWidget* content, QSize size, const PopoverAnchor& anchor, QWidget* window,
                           std::function<void()> onOutsideTap)
    : content_(content), size_(size), anchor_(anchor), window_(window),
      onOutsideTap_(std::move(onOutsideTap)) {
    setObjectName("popoverLayer");
    auto* box = new QFrame(this);
    box->setObjectName("popover");
    box->setFrameShape(QFrame::Box);
    box->setStyleSheet(
        "QFrame#popover { background: white; border: 1px solid #9a9a9a; border-radius: 8px; }");
    auto* layout = new QVBoxLayout(box);
    // The box is 4 points wider than the content on each side, its border included: the content gets
    // exactly the size it asked for.
    box->ensurePolished();
    const int inset = std::max(0, 4 - box->frameWidth());
    layout->setContentsMargins(inset, inset, inset, inset);
    content->setParent(box);
    layout->addWidget(content);
    content->show();
    frame_ = box;
}

void PopoverLayer::releaseContent() {
    if (!content_) return;
    content_->hide();
    content_->setParent(nullptr);
    content_ = nullptr;
}

void PopoverLayer::place() {
    QRect source;
    if (anchor_.sourceView && window_) {
        QRect r = anchor_.sourceRect.isEmpty() ? anchor_.sourceView->rect() : anchor_.sourceRect;
        source = QRect(anchor_.sourceView->mapTo(window_, r.topLeft()), r.size());
    } else {
        source = QRect(rect().center(), QSize(1, 1));
    }
    QSize size = size_.isValid() && !size_.isEmpty() ? size_ : QSize(320, 480);
    frame_->setGeometry(placePopover(source, size + QSize(8, 8), anchor_.permittedArrowDirections, rect()));
}

void PopoverLayer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    place();
}

void PopoverLayer::mousePressEvent(QMouseEvent* event) {
    if (!frame_->geometry().contains(event->position().toPoint()) && onOutsideTap_) {
        auto tap = onOutsideTap_;
        tap();
        return;
    }
    QWidget::mousePressEvent(event);
}

} // namespace ui
