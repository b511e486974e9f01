#include "platform/ui/AnimatedValue.h"

#include <vector>

#include "platform/ui/AnimationClock.h"

namespace ui {

namespace {
// Times are sums of many small steps; an animation advanced by exactly its duration has ended.
constexpr double kTimeSlack = 1e-9;

struct AnimationContext {
    double duration;
    TimingFunction curve;
};
// Nested animate() calls: the innermost one decides.
std::vector<AnimationContext>& contexts() {
    static std::vector<AnimationContext> stack;
    return stack;
}
} // namespace

void animate(double duration, const std::function<void()>& changes,
             std::function<void(bool finished)> completion, TimingFunction curve) {
    contexts().push_back({duration, curve});
    try {
        if (changes) changes();
    } catch (...) {
        contexts().pop_back();
        throw;
    }
    contexts().pop_back();
    if (completion)
        AnimationClock::shared().schedule(
            duration, [completion = std::move(completion)] { completion(true); }, true);
}

AnimatedValue::~AnimatedValue() {
    stop();
}

double AnimatedValue::presentation() const {
    if (!isAnimating()) return model_;
    double t = AnimationClock::shared().now() - begin_;
    if (t >= duration_ - kTimeSlack) return model_;
    return from_ + (model_ - from_) * applyTiming(curve_, t / duration_);
}

void AnimatedValue::set(double value) {
    auto& stack = contexts();
    if (stack.empty() || stack.back().duration <= 0) {
        stop();
        model_ = value;
        changed();
        return;
    }
    double from = presentation();
    stop();
    model_ = value;
    if (from == value) {
        changed();
        return;
    }
    auto& clock = AnimationClock::shared();
    from_ = from;
    begin_ = clock.now();
    duration_ = stack.back().duration;
    curve_ = stack.back().curve;
    frameHandler_ = clock.addFrameHandler([this](double now) {
        if (now - begin_ >= duration_ - kTimeSlack) stop();
        changed();
    });
    finishHandler_ = clock.addFinishHandler([this] {
        finishHandler_ = 0;
        stop();
        changed();
    });
    changed();
}

void AnimatedValue::stop() {
    auto& clock = AnimationClock::shared();
    if (frameHandler_) clock.removeHandler(frameHandler_);
    if (finishHandler_) clock.removeHandler(finishHandler_);
    frameHandler_ = finishHandler_ = 0;
}

} // namespace ui
