#pragma once
// The widgets the progress HUD is made of: the full-window control that takes touches, the
// full-window view that paints the mask, the rounded box, and the tinted image view.
#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

#include "platform/ui/AnimatedView.h"
#include "platform/ui/LayerHostWidget.h"

class QMouseEvent;

namespace hud {

// Re-colours a template image: the colour takes the image's shape and keeps its transparency.
QImage tintedImage(const QImage& image, const QColor& color);

// Covers the window above everything in it: whenever another child of the window is added, raised
// or shown, the overlay goes back on top at once.
class OverlayControl : public QWidget {
  public:
    explicit OverlayControl(QWidget* parent = nullptr);
    std::function<void(QMouseEvent*)> onTouchDown;

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void keepOnTop();
    QPointer<QWidget> watchedParent_;
};

// The HUD view: covers the window, takes no touches itself, paints the mask behind the box.
class MaskView : public QWidget {
  public:
    explicit MaskView(std::function<void(QPainter&, const QRectF&)> drawMask);
    ui::AnimatedView& animated() { return animated_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    std::function<void(QPainter&, const QRectF&)> drawMask_;
    ui::AnimatedView animated_{this};
};

// The box: rounded, filled with the background colour; its own layer holds the progress rings.
class BoxView : public ui::LayerHostWidget {
  public:
    BoxView();
    ui::AnimatedView& animated() { return animated_; }
    QColor backgroundColor() const { return background_; }
    void setBackgroundColor(QColor c);

  protected:
    void paintBackground(QPainter& p) override;

  private:
    QColor background_ = Qt::white;
    ui::AnimatedView animated_{this};
};

class ImageView : public QWidget {
  public:
    explicit ImageView(QWidget* parent = nullptr);
    const QImage& image() const { return image_; }
    void setImage(QImage image);
    QColor tintColor() const { return tint_; }
    void setTintColor(QColor c);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QImage image_;
    QColor tint_ = Qt::black;
};

} // namespace hud
