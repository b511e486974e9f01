#include "app/documents/certificate/selectPhotoCell3.h"

selectPhotoCell3::selectPhotoCell3(const QRect& frame, QWidget* parent) : QWidget(parent) {
    setGeometry(frame);
    imageView_ = new QLabel(this);
    imageView_->setObjectName("imageView");
    imageView_->setGeometry(rect());
    imageView_->setScaledContents(true);
}

void selectPhotoCell3::setImage(const QPixmap& image) {
    if (imageView_) imageView_->setPixmap(image);
}
