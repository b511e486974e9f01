#include "app/documents/certificate/selectPhotoCell3.h"

namespace {
constexpr int kCellImageSize = 300;

// The middle of the picture in a square, covering it.
QPixmap squareMiddle(const QImage& image) {
    const QSize area(kCellImageSize, kCellImageSize);
    const QImage scaled = image.scaled(area, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return QPixmap::fromImage(scaled.copy((scaled.width() - area.width()) / 2,
                                          (scaled.height() - area.height()) / 2, area.width(),
                                          area.height()));
}
} // namespace

selectPhotoCell3::selectPhotoCell3(const QRect& frame, QWidget* parent) : QWidget(parent) {
    setGeometry(frame);
    imageView_ = new QLabel(this);
    imageView_->setObjectName("imageView");
    imageView_->setGeometry(rect());
    imageView_->setScaledContents(true);
}

selectPhotoCell3::~selectPhotoCell3() {
    if (auto manager = manager_.lock(); manager && request_) manager->cancelImageRequest(*request_);
}

void selectPhotoCell3::setImage(const QPixmap& image) {
    if (!imageView_) return;
    imageView_->setPixmap(image);
    emit imageChanged();
}

void selectPhotoCell3::showPhotograph(const photos::Asset& asset,
                                      const std::shared_ptr<photos::ImageManager>& manager) {
    if (!manager) return;
    if (auto earlier = manager_.lock(); earlier && request_) earlier->cancelImageRequest(*request_);
    manager_ = manager;
    QPointer<selectPhotoCell3> self(this);
    // Decoded at about the cell's picture size; only the crop to a square is left to this thread.
    request_ =
        manager->requestImage(asset, QSize(kCellImageSize, kCellImageSize),
                              photos::ImageContentMode::AspectFill, [self](std::optional<ui::Image> image) {
                                  if (!self) return;
                                  self->request_.reset();
                                  if (image && !image->bitmap.isNull())
                                      self->setImage(squareMiddle(image->bitmap));
                              });
}
