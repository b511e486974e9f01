#pragma once
// A widget that paints a layer tree: its own root layer, sized to the widget, above whatever the
// widget paints first. It repaints when a layer changes and on every frame while a layer animates.
#include <QWidget>
#include <memory>

#include "platform/ui/Layer.h"

namespace ui {

class LayerHostWidget : public QWidget {
  public:
    explicit LayerHostWidget(QWidget* parent = nullptr);
    ~LayerHostWidget() override;

    // The widget's own layer; add sublayers to it.
    Layer& layer() { return *layer_; }
    const Layer& layer() const { return *layer_; }

  protected:
    // Painted below the layers.
    virtual void paintBackground(QPainter&) {}
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void hideEvent(QHideEvent*) override;

  private:
    std::shared_ptr<Layer> layer_;
    int frameHandler_ = 0;
};

} // namespace ui
