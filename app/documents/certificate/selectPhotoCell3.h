#pragma once
// A cell of certificate page 3's photo list: one photograph, filling the cell.
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class selectPhotoCell3 : public QWidget {
    Q_OBJECT
  public:
    explicit selectPhotoCell3(const QRect& frame, QWidget* parent = nullptr);

    void setImage(const QPixmap& image);
    QLabel* imageView() const { return imageView_; }
    void setImageView(QLabel* view) { imageView_ = view; }

  private:
    QPointer<QLabel> imageView_;
};
