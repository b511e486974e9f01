#pragma once
// Animated view values in the manner of block animations: inside ui::animate() a value set on an
// AnimatedValue takes its new model value at once while its painted presentation moves there over
// the animation's duration, starting from wherever it is painted now.
#include <functional>

#include "platform/ui/LayerAnimation.h"

namespace ui {

// Runs `changes`; every AnimatedValue set inside them animates over `duration` seconds. `completion`
// runs once that time is up (on the animation clock), even when a later change took the values
// elsewhere meanwhile: it reads the model values to learn where things stand.
void animate(double duration, const std::function<void()>& changes,
             std::function<void(bool finished)> completion = {},
             TimingFunction curve = TimingFunction::EaseInEaseOut);

class AnimatedValue {
  public:
    explicit AnimatedValue(double initial = 0) : model_(initial) {}
    ~AnimatedValue();
    AnimatedValue(const AnimatedValue&) = delete;
    AnimatedValue& operator=(const AnimatedValue&) = delete;

    double value() const { return model_; }
    double presentation() const;
    bool isAnimating() const { return frameHandler_ != 0; }
    // Inside ui::animate() the presentation moves over; elsewhere it jumps.
    void set(double value);
    // Called whenever the presentation changes.
    void setOnChange(std::function<void()> f) { onChange_ = std::move(f); }

  private:
    void stop();
    void changed() const {
        if (onChange_) onChange_();
    }
    double model_;
    double from_ = 0, begin_ = 0, duration_ = 0;
    TimingFunction curve_ = TimingFunction::EaseInEaseOut;
    int frameHandler_ = 0, finishHandler_ = 0;
    std::function<void()> onChange_;
};

} // namespace ui
