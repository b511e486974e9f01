#pragma once
// A layer that fills and strokes a path. Only the stretch of the path between strokeStart and
// strokeEnd (fractions of its length) is stroked, so a circle drawn to strokeEnd 0.25 is a quarter arc.
#include <QColor>
#include <QPainterPath>

#include "platform/ui/Layer.h"

namespace ui {

class ShapeLayer : public Layer {
  public:
    static std::shared_ptr<ShapeLayer> create() { return std::make_shared<ShapeLayer>(); }

    // An arc of a circle in screen orientation (y down): angle 0 points right and a clockwise arc
    // runs through increasing angles. Sweeps over one full turn wind around again.
    static QPainterPath arcPath(QPointF center, double radius, double startAngle, double endAngle,
                                bool clockwise);
    // The part of the path between the fractions start and end of its length.
    static QPainterPath trimmedPath(const QPainterPath& path, double start, double end);

    const QPainterPath& path() const { return path_; }
    void setPath(QPainterPath path);
    QColor fillColor() const { return fillColor_; }
    void setFillColor(QColor c);
    QColor strokeColor() const { return strokeColor_; }
    void setStrokeColor(QColor c);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w);
    Qt::PenCapStyle lineCap() const { return lineCap_; }
    void setLineCap(Qt::PenCapStyle cap);
    Qt::PenJoinStyle lineJoin() const { return lineJoin_; }
    void setLineJoin(Qt::PenJoinStyle join);
    double strokeStart() const { return strokeStart_; }
    void setStrokeStart(double f) { setValueForKey("strokeStart", f); }
    double strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(double f) { setValueForKey("strokeEnd", f); }

    double valueForKey(const std::string& key) const override;
    void setValueForKey(const std::string& key, double value) override;

  protected:
    void drawContents(QPainter& painter) const override;

  private:
    QPainterPath path_;
    QColor fillColor_ = Qt::black;
    QColor strokeColor_ = Qt::transparent;
    double lineWidth_ = 1;
    Qt::PenCapStyle lineCap_ = Qt::FlatCap;
    Qt::PenJoinStyle lineJoin_ = Qt::MiterJoin;
    double strokeStart_ = 0, strokeEnd_ = 1;
};

} // namespace ui
