#include "platform/ui/Layer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/ui/AnimationClock.h"

namespace ui {

Layer::Layer() = default;

Layer::~Layer() {
    for (auto& r : running_)
        dropRunning(r);
    for (auto& s : sublayers_)
        s->superlayer_ = nullptr;
    if (mask_) mask_->superlayer_ = nullptr;
}

void Layer::setSize(QSizeF size) {
    size_ = size;
    setNeedsDisplay();
}

void Layer::setPosition(QPointF p) {
    x_ = p.x();
    y_ = p.y();
    setNeedsDisplay();
}

QRectF Layer::frame() const {
    return {x_ - size_.width() / 2, y_ - size_.height() / 2, size_.width(), size_.height()};
}

void Layer::setFrame(const QRectF& frame) {
    size_ = frame.size();
    setPosition(frame.center());
}

void Layer::setContents(QImage image) {
    contents_ = std::move(image);
    setNeedsDisplay();
}

void Layer::setMask(std::shared_ptr<Layer> mask) {
    if (mask_) mask_->superlayer_ = nullptr;
    mask_ = std::move(mask);
    if (mask_) {
        mask_->removeFromSuperlayer();
        mask_->superlayer_ = this;
    }
    setNeedsDisplay();
}

void Layer::addSublayer(std::shared_ptr<Layer> layer) {
    if (!layer || layer.get() == this) return;
    layer->removeFromSuperlayer();
    layer->superlayer_ = this;
    sublayers_.push_back(std::move(layer));
    setNeedsDisplay();
}

void Layer::removeFromSuperlayer() {
    Layer* parent = superlayer_;
    if (!parent) return;
    superlayer_ = nullptr;
    if (parent->mask_.get() == this) {
        parent->mask_.reset(); // may destroy this layer: touch nothing after
        parent->setNeedsDisplay();
        return;
    }
    auto keep = shared_from_this();
    std::erase_if(parent->sublayers_, [this](const std::shared_ptr<Layer>& l) { return l.get() == this; });
    parent->setNeedsDisplay();
}

double Layer::valueForKey(const std::string& key) const {
    if (key == "opacity") return opacity_;
    if (key == "transform.rotation" || key == "transform.rotation.z") return rotation_;
    if (key == "transform.scale") return scale_;
    if (key == "position.x") return x_;
    if (key == "position.y") return y_;
    return 0;
}

void Layer::setValueForKey(const std::string& key, double value) {
    if (key == "opacity")
        opacity_ = value;
    else if (key == "transform.rotation" || key == "transform.rotation.z")
        rotation_ = value;
    else if (key == "transform.scale")
        scale_ = value;
    else if (key == "position.x")
        x_ = value;
    else if (key == "position.y")
        y_ = value;
    setNeedsDisplay();
}

double Layer::presentationValueForKey(const std::string& key) const {
    pruneEnded();
    double now = AnimationClock::shared().now();
    std::map<std::string, double> values;
    for (const auto& r : running_)
        r.animation.evaluate(now - r.begin, values); // later animations win
    auto it = values.find(key);
    return it != values.end() ? it->second : valueForKey(key);
}

void Layer::addAnimation(const LayerAnimation& animation, const std::string& key) {
    removeAnimationForKey(key);
    auto& clock = AnimationClock::shared();
    Running r{key, animation.resolved([this](const std::string& k) { return valueForKey(k); }), clock.now(),
              0};
    std::map<std::string, double> targets;
    r.animation.targets(targets);
    for (auto& [k, v] : targets)
        setValueForKey(k, v);
    if (!r.animation.repeatsForever()) {
        // Finishing at once: the animation counts as ended from now on.
        r.finisher = clock.addFinishHandler([this, key] {
            for (auto& x : running_)
                if (x.key == key) {
                    x.begin = -std::numeric_limits<double>::infinity();
                    x.finisher = 0;
                }
            setNeedsDisplay();
        });
    }
    running_.push_back(std::move(r));
    setNeedsDisplay();
}

const LayerAnimation* Layer::animationForKey(const std::string& key) const {
    pruneEnded();
    for (const auto& r : running_)
        if (r.key == key) return &r.animation;
    return nullptr;
}

std::vector<std::string> Layer::animationKeys() const {
    pruneEnded();
    std::vector<std::string> keys;
    for (const auto& r : running_)
        keys.push_back(r.key);
    return keys;
}

void Layer::removeAnimationForKey(const std::string& key) {
    for (auto& r : running_)
        if (r.key == key) dropRunning(r);
    if (std::erase_if(running_, [&](const Running& r) { return r.key == key; })) setNeedsDisplay();
}

void Layer::removeAllAnimations() {
    for (auto& r : running_)
        dropRunning(r);
    if (!running_.empty()) setNeedsDisplay();
    running_.clear();
}

bool Layer::hasAnimationsInTree() const {
    pruneEnded();
    if (!running_.empty()) return true;
    if (mask_ && mask_->hasAnimationsInTree()) return true;
    return std::any_of(sublayers_.begin(), sublayers_.end(),
                       [](const auto& l) { return l->hasAnimationsInTree(); });
}

void Layer::pruneEnded() const {
    double now = AnimationClock::shared().now();
    std::erase_if(running_, [&](Running& r) {
        bool ended = r.animation.removedOnCompletion && now - r.begin >= r.animation.activeDuration() - 1e-9;
        if (ended) dropRunning(r);
        return ended;
    });
}

void Layer::dropRunning(const Running& r) const {
    if (r.finisher) AnimationClock::shared().removeHandler(r.finisher);
}

void Layer::setNeedsDisplay() {
    Layer* root = this;
    while (root->superlayer_)
        root = root->superlayer_;
    if (root->displayHook_) root->displayHook_();
}

void Layer::render(QPainter& painter) const {
    double opacity = presentationValueForKey("opacity");
    if (opacity <= 0 || size_.isEmpty()) return;
    painter.save();
    painter.translate(presentationValueForKey("position.x"), presentationValueForKey("position.y"));
    painter.rotate(presentationValueForKey("transform.rotation") * 180 / M_PI);
    double s = presentationValueForKey("transform.scale");
    painter.scale(s, s);
    painter.translate(-size_.width() / 2, -size_.height() / 2);
    painter.setOpacity(painter.opacity() * opacity);
    if (mask_)
        renderMasked(painter);
    else
        renderContent(painter);
    painter.restore();
}

void Layer::drawContents(QPainter& painter) const {
    if (contents_.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), size_), contents_);
}

void Layer::renderContent(QPainter& painter) const {
    drawContents(painter);
    for (const auto& l : sublayers_)
        l->render(painter);
}

void Layer::renderMasked(QPainter& painter) const {
    // Content and mask are painted apart at the sharper of the layer's and the device's scale, then
    // the mask's alpha cuts the content.
    double k = std::max(contentsScale_, painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
    QSize px(std::max(1, int(std::ceil(size_.width() * k))), std::max(1, int(std::ceil(size_.height() * k))));
    QImage content(px, QImage::Format_ARGB32_Premultiplied);
    content.fill(Qt::transparent);
    QImage alpha(px, QImage::Format_ARGB32_Premultiplied);
    alpha.fill(Qt::transparent);
    {
        QPainter cp(&alpha);
        cp.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        cp.scale(k, k);
        mask_->render(cp);
    }
    QPainter cp(&content);
    cp.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    cp.scale(k, k);
    renderContent(cp);
    cp.resetTransform();
    cp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    cp.drawImage(0, 0, alpha);
    cp.end();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(QPointF(0, 0), size_), content);
}

} // namespace ui
