#pragma once
// The pixel work of the photo editor: the orientation normalisation the host screens apply before
// handing a picture over, the turn and mirror a save applies, and the cut of the trimming window.
// All of it draws the way the editor's drawing contexts do (see drawInContext), so the pixels come
// out exactly as the steps say.
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

#include "platform/image/Image.h"

namespace photoedit {

// A drawing context of `contextSize` (opaque, one pixel per point, origin top-left, y down) with the
// transform `ctm`, into which `bitmap` is drawn at `rect`: its first row lands on the rectangle's
// bottom edge (so an untransformed draw is upside down). Negative sizes are standardised. Returns the
// context's picture.
QImage drawInContext(QSize contextSize, const QTransform& ctm, QRectF rect, const QImage& bitmap);

// Orientation Up (and anything beyond RightMirrored) returns the picture itself; every other
// orientation is drawn upright into a new bitmap of the displayed size.
ui::Image repairImage(const ui::Image& image);

// The picture turned by rotateType degrees clockwise (90, 180, 270) as the editor shows it; any other
// value returns it as it is.
ui::Image rotateImage(const ui::Image& image, int rotateType);

// What a reversal save draws; `recipe` names it ("verticalReverse", "horizonalReverse",
// "allReverse"), empty when nothing was drawn.
struct Reversal {
    ui::Image image;
    const char* recipe = "";
};
Reversal reversalImage(const ui::Image& image, bool vertical, bool horizontal);
// The recipe a reversal save with these flags draws, without drawing it.
const char* reversalRecipe(bool vertical, bool horizontal);

// The trimming window's cut, in pixels of the (already turned) picture: window W x H, current frame F
// of the image view, default frame D, ratio r (window points per picture pixel).
QRectF cropRect(QSizeF window, QRectF frame, QRectF defaultFrame, float ratio);
// The part of the crop rectangle that lies on the bitmap (an empty image when none does).
QImage cutImage(const QImage& bitmap, QRectF crop);

} // namespace photoedit
