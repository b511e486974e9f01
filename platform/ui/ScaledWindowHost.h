#pragma once
// What stands on the monitor while the window is shown at another scale than 1:1: a view that draws
// the window's widget tree through a scaled painter (text and shapes stay vector-sharp) and hands
// taps, clicks and keys back to it in canvas points. Qt's own scale factor cannot do this below 1:
// widgets are then painted unscaled into the smaller backing store.
#include <QGraphicsProxyWidget>
#include <QGraphicsView>
#include <QPointer>

namespace ui {

class ScaledWindowHost : public QGraphicsView {
    Q_OBJECT
  public:
    // Embeds `canvas` (a top-level widget) until the host goes; the canvas is never deleted by it.
    explicit ScaledWindowHost(QWidget* canvas);
    ~ScaledWindowHost() override;

    void setScale(double scale);
    double scale() const { return scale_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    QPointer<QWidget> canvas_;
    QPointer<QGraphicsProxyWidget> proxy_;
    double scale_ = 1.0;
};

} // namespace ui
