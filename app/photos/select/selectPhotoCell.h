#pragma once
// The cells of the selection screen's grid of thumbnails. The three classes are alike: one image view
// (tag 1) filling the cell. A cell remembers which photograph it is showing, so a thumbnail that comes
// in after the cell went to another photograph is not shown in it.
#include <QPointer>
#include <string>

#include "platform/ui/CollectionView.h"
#include "platform/ui/ImageView.h"

class PhotoThumbnailCell : public ui::CollectionViewCell {
    Q_OBJECT
  public:
    explicit PhotoThumbnailCell(QWidget* parent = nullptr);

    ui::ImageView* imageView() const { return imageView_; }
    void setImageView(ui::ImageView* view) { imageView_ = view; }
    void setImage(const QImage& image);

    const std::string& assetIdentifier() const { return assetIdentifier_; }
    void setAssetIdentifier(std::string identifier) { assetIdentifier_ = std::move(identifier); }
    void prepareForReuse() override;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPointer<ui::ImageView> imageView_;
    std::string assetIdentifier_;
};

class selectPhotoCell : public PhotoThumbnailCell {
  public:
    using PhotoThumbnailCell::PhotoThumbnailCell;
};

class selectPhotoCell2 : public PhotoThumbnailCell {
  public:
    using PhotoThumbnailCell::PhotoThumbnailCell;
};

class collectionCell : public PhotoThumbnailCell {
  public:
    using PhotoThumbnailCell::PhotoThumbnailCell;
};
