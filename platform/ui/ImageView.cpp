#include "platform/ui/ImageView.h"

#include "platform/image/Image.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace ui {

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

ImageView::~ImageView() = default;

void ImageView::setImage(const QImage& image) {
    image_ = image;
    update();
}

void ImageView::setImage(const Image& image) {
    setImage(image.displayedBitmap());
}

void ImageView::setContentMode(ContentMode mode) {
    contentMode_ = mode;
    update();
}

void ImageView::setBorder(const QColor& color, qreal width) {
    borderColor_ = color;
    borderWidth_ = std::max<qreal>(0, width);
    update();
}

QRectF ImageView::imageRect(QSizeF imageSize, const QRectF& bounds, ContentMode mode) {
    if (mode == ContentMode::ScaleToFill || imageSize.isEmpty()) return bounds;
    const QSizeF scaled =
        imageSize.scaled(bounds.size(), mode == ContentMode::ScaleAspectFit ? Qt::KeepAspectRatio
                                                                            : Qt::KeepAspectRatioByExpanding);
    QRectF rect(QPointF(), scaled);
    rect.moveCenter(bounds.center());
    return rect;
}

void ImageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Backgrounds set by style sheets.
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    const QRectF bounds = QRectF(rect());
    if (!image_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        // A filled picture is cut at the view's edges.
        painter.setClipRect(bounds);
        painter.drawImage(imageRect(image_.deviceIndependentSize(), bounds, contentMode_), image_);
    }
    if (borderWidth_ > 0) {
        // Drawn inside the bounds, like a layer border.
        const qreal w = std::min(borderWidth_, std::min(bounds.width(), bounds.height()) / 2);
        painter.setClipping(false);
        painter.fillRect(QRectF(bounds.left(), bounds.top(), bounds.width(), w), borderColor_);
        painter.fillRect(QRectF(bounds.left(), bounds.bottom() - w, bounds.width(), w), borderColor_);
        painter.fillRect(QRectF(bounds.left(), bounds.top(), w, bounds.height()), borderColor_);
        painter.fillRect(QRectF(bounds.right() - w, bounds.top(), w, bounds.height()), borderColor_);
    }
}

} // namespace ui
