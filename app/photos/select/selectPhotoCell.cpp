#include "app/photos/select/selectPhotoCell.h"

#include "platform/ui/Tag.h"

PhotoThumbnailCell::PhotoThumbnailCell(QWidget* parent) : ui::CollectionViewCell(parent) {
    auto* view = new ui::ImageView(this); // owned by the cell
    view->setObjectName("imageView");
    ui::setTag(view, 1);
    view->setContentMode(ui::ImageView::ContentMode::ScaleAspectFill);
    view->setGeometry(rect());
    imageView_ = view;
}

void PhotoThumbnailCell::setImage(const QImage& image) {
    if (imageView_) imageView_->setImage(image);
}

void PhotoThumbnailCell::prepareForReuse() {
    assetIdentifier_.clear();
    setImage(QImage());
}

void PhotoThumbnailCell::resizeEvent(QResizeEvent*) {
    if (imageView_) imageView_->setGeometry(rect());
}
