#include "platform/ui/ShapeLayer.h"

#include <QLineF>
#include <QPen>
#include <algorithm>
#include <cmath>

namespace ui {

QPainterPath ShapeLayer::arcPath(QPointF center, double radius, double startAngle, double endAngle,
                                 bool clockwise) {
    double sweep = endAngle - startAngle;
    if (clockwise && sweep < 0) sweep = std::fmod(sweep, 2 * M_PI) + 2 * M_PI;
    if (!clockwise && sweep > 0) sweep = std::fmod(sweep, 2 * M_PI) - 2 * M_PI;
    // Short chords (about a degree each) keep the arc round at any stroke width we draw.
    int steps = std::max(1, int(std::ceil(std::abs(sweep) / (M_PI / 180))));
    QPainterPath path;
    for (int i = 0; i <= steps; ++i) {
        double a = startAngle + sweep * i / steps;
        QPointF p(center.x() + radius * std::cos(a), center.y() + radius * std::sin(a));
        if (i == 0)
            path.moveTo(p);
        else
            path.lineTo(p);
    }
    return path;
}

QPainterPath ShapeLayer::trimmedPath(const QPainterPath& path, double start, double end) {
    start = std::clamp(start, 0.0, 1.0);
    end = std::clamp(end, 0.0, 1.0);
    QPainterPath out;
    if (end <= start) return out;
    auto polygons = path.toSubpathPolygons();
    double total = 0;
    for (const auto& poly : polygons)
        for (int i = 1; i < poly.size(); ++i)
            total += QLineF(poly[i - 1], poly[i]).length();
    if (total <= 0) return out;
    double from = start * total, to = end * total, walked = 0;
    for (const auto& poly : polygons) {
        bool open = false;
        for (int i = 1; i < poly.size(); ++i) {
            QLineF seg(poly[i - 1], poly[i]);
            double len = seg.length();
            double a = walked, b = walked + len;
            walked = b;
            if (b < from || a > to || len <= 0) {
                open = false;
                continue;
            }
            QPointF p0 = seg.pointAt(std::max(0.0, (from - a) / len));
            QPointF p1 = seg.pointAt(std::min(1.0, (to - a) / len));
            if (!open) out.moveTo(p0);
            out.lineTo(p1);
            open = true;
        }
    }
    return out;
}

void ShapeLayer::setPath(QPainterPath path) {
    path_ = std::move(path);
    setNeedsDisplay();
}

void ShapeLayer::setFillColor(QColor c) {
    fillColor_ = c;
    setNeedsDisplay();
}

void ShapeLayer::setStrokeColor(QColor c) {
    strokeColor_ = c;
    setNeedsDisplay();
}

void ShapeLayer::setLineWidth(double w) {
    lineWidth_ = w;
    setNeedsDisplay();
}

void ShapeLayer::setLineCap(Qt::PenCapStyle cap) {
    lineCap_ = cap;
    setNeedsDisplay();
}

void ShapeLayer::setLineJoin(Qt::PenJoinStyle join) {
    lineJoin_ = join;
    setNeedsDisplay();
}

double ShapeLayer::valueForKey(const std::string& key) const {
    if (key == "strokeStart") return strokeStart_;
    if (key == "strokeEnd") return strokeEnd_;
    return Layer::valueForKey(key);
}

void ShapeLayer::setValueForKey(const std::string& key, double value) {
    if (key == "strokeStart") {
        strokeStart_ = value;
        setNeedsDisplay();
    } else if (key == "strokeEnd") {
        strokeEnd_ = value;
        setNeedsDisplay();
    } else {
        Layer::setValueForKey(key, value);
    }
}

void ShapeLayer::drawContents(QPainter& painter) const {
    Layer::drawContents(painter);
    if (path_.isEmpty()) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (fillColor_.alpha() > 0) painter.fillPath(path_, fillColor_);
    double start = presentationValueForKey("strokeStart"), end = presentationValueForKey("strokeEnd");
    if (strokeColor_.alpha() > 0 && lineWidth_ > 0 && end > start) {
        QPen pen(strokeColor_, lineWidth_, Qt::SolidLine, lineCap_, lineJoin_);
        painter.strokePath(start <= 0 && end >= 1 ? path_ : trimmedPath(path_, start, end), pen);
    }
    painter.restore();
}

} // namespace ui
