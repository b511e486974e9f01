#pragma once
// Animation time stands still until a test moves it; leaving the scope finishes what still runs, so
// no animation leaks into the next test.
#include "platform/ui/AnimationClock.h"

namespace testsupport {

struct ManualAnimationClock {
    ManualAnimationClock() { ui::AnimationClock::shared().setManual(true); }
    ~ManualAnimationClock() {
        ui::AnimationClock::shared().finishAnimations();
        ui::AnimationClock::shared().setManual(false);
    }
    ManualAnimationClock(const ManualAnimationClock&) = delete;
    ManualAnimationClock& operator=(const ManualAnimationClock&) = delete;
    void advance(double seconds) { ui::AnimationClock::shared().advance(seconds); }
    void finish() { ui::AnimationClock::shared().finishAnimations(); }
};

} // namespace testsupport
