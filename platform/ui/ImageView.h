#pragma once
// A view showing one picture scaled into its bounds (fit or fill, centred), with an optional border
// drawn over it (the photo slots mark the chosen one with it). Tags as on any view (ui/Tag.h).
#include <QColor>
#include <QImage>
#include <QWidget>

namespace ui {

struct Image;

class ImageView : public QWidget {
    Q_OBJECT
  public:
    enum class ContentMode { ScaleToFill, ScaleAspectFit, ScaleAspectFill };

    explicit ImageView(QWidget* parent = nullptr);
    ~ImageView() override;

    // The picture as it is to be seen; a null image empties the view.
    void setImage(const QImage& image);
    // Drawn upright according to the image's orientation.
    void setImage(const Image& image);
    void clearImage() { setImage(QImage()); }
    const QImage& image() const { return image_; }
    bool hasImage() const { return !image_.isNull(); }

    ContentMode contentMode() const { return contentMode_; }
    void setContentMode(ContentMode mode);

    // Width 0 removes the border.
    void setBorder(const QColor& color, qreal width);
    QColor borderColor() const { return borderColor_; }
    qreal borderWidth() const { return borderWidth_; }

    // Where the picture lands inside `bounds` under `mode` (may reach outside it when filling).
    static QRectF imageRect(QSizeF imageSize, const QRectF& bounds, ContentMode mode);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
    ContentMode contentMode_ = ContentMode::ScaleAspectFit;
    QColor borderColor_ = Qt::black;
    qreal borderWidth_ = 0;
};

} // namespace ui
