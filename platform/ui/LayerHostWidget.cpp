#include "platform/ui/LayerHostWidget.h"

#include <QPainter>

#include "platform/ui/AnimationClock.h"

namespace ui {

LayerHostWidget::LayerHostWidget(QWidget* parent) : QWidget(parent), layer_(std::make_shared<Layer>()) {
    layer_->setFrame(QRectF(QPointF(0, 0), QSizeF(size())));
    layer_->setDisplayHook([this] { update(); });
}

LayerHostWidget::~LayerHostWidget() {
    if (frameHandler_) AnimationClock::shared().removeHandler(frameHandler_);
    layer_->setDisplayHook({});
}

void LayerHostWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    paintBackground(p);
    // The root stands for the widget itself: its sublayers paint straight into the widget, which
    // may not have had its size announced yet.
    for (const auto& l : layer_->sublayers())
        l->render(p);
}

void LayerHostWidget::resizeEvent(QResizeEvent*) {
    layer_->setFrame(QRectF(QPointF(0, 0), QSizeF(size())));
}

void LayerHostWidget::showEvent(QShowEvent*) {
    // Frames are only needed while someone can see the animation.
    if (!frameHandler_)
        frameHandler_ = AnimationClock::shared().addFrameHandler([this](double) {
            if (layer_->hasAnimationsInTree()) update();
        });
}

void LayerHostWidget::hideEvent(QHideEvent*) {
    if (frameHandler_) AnimationClock::shared().removeHandler(frameHandler_);
    frameHandler_ = 0;
}

} // namespace ui
