#pragma once
// Media time for animations and for timers that belong with them (a HUD's fade-out). Real time by
// default, ticking on the GUI event loop; tests switch to manual time and move it forward, or finish
// every running animation at once, so nothing waits on the wall clock.
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace ui {

class AnimationClock;

// A one-shot callback on the animation clock. Invalidating it before it fires cancels it.
class ClockTimer {
  public:
    void invalidate() { valid_ = false; }
    bool isValid() const { return valid_; }
    double fireTime() const { return fireTime_; }

  private:
    friend class AnimationClock;
    ClockTimer(double fireTime, std::function<void()> fire, bool completion)
        : fireTime_(fireTime), fire_(std::move(fire)), completion_(completion) {}
    double fireTime_;
    std::function<void()> fire_;
    bool completion_;
    bool valid_ = true;
};

using ClockTimerPtr = std::shared_ptr<ClockTimer>;

class AnimationClock {
  public:
    static AnimationClock& shared();

    // Seconds of media time.
    double now() const;
    // Manual time stands still until advance(); switching keeps the current time.
    void setManual(bool manual);
    bool isManual() const { return manual_; }
    // Moves manual time forward, firing due timers in order with the clock set to their fire time.
    void advance(double seconds);
    // Every running animation with an end jumps to it and every pending animation completion runs
    // now; endlessly repeating animations go on. Plain timers keep their time.
    void finishAnimations();

    using FrameHandler = std::function<void(double now)>;
    using FinishHandler = std::function<void()>;
    // Called on every frame while registered (about 60 a second in real time).
    int addFrameHandler(FrameHandler handler);
    // Called by finishAnimations(); animations that can end register one while they run.
    int addFinishHandler(FinishHandler handler);
    void removeHandler(int id);

    // Fires once after `interval` seconds. Completion timers end an animation: finishAnimations()
    // fires them early.
    ClockTimerPtr schedule(double interval, std::function<void()> fire, bool isAnimationCompletion = false);

  private:
    AnimationClock();
    void tick();
    void deliverFrames();
    void reschedule();
    ClockTimerPtr nextDue(double limit, bool completionsOnly);

    QElapsedTimer elapsed_;
    QTimer ticker_;
    bool manual_ = false;
    double manualNow_ = 0;
    double offset_ = 0;
    int nextId_ = 1;
    std::map<int, FrameHandler> frames_;
    std::map<int, FinishHandler> finishers_;
    std::vector<ClockTimerPtr> timers_;
};

} // namespace ui
