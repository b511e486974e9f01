#pragma once
// Pictures on paper at the resolution paper can use. A label stretches its pixmap to its own size,
// one pixel per point, and that is what a capture of the label draws: about 93 dpi once a page is
// fitted to A4, where a photograph loses its detail. A label given a printed picture keeps showing its
// pixmap on screen, and wherever it is painted into a document (a PDF, a printer, or a recording of
// either) it draws the printed picture in the pixmap's place instead.
#include <QImage>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QSizeF>

class QLabel;
class QPainter;

namespace ui {

// Pixels per point that pictures are kept at for paper, at most: 300 ppi once a page 768 points wide
// is fitted across A4 (595.28 points).
inline constexpr double kPrintPixelsPerPoint = 300.0 / 72 * 595.28 / 768;

// The pixel size a picture printed into `points` needs, at most.
QSize printPixelSize(QSizeF points);

// The picture, reduced smoothly (its shape kept) so that it is no larger than printing it into
// `points` needs; a picture that is not larger is returned as it is. Safe on any thread.
QImage reducedForPrint(const QImage& picture, QSizeF points);

// Whether the painter draws into a document rather than onto the screen or into an image.
bool paintsDocument(QPainter& painter);

enum class PrintedPictureKind {
    Photograph, // into a PDF as JPEG
    Artwork,    // lossless (a logo's flat colours and sharp edges)
};

// Shows `shown` in the label. Painted into a document, the label draws `printed` instead, over `part`
// of the area the pixmap covers (in the pixmap's pixels; all of it when empty), inside the frame it
// draws as on screen. The printed picture holds only while the label shows this pixmap: given another
// one later, the label prints what it shows.
void showPrintablePicture(QLabel* label, const QPixmap& shown, const QImage& printed, PrintedPictureKind kind,
                          const QRectF& part = QRectF());

} // namespace ui
