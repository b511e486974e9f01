#pragma once
// Keyed animations of layer values ("opacity", "transform.rotation", "transform.scale",
// "strokeStart", "strokeEnd"): a basic animation moves one key between two values; a group runs
// several over one shared clock.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ui {

enum class TimingFunction { Linear, EaseIn, EaseOut, EaseInEaseOut };

// Maps linear progress 0..1 through the curve.
double applyTiming(TimingFunction f, double progress);

enum class FillMode { Removed, Forwards };

class LayerAnimation {
  public:
    static LayerAnimation basic(std::string keyPath, std::optional<double> fromValue,
                                std::optional<double> toValue);
    static LayerAnimation group(std::vector<LayerAnimation> animations);

    std::string keyPath;
    std::optional<double> fromValue;        // empty: from the key's value when the animation is added
    std::optional<double> toValue;          // empty: to the key's value when the animation is added
    std::vector<LayerAnimation> animations; // a group's members

    double duration = 0;   // 0: a quarter second alone, the group's duration as a group member
    float repeatCount = 0; // 0 runs once; INFINITY repeats without end
    bool autoreverses = false;
    bool removedOnCompletion = true;
    FillMode fillMode = FillMode::Removed;
    TimingFunction timingFunction = TimingFunction::Linear;

    bool isGroup() const { return !animations.empty(); }
    bool repeatsForever() const;
    double effectiveDuration() const { return duration > 0 ? duration : 0.25; }
    // Seconds from start to end, including repeats and reversals; infinite when it repeats forever.
    double activeDuration() const;
    // Whether an ended animation still holds its end values.
    bool holdsEnd() const { return !removedOnCompletion && fillMode == FillMode::Forwards; }

    // A copy whose missing from/to values are taken from `current` (the key's value now).
    template <class CurrentValue> LayerAnimation resolved(const CurrentValue& current) const {
        LayerAnimation a = *this;
        if (!a.keyPath.empty()) {
            if (!a.fromValue) a.fromValue = current(a.keyPath);
            if (!a.toValue) a.toValue = current(a.keyPath);
        }
        for (auto& m : a.animations)
            m = m.resolved(current);
        return a;
    }
    // The values the animation gives its keys t seconds after it began (resolved animations only).
    // An ended animation gives its end values only when it holds them.
    void evaluate(double t, std::map<std::string, double>& out) const;
    // The end values of every key it moves.
    void targets(std::map<std::string, double>& out) const;

  private:
    void evaluateLocal(double localProgressTime, double ownDuration,
                       std::map<std::string, double>& out) const;
};

} // namespace ui
