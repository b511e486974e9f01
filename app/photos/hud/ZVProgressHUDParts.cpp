// The HUD's parts made on demand, the progress rings and the mask painting.
#include <QLabel>
#include <QPainter>
#include <QRadialGradient>

#include "app/photos/hud/HudArtwork.h"
#include "app/photos/hud/HudGeometry.h"
#include "app/photos/hud/ZVProgressHUD.h"

hud::MaskView* ZVProgressHUD::view() {
    if (!_view) {
        _view.reset(
            std::make_unique<hud::MaskView>([this](QPainter& p, const QRectF& r) { drawRect(p, r); }));
        _view->setGeometry(screenBounds());
        _view->animated().setAlpha(0);
    }
    return _view.get();
}

hud::OverlayControl* ZVProgressHUD::overlayView() {
    if (!_overlayView) {
        _overlayView.reset(std::make_unique<hud::OverlayControl>());
        _overlayView->setGeometry(screenBounds());
        _overlayView->onTouchDown = [this](QMouseEvent* e) { overlayViewDidReceiveTouchEvent(e); };
    }
    return _overlayView.get();
}

hud::BoxView* ZVProgressHUD::hudView() {
    if (!_hudView) {
        _hudView.reset(std::make_unique<hud::BoxView>());
        _hudView->setBackgroundColor(currentBackgroundColor());
    }
    if (!_hudView->parentWidget()) {
        _hudView->setParent(view());
        _hudView->show();
    }
    return _hudView.get();
}

QLabel* ZVProgressHUD::stringLabel() {
    if (!_stringLabel) {
        auto* label = new QLabel(hudView()); // owned by the box
        label->setAttribute(Qt::WA_TranslucentBackground);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        _stringLabel = label;
    }
    if (_stringLabel->parentWidget() != hudView()) _stringLabel->setParent(hudView());
    // Font and colour are read afresh every time, so a changed setting shows at the next layout.
    _stringLabel->setFont(currentFont());
    QPalette pal = _stringLabel->palette();
    pal.setColor(QPalette::WindowText, currentForegroundColor());
    _stringLabel->setPalette(pal);
    return _stringLabel;
}

hud::ImageView* ZVProgressHUD::imageView() {
    if (!_imageView) _imageView = new hud::ImageView(hudView()); // owned by the box
    if (_imageView->parentWidget() != hudView()) _imageView->setParent(hudView());
    _imageView->resize(28, 28);
    return _imageView;
}

ZVIndefiniteAnimatedView* ZVProgressHUD::indefiniteAnimatedView() {
    if (!_indefiniteAnimatedView) {
        _indefiniteAnimatedView.reset(std::make_unique<ZVIndefiniteAnimatedView>());
        _indefiniteAnimatedView->setStrokeColor(currentForegroundColor());
        _indefiniteAnimatedView->setStrokeThickness(currentRingThickness());
        QSizeF fit = _indefiniteAnimatedView->sizeThatFits();
        _indefiniteAnimatedView->resize(int(fit.width()), int(fit.height()));
    }
    return _indefiniteAnimatedView.get();
}

std::shared_ptr<ui::ShapeLayer> ZVProgressHUD::createRingLayerWithCenter(QPointF center, double radius,
                                                                         double lineWidth, QColor color) {
    auto ring = ui::ShapeLayer::create();
    // A full circle from twelve o'clock, so strokeEnd f draws the fraction f clockwise from the top.
    ring->setPath(ui::ShapeLayer::arcPath(QPointF(radius, radius), radius, -M_PI / 2, M_PI * 3 / 2, true));
    ring->setContentsScale(hud::kScreenScale);
    ring->setFrame(QRectF(center.x() - radius, center.y() - radius, 2 * radius, 2 * radius));
    ring->setFillColor(Qt::transparent);
    ring->setStrokeColor(color);
    ring->setLineWidth(lineWidth);
    ring->setLineCap(Qt::RoundCap);
    ring->setLineJoin(Qt::BevelJoin);
    return ring;
}

std::shared_ptr<ui::ShapeLayer> ZVProgressHUD::ringLayer() {
    if (!_ringLayer) {
        auto* box = hudView();
        QPointF center(box->animated().bounds().width() / 2, box->animated().bounds().height() / 2);
        _ringLayer = createRingLayerWithCenter(center, 18, currentRingThickness(), currentForegroundColor());
        box->layer().addSublayer(_ringLayer);
    }
    return _ringLayer;
}

std::shared_ptr<ui::ShapeLayer> ZVProgressHUD::backgroundRingLayer() {
    if (!_backgroundRingLayer) {
        auto* box = hudView();
        QPointF center(box->animated().bounds().width() / 2, box->animated().bounds().height() / 2);
        QColor faint = currentForegroundColor();
        faint.setAlphaF(0.1f * faint.alphaF());
        _backgroundRingLayer = createRingLayerWithCenter(center, 18, currentRingThickness(), faint);
        _backgroundRingLayer->setStrokeEnd(1);
        box->layer().addSublayer(_backgroundRingLayer);
    }
    return _backgroundRingLayer;
}

void ZVProgressHUD::cancelRingLayerAnimation() {
    if (_hudView) _hudView->layer().removeAllAnimations();
    if (_ringLayer) {
        _ringLayer->setStrokeEnd(0);
        _ringLayer->removeFromSuperlayer();
    }
    if (_backgroundRingLayer) _backgroundRingLayer->removeFromSuperlayer();
    _ringLayer.reset();
    _backgroundRingLayer.reset();
}

QImage ZVProgressHUD::image(const QImage& image, const QColor& tintColor) {
    return hud::tintedImage(image, tintColor);
}

void ZVProgressHUD::drawRect(QPainter& painter, const QRectF& rect) {
    QSizeF size = QSizeF(view()->size());
    switch (_maskType) {
    case ZVProgressHUDMaskTypeBlack:
        painter.fillRect(rect, QColor::fromRgbF(0, 0, 0, 0.5));
        break;
    case ZVProgressHUDMaskTypeGradient: {
        QRadialGradient g(hud::gradientCenter(size, visibleKeyboardHeight()), hud::gradientRadius(size));
        g.setColorAt(0, QColor::fromRgbF(0, 0, 0, 0));
        g.setColorAt(1, QColor::fromRgbF(0, 0, 0, 0.75));
        g.setSpread(QGradient::PadSpread); // past the end the corners keep 0.75
        painter.fillRect(rect, g);
        break;
    }
    default:
        break; // masks 1 and 2 paint nothing
    }
}
