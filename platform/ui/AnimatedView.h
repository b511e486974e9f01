#pragma once
// Alpha, scale and centre of a widget as animated values (see AnimatedValue): the model takes its
// target at once, the widget as painted follows the presentation. Alpha and scale are painted by a
// graphics effect on the widget (children included), which switches off while the widget is plain.
#include <QGraphicsEffect>
#include <QPointer>
#include <QWidget>

#include "platform/ui/AnimatedValue.h"

namespace ui {

class ViewEffect : public QGraphicsEffect {
  public:
    explicit ViewEffect(QObject* parent = nullptr) : QGraphicsEffect(parent) {}
    void setLook(double opacity, double scale);
    QRectF boundingRectFor(const QRectF& rect) const override;

  protected:
    void draw(QPainter* painter) override;

  private:
    double opacity_ = 1, scale_ = 1;
};

class AnimatedView {
  public:
    explicit AnimatedView(QWidget* widget);
    AnimatedView(const AnimatedView&) = delete;
    AnimatedView& operator=(const AnimatedView&) = delete;

    double alpha() const { return alpha_.value(); }
    void setAlpha(double a) { alpha_.set(a); }
    double scale() const { return scale_.value(); }
    void setScale(double s) { scale_.set(s); }
    QPointF center() const { return {x_.value(), y_.value()}; }
    void setCenter(QPointF c);
    QSizeF bounds() const { return bounds_; }
    void setBounds(QSizeF size);
    // The model frame: the bounds scaled about the centre.
    QRectF frame() const;

    double presentationAlpha() const { return alpha_.presentation(); }
    double presentationScale() const { return scale_.presentation(); }
    QPointF presentationCenter() const { return {x_.presentation(), y_.presentation()}; }

  private:
    void repaint();
    void place();
    QPointer<QWidget> widget_;
    QPointer<ViewEffect> effect_;
    AnimatedValue alpha_{1}, scale_{1}, x_{0}, y_{0};
    QSizeF bounds_;
};

} // namespace ui
