#pragma once
// A drawing layer: geometry, opacity, rotation and scale about its centre, an optional image, an
// optional mask layer and sublayers. Values are read and animated by key; an added animation sets
// the model value to its target at once while only the painted presentation moves. Layers never
// animate by themselves when a value is set.
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/LayerAnimation.h"

namespace ui {

class Layer : public std::enable_shared_from_this<Layer> {
  public:
    Layer();
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // Geometry in the superlayer: the bounds' size centred on the position.
    QSizeF size() const { return size_; }
    void setSize(QSizeF size);
    QPointF position() const { return {x_, y_}; }
    void setPosition(QPointF p);
    QRectF frame() const;
    void setFrame(const QRectF& frame);

    double opacity() const { return opacity_; }
    void setOpacity(double o) { setValueForKey("opacity", o); }
    double contentsScale() const { return contentsScale_; }
    void setContentsScale(double s) { contentsScale_ = s; }
    const QImage& contents() const { return contents_; }
    void setContents(QImage image);

    // The mask's alpha decides where this layer shows; it lies in this layer's own coordinates.
    const std::shared_ptr<Layer>& mask() const { return mask_; }
    void setMask(std::shared_ptr<Layer> mask);

    const std::vector<std::shared_ptr<Layer>>& sublayers() const { return sublayers_; }
    Layer* superlayer() const { return superlayer_; }
    void addSublayer(std::shared_ptr<Layer> layer);
    void removeFromSuperlayer();

    // Keyed model values: "opacity", "transform.rotation" (radians), "transform.scale",
    // "position.x", "position.y", and whatever a subclass adds.
    virtual double valueForKey(const std::string& key) const;
    virtual void setValueForKey(const std::string& key, double value);
    // The value as painted now: the model with the running animations applied.
    double presentationValueForKey(const std::string& key) const;

    void addAnimation(const LayerAnimation& animation, const std::string& key);
    const LayerAnimation* animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    // Whether this layer, its mask or a sublayer has an animation attached.
    bool hasAnimationsInTree() const;

    // Paints the presentation into the superlayer's coordinates.
    void render(QPainter& painter) const;
    // Asks the tree's host to repaint.
    void setNeedsDisplay();
    // On a root layer: how the host hears that something in the tree changed.
    void setDisplayHook(std::function<void()> hook) { displayHook_ = std::move(hook); }

  protected:
    virtual void drawContents(QPainter& painter) const;

  private:
    struct Running {
        std::string key;
        LayerAnimation animation;
        double begin;
        int finisher; // clock registration, 0 for endless animations
    };
    void pruneEnded() const;
    void dropRunning(const Running& r) const;
    void renderContent(QPainter& painter) const;
    void renderMasked(QPainter& painter) const;

    QSizeF size_;
    double x_ = 0, y_ = 0;
    double opacity_ = 1, rotation_ = 0, scale_ = 1;
    double contentsScale_ = 1;
    QImage contents_;
    std::shared_ptr<Layer> mask_;
    std::vector<std::shared_ptr<Layer>> sublayers_;
    Layer* superlayer_ = nullptr; // also set on a mask, towards the layer it masks
    mutable std::vector<Running> running_;
    std::function<void()> displayHook_;
};

} // namespace ui
