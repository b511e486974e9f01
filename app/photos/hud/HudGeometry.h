#pragma once
// The progress HUD's arithmetic, apart from any widget: the box and label for a measured status
// text, the box's place above the keyboard, the gradient mask's centre and reach, and how long an
// image showing stays up.
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace hud {

struct Layout {
    QSizeF box;
    QRectF labelFrame;    // empty without text
    QPointF imageCenter;  // in the box
    double spinnerRadius; // 18 under a text, 24 alone
    QPointF spinnerCenter;
};

// textSize: the status text as measured (width, height); hasText false means no status text.
// topTaken: an image, the spinner or a ring sits above the text.
Layout layoutFor(bool hasText, QSizeF textSize, bool topTaken);

// The status text's size in the font, wrapped within 200 points and cut at 300 points high.
QSizeF measureText(const QString& text, const QFont& font);

// The box's centre in a view of `viewSize` (before any offset): 0.45 of the height left above the
// keyboard, which also gets back twice the status bar while it shows.
QPointF boxCenter(QSizeF viewSize, double keyboardHeight, double statusBarHeight);

// The radial gradient mask: centred in the part of the view above the keyboard, reaching the
// shorter side's length.
QPointF gradientCenter(QSizeF viewSize, double keyboardHeight);
double gradientRadius(QSizeF viewSize);

// Seconds an image showing stays up: 0.06 s per UTF-16 unit of the text plus 0.5 s, at most 5 s.
double displayDuration(const QString& text);

} // namespace hud
