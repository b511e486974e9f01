#include "platform/ui/LayerAnimation.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

// Times are sums of many small steps; an animation advanced by exactly its duration has ended.
constexpr double kTimeSlack = 1e-9;

// Cubic Bézier easing through (0,0), (x1,y1), (x2,y2), (1,1).
double bezier(double x1, double y1, double x2, double y2, double x) {
    auto coord = [](double a, double b, double t) {
        double u = 1 - t;
        return 3 * u * u * t * a + 3 * u * t * t * b + t * t * t;
    };
    double lo = 0, hi = 1, t = x;
    for (int i = 0; i < 40; ++i) { // bisection: x(t) is monotonic for these curves
        t = (lo + hi) / 2;
        if (coord(x1, x2, t) < x)
            lo = t;
        else
            hi = t;
    }
    return coord(y1, y2, t);
}

} // namespace

double applyTiming(TimingFunction f, double p) {
    p = std::clamp(p, 0.0, 1.0);
    switch (f) {
    case TimingFunction::Linear:
        return p;
    case TimingFunction::EaseIn:
        return bezier(0.42, 0, 1, 1, p);
    case TimingFunction::EaseOut:
        return bezier(0, 0, 0.58, 1, p);
    case TimingFunction::EaseInEaseOut:
        return bezier(0.42, 0, 0.58, 1, p);
    }
    return p;
}

LayerAnimation LayerAnimation::basic(std::string keyPath, std::optional<double> fromValue,
                                     std::optional<double> toValue) {
    LayerAnimation a;
    a.keyPath = std::move(keyPath);
    a.fromValue = fromValue;
    a.toValue = toValue;
    return a;
}

LayerAnimation LayerAnimation::group(std::vector<LayerAnimation> animations) {
    LayerAnimation a;
    a.animations = std::move(animations);
    return a;
}

bool LayerAnimation::repeatsForever() const {
    return std::isinf(repeatCount);
}

double LayerAnimation::activeDuration() const {
    if (repeatsForever()) return INFINITY;
    double cycle = effectiveDuration() * (autoreverses ? 2 : 1);
    return cycle * (repeatCount > 0 ? double(repeatCount) : 1.0);
}

void LayerAnimation::evaluate(double t, std::map<std::string, double>& out) const {
    double duration = effectiveDuration();
    double active = activeDuration();
    double local;
    if (t >= active - kTimeSlack) {
        if (!holdsEnd()) return;
        // The end of the last cycle: back at the start when it reverses, else at the end.
        local = autoreverses ? 0 : duration;
    } else {
        double cycle = duration * (autoreverses ? 2 : 1);
        double c = std::fmod(std::max(0.0, t), cycle);
        local = (autoreverses && c > duration) ? cycle - c : c;
    }
    evaluateLocal(local, duration, out);
}

void LayerAnimation::evaluateLocal(double local, double ownDuration,
                                   std::map<std::string, double>& out) const {
    double p = applyTiming(timingFunction, ownDuration > 0 ? local / ownDuration : 1);
    if (isGroup()) {
        double groupTime = p * ownDuration;
        for (const auto& m : animations) {
            double d = m.duration > 0 ? m.duration : ownDuration;
            m.evaluateLocal(std::min(groupTime, d), d, out);
        }
        return;
    }
    if (!keyPath.empty() && fromValue && toValue) out[keyPath] = *fromValue + (*toValue - *fromValue) * p;
}

void LayerAnimation::targets(std::map<std::string, double>& out) const {
    if (!keyPath.empty() && toValue) out[keyPath] = *toValue;
    for (const auto& m : animations)
        m.targets(out);
}

} // namespace ui
