#include "app/photos/HudViews.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

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
        if (watchedParent_) watchedParent_->removeEventFilter(this);
        watchedParent_ = parentWidget();
        if (watchedParent_) watchedParent_->installEventFilter(this);
    }
    return QWidget::event(event);
}

bool OverlayControl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedParent_ &&
        (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished)) {
        auto* child = static_cast<QChildEvent*>(event)->child();
        // Whoever adds a screen raises it after adding; going back on top waits for that.
        if (child != this && child->isWidgetType())
            QTimer::singleShot(0, this, [this] {
                if (!isHidden()) raise();
            });
    }
    return false;
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
