#pragma once
// The HUD's endlessly turning spinner: a stroked arc whose drawn stretch slides along while a
// fading mask turns once a second. The arc layer lives only while the view has a parent.
#include <QColor>
#include <QSizeF>
#include <memory>

#include "platform/ui/LayerHostWidget.h"
#include "platform/ui/ShapeLayer.h"

class ZVIndefiniteAnimatedView : public ui::LayerHostWidget {
  public:
    explicit ZVIndefiniteAnimatedView(QWidget* parent = nullptr);

    double strokeThickness() const { return _strokeThickness; }
    void setStrokeThickness(double thickness);
    double radius() const { return _radius; }
    void setRadius(double radius);
    QColor strokeColor() const { return _strokeColor; }
    void setStrokeColor(QColor color);

    // The arc layer, made on demand for the current radius.
    std::shared_ptr<ui::ShapeLayer> indefiniteAnimatedLayer();
    // The arc layer as it is, without making one.
    const std::shared_ptr<ui::ShapeLayer>& currentAnimatedLayer() const { return _indefiniteAnimatedLayer; }
    void setIndefiniteAnimatedLayer(std::shared_ptr<ui::ShapeLayer> layer) {
        _indefiniteAnimatedLayer = std::move(layer);
    }

    // A square that fits the arc, its stroke and a margin of 5, whatever size is offered.
    QSizeF sizeThatFits(QSizeF = {}) const;
    void setFrame(const QRectF& frame);
    void layoutAnimatedLayer();

  protected:
    bool event(QEvent* e) override;

  private:
    void dropAnimatedLayer();

    double _strokeThickness = 1;
    double _radius = 8;
    QColor _strokeColor = Qt::black;
    std::shared_ptr<ui::ShapeLayer> _indefiniteAnimatedLayer;
};
