#pragma once
// A cell of certificate page 3's photo list: one photograph, filling the cell.
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/photos/ImageManager.h"

class selectPhotoCell3 : public QWidget {
    Q_OBJECT
  public:
    explicit selectPhotoCell3(const QRect& frame, QWidget* parent = nullptr);
    ~selectPhotoCell3() override;

    void setImage(const QPixmap& image);
    // Shows the asset's photograph once the manager has read and decoded it off the GUI thread; a
    // cell that goes before then takes its request with it.
    void showPhotograph(const photos::Asset& asset, const std::shared_ptr<photos::ImageManager>& manager);
    QLabel* imageView() const { return imageView_; }
    void setImageView(QLabel* view) { imageView_ = view; }

  signals:
    void imageChanged();

  private:
    QPointer<QLabel> imageView_;
    std::weak_ptr<photos::ImageManager> manager_;
    std::optional<photos::ImageRequestID> request_;
};
