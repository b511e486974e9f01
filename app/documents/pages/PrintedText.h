#pragma once
// Texts of a printed page fitted into their views: a text that does not fit its box wraps onto a
// further line where the box has room, then shrinks, never below the smallest readable size, and
// only then ends in a visible "…". Nothing is left to overflow its box, where paper would cut it.
#include <QFont>
#include <QSize>
#include <QString>
#include <QStringList>

class QWidget;

namespace documents {

// The smallest printed text: 7 points on A4, onto which a 768-point page prints at 0.775 of its size
// (9.03 points of the page), in whole pixels.
inline constexpr int kSmallestPrintedPixels = 10;

struct FittedText {
    QStringList lines; // the text as printed, line by line
    int pixelSize = 0;
    bool elided = false;
};

// The largest size from the font's own down to `smallest` at which `text` (its own line breaks
// kept), wrapped at word boundaries where it can and anywhere where it must, fits a box of `box`;
// at `smallest`, the lines that fit, the last one ending in "…".
FittedText fitText(const QString& text, QFont font, const QSize& box, int smallest = kSmallestPrintedPixels);

// Fits every text of a printed page into its view: labels, one-line fields and text views. A view
// whose text already fits is left as it is; a label's text that is fitted ends half a character short
// of the label's end.
void fitPrintedTexts(QWidget* form);
// Fits the labels of a page being filled out as a printed page fits them. Its fields and text views
// keep their texts as typed: those are what is stored.
void fitShownLabels(QWidget* form);

} // namespace documents
