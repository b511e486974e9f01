#include "app/photos/hud/HudViews.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace hud {

QImage tintedImage(const QImage& image, const QColor& color) {
    if (image.isNull()) return image;
    QImage out = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter p(&out);
    p.setCompositionMode(QPainter::CompositionMode_SourceAtop);
    p.fillRect(out.rect(), color);
    p.end();
    out.setDevicePixelRatio(image.devicePixelRatio());
    return out;
}

OverlayControl::OverlayControl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_NoSystemBackground);
    setAutoFillBackground(false);
}

bool OverlayControl::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        if (watchedParent_) {
            watchedParent_->removeEventFilter(this);
            for (QObject* sibling : watchedParent_->children())
                sibling->removeEventFilter(this);
        }
        watchedParent_ = parentWidget();
        if (watchedParent_) {
            watchedParent_->installEventFilter(this);
            for (QObject* sibling : watchedParent_->children())
                if (sibling != this && sibling->isWidgetType()) sibling->installEventFilter(this);
        }
    }
    return QWidget::event(event);
}

bool OverlayControl::eventFilter(QObject* watched, QEvent* event) {
    if (!watchedParent_) return false;
    if (watched == watchedParent_) {
        auto* child = event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved
                          ? static_cast<QChildEvent*>(event)->child()
                          : nullptr;
        if (child && child != this && child->isWidgetType()) {
            // A screen added to the window raises itself right after; hearing that, go back on top.
            if (event->type() == QEvent::ChildAdded) {
                child->installEventFilter(this);
                keepOnTop();
            } else {
                child->removeEventFilter(this);
            }
        }
    } else if (watched->parent() == watchedParent_ &&
               (event->type() == QEvent::ZOrderChange || event->type() == QEvent::Show)) {
        keepOnTop();
    }
    return false;
}

void OverlayControl::keepOnTop() {
    if (isHidden() || !parentWidget()) return;
    const auto& siblings = parentWidget()->children();
    // Already the last widget child: nothing to do (and no z-order event to answer).
    for (auto it = siblings.rbegin(); it != siblings.rend(); ++it)
        if ((*it)->isWidgetType()) {
            if (*it != this) raise();
            return;
        }
}

void OverlayControl::mousePressEvent(QMouseEvent* event) {
    event->accept(); // the screen below gets nothing while the mask takes touches
    if (onTouchDown) onTouchDown(event);
}

MaskView::MaskView(std::function<void(QPainter&, const QRectF&)> drawMask) : drawMask_(std::move(drawMask)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void MaskView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (drawMask_) drawMask_(p, QRectF(rect()));
}

BoxView::BoxView() {
    setAttribute(Qt::WA_NoSystemBackground);
}

void BoxView::setBackgroundColor(QColor c) {
    background_ = c;
    update();
}

void BoxView::paintBackground(QPainter& p) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 14, 14);
    p.fillPath(shape, background_);
    p.setClipPath(shape); // the rings stay inside the rounded corners
}

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

void ImageView::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void ImageView::setTintColor(QColor c) {
    tint_ = c;
    update();
}

void ImageView::paintEvent(QPaintEvent*) {
    if (image_.isNull()) return;
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(rect()), tintedImage(image_, tint_));
}

} // namespace hud
