#include "app/photos/hud/HudGeometry.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

namespace hud {

Layout layoutFor(bool hasText, QSizeF textSize, bool topTaken) {
    Layout l;
    if (!hasText) {
        l.box = QSizeF(100, 100);
        l.imageCenter = l.spinnerCenter = QPointF(50, 50);
        l.spinnerRadius = 24;
        return l;
    }
    double textHeight = std::ceil(textSize.height());
    double textWidth = textSize.width();
    double boxHeight = (topTaken ? 80 : 20) + textHeight;
    double baseWidth = textWidth > 100 ? 2 * std::ceil(textWidth / 2) : 100;
    double labelTop = topTaken ? 68 : 9;
    double boxWidth = baseWidth + 24;
    // A tall box keeps a margin of 12 beside the text; a short one gives the label the box's width.
    l.labelFrame = boxHeight > 100 ? QRectF(12, labelTop, baseWidth, textHeight)
                                   : QRectF(0, labelTop, boxWidth, textHeight);
    l.box = QSizeF(boxWidth, boxHeight);
    l.imageCenter = l.spinnerCenter = QPointF(boxWidth / 2, 36);
    l.spinnerRadius = 18;
    return l;
}

QSizeF measureText(const QString& text, const QFont& font) {
    QFontMetricsF fm(font);
    QRectF r = fm.boundingRect(QRectF(0, 0, 200, 300), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, text);
    return QSizeF(std::min(r.width(), 200.0), std::min(r.height(), 300.0));
}

QPointF boxCenter(QSizeF viewSize, double keyboardHeight, double statusBarHeight) {
    double active = viewSize.height();
    if (keyboardHeight > 0) active += 2 * statusBarHeight;
    active -= keyboardHeight;
    return QPointF(viewSize.width() / 2, std::floor(active * 0.45));
}

QPointF gradientCenter(QSizeF viewSize, double keyboardHeight) {
    return QPointF(viewSize.width() / 2, (viewSize.height() - keyboardHeight) / 2);
}

double gradientRadius(QSizeF viewSize) {
    return float(std::min(viewSize.width(), viewSize.height()));
}

double displayDuration(const QString& text) {
    double seconds = double(float(text.size())) * 0.06 + 0.5;
    return std::min(seconds, 5.0);
}

} // namespace hud
