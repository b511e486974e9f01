#pragma once
// The one window: a top-level widget of the main screen's size showing its root controller's view,
// with everything presented (modal screens, alerts, popovers, overlays) stacked above it as child
// layers, so one widget tree holds all the app shows. The tree is always in canvas points; at another
// scale than 1:1 a host draws it scaled on the monitor.
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "platform/ui/ViewController.h"

namespace ui {

class AlertController;
class ScaledWindowHost;

class Window : public QWidget {
    Q_OBJECT
  public:
    Window();
    ~Window() override;

    ViewControllerPtr rootViewController() const { return root_; }
    void setRootViewController(ViewControllerPtr root);
    // Shows the window; the root controller's view loads and appears.
    void makeKeyAndVisible();
    bool isKeyAndVisible() const { return visible_; }

    // The factor the canvas is shown at on the monitor (kept from 0.25 to 4); the window's own size stays
    // the canvas's.
    void setScale(double scale);
    double scale() const { return scale_; }
    // What stands on the monitor: the scaling host, or at 1:1 this window itself.
    QWidget* screenWidget();
    // The widget inside with the keyboard focus, or null. (While scaled, QApplication::focusWidget()
    // names the host, not the field.)
    QWidget* focusedWidget() const;

    // The controller on top: the last one presented, else the root.
    ViewControllerPtr topPresentedViewController() const;
    // The alerts being shown, from the bottom up.
    std::vector<std::shared_ptr<AlertController>> visibleAlerts() const;

    // Layers above the root view (presentation uses these; an overlay such as a progress display may too).
    void addLayer(QWidget* layer);
    void removeLayer(QWidget* layer);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void layoutLayers();
    ViewControllerPtr root_;
    std::vector<QPointer<QWidget>> layers_;
    bool visible_ = false;
    double scale_ = 1.0;
    std::unique_ptr<ScaledWindowHost> host_;
};

} // namespace ui
