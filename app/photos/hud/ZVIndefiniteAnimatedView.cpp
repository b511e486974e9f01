#include "app/photos/hud/ZVIndefiniteAnimatedView.h"

#include <QEvent>
#include <cmath>

#include "app/photos/hud/HudArtwork.h"

ZVIndefiniteAnimatedView::ZVIndefiniteAnimatedView(QWidget* parent) : ui::LayerHostWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    if (parent) layoutAnimatedLayer();
}

void ZVIndefiniteAnimatedView::setStrokeThickness(double thickness) {
    _strokeThickness = thickness;
    if (_indefiniteAnimatedLayer) _indefiniteAnimatedLayer->setLineWidth(thickness);
}

void ZVIndefiniteAnimatedView::setRadius(double radius) {
    _radius = radius;
    dropAnimatedLayer();
    if (parentWidget()) layoutAnimatedLayer();
}

void ZVIndefiniteAnimatedView::setStrokeColor(QColor color) {
    _strokeColor = color;
    if (_indefiniteAnimatedLayer) _indefiniteAnimatedLayer->setStrokeColor(color);
}

QSizeF ZVIndefiniteAnimatedView::sizeThatFits(QSizeF) const {
    double side = 2 * (_radius + _strokeThickness / 2 + 5);
    return {side, side};
}

void ZVIndefiniteAnimatedView::setFrame(const QRectF& frame) {
    setGeometry(QRect(qRound(frame.x()), qRound(frame.y()), qRound(frame.width()), qRound(frame.height())));
    if (parentWidget()) layoutAnimatedLayer();
}

bool ZVIndefiniteAnimatedView::event(QEvent* e) {
    // Leaving the parent drops the arc and its animations; a new parent gets a fresh one.
    if (e->type() == QEvent::ParentChange) {
        if (parentWidget())
            layoutAnimatedLayer();
        else
            dropAnimatedLayer();
    }
    return ui::LayerHostWidget::event(e);
}

void ZVIndefiniteAnimatedView::dropAnimatedLayer() {
    if (!_indefiniteAnimatedLayer) return;
    _indefiniteAnimatedLayer->removeAllAnimations();
    if (auto& mask = _indefiniteAnimatedLayer->mask()) mask->removeAllAnimations();
    _indefiniteAnimatedLayer->removeFromSuperlayer();
    _indefiniteAnimatedLayer.reset();
}

void ZVIndefiniteAnimatedView::layoutAnimatedLayer() {
    auto arc = indefiniteAnimatedLayer();
    if (arc->superlayer() != &layer()) layer().addSublayer(arc);
    QSizeF s = arc->size();
    arc->setPosition(QPointF(width() - s.width() / 2, height() - s.height() / 2));
}

std::shared_ptr<ui::ShapeLayer> ZVIndefiniteAnimatedView::indefiniteAnimatedLayer() {
    if (_indefiniteAnimatedLayer) return _indefiniteAnimatedLayer;
    double offset = _radius + _strokeThickness / 2 + 5;
    auto arc = ui::ShapeLayer::create();
    arc->setContentsScale(hud::kScreenScale);
    arc->setFrame(QRectF(0, 0, 2 * offset, 2 * offset));
    // Two full turns, so the drawn half can slide along without reaching an end.
    arc->setPath(
        ui::ShapeLayer::arcPath(QPointF(offset, offset), _radius, M_PI * 3 / 2, M_PI * 11 / 2, true));
    arc->setFillColor(Qt::transparent);
    arc->setStrokeColor(_strokeColor);
    arc->setLineWidth(_strokeThickness);
    arc->setLineCap(Qt::RoundCap);
    arc->setLineJoin(Qt::BevelJoin);

    auto mask = std::make_shared<ui::Layer>();
    mask->setFrame(QRectF(QPointF(0, 0), arc->size()));
    QImage fade = hud::bundleImage("angle-mask");
    if (!fade.isNull()) {
        // Without the artwork the arc simply shows unfaded rather than vanishing.
        mask->setContents(fade);
        arc->setMask(mask);
    }

    auto rotate = ui::LayerAnimation::basic("transform.rotation", std::nullopt, double(float(M_PI * 2)));
    rotate.duration = 1.0;
    rotate.timingFunction = ui::TimingFunction::Linear;
    rotate.repeatCount = INFINITY;
    rotate.removedOnCompletion = false;
    rotate.fillMode = ui::FillMode::Forwards;
    rotate.autoreverses = false;
    mask->addAnimation(rotate, "rotate");

    auto group = ui::LayerAnimation::group({ui::LayerAnimation::basic("strokeStart", 0.015, 0.515),
                                            ui::LayerAnimation::basic("strokeEnd", 0.485, 0.985)});
    group.duration = 1.0;
    group.repeatCount = INFINITY;
    group.removedOnCompletion = false;
    group.timingFunction = ui::TimingFunction::Linear;
    arc->addAnimation(group, "progress");

    _indefiniteAnimatedLayer = arc;
    return arc;
}
