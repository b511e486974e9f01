#include "platform/ui/AnimatedView.h"

#include <QPainter>
#include <cmath>

namespace ui {

void ViewEffect::setLook(double opacity, double scale) {
    if (opacity == opacity_ && scale == scale_) return;
    opacity_ = opacity;
    scale_ = scale;
    // A plain widget paints itself, sharp; scaling up and back by the inverse may leave a rounding crumb.
    setEnabled(opacity_ < 1 || std::abs(scale_ - 1) > 1e-9);
    updateBoundingRect();
    update();
}

QRectF ViewEffect::boundingRectFor(const QRectF& rect) const {
    if (scale_ <= 1) return rect;
    QPointF c = rect.center();
    return QRectF(c.x() - rect.width() * scale_ / 2, c.y() - rect.height() * scale_ / 2,
                  rect.width() * scale_, rect.height() * scale_);
}

void ViewEffect::draw(QPainter* painter) {
    if (opacity_ <= 0) return;
    if (opacity_ >= 1 && std::abs(scale_ - 1) <= 1e-9) {
        drawSource(painter);
        return;
    }
    QPoint offset;
    QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    QPointF c = sourceBoundingRect(Qt::LogicalCoordinates).center();
    painter->save();
    painter->setOpacity(painter->opacity() * opacity_);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->translate(c);
    painter->scale(scale_, scale_);
    painter->translate(-c);
    painter->drawPixmap(offset, pixmap);
    painter->restore();
}

AnimatedView::AnimatedView(QWidget* widget) : widget_(widget) {
    auto* effect = new ViewEffect; // owned by the widget from here on
    effect->setEnabled(false);
    widget->setGraphicsEffect(effect);
    effect_ = effect;
    bounds_ = widget->size();
    x_.set(widget->x() + widget->width() / 2.0);
    y_.set(widget->y() + widget->height() / 2.0);
    alpha_.setOnChange([this] { repaint(); });
    scale_.setOnChange([this] { repaint(); });
    x_.setOnChange([this] { place(); });
    y_.setOnChange([this] { place(); });
}

void AnimatedView::setCenter(QPointF c) {
    x_.set(c.x());
    y_.set(c.y());
}

void AnimatedView::setBounds(QSizeF size) {
    bounds_ = size;
    place();
}

QRectF AnimatedView::frame() const {
    double s = scale();
    QSizeF sz = bounds_ * s;
    return {x_.value() - sz.width() / 2, y_.value() - sz.height() / 2, sz.width(), sz.height()};
}

void AnimatedView::repaint() {
    if (effect_) effect_->setLook(alpha_.presentation(), scale_.presentation());
}

void AnimatedView::place() {
    if (!widget_) return;
    // Widgets sit on whole pixels; the model keeps the exact centre.
    QPointF c = presentationCenter();
    QRect g(int(std::lround(c.x() - bounds_.width() / 2)), int(std::lround(c.y() - bounds_.height() / 2)),
            int(std::lround(bounds_.width())), int(std::lround(bounds_.height())));
    if (widget_->geometry() != g) widget_->setGeometry(g);
}

} // namespace ui
