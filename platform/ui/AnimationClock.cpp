#include "platform/ui/AnimationClock.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr int kFrameMilliseconds = 16;
} // namespace

AnimationClock& AnimationClock::shared() {
    static AnimationClock clock;
    return clock;
}

AnimationClock::AnimationClock() {
    elapsed_.start();
    ticker_.setTimerType(Qt::PreciseTimer);
    ticker_.setSingleShot(true);
    QObject::connect(&ticker_, &QTimer::timeout, [this] { tick(); });
    // The clock outlives the application object; its timer must stop while the event loop still exists.
    qAddPostRoutine([] { shared().ticker_.stop(); });
}

double AnimationClock::now() const {
    return manual_ ? manualNow_ : elapsed_.nsecsElapsed() / 1e9 + offset_;
}

void AnimationClock::setManual(bool manual) {
    if (manual == manual_) return;
    if (manual) {
        manualNow_ = now();
        manual_ = true;
    } else {
        // Real time resumes from the manual reading so nothing jumps backwards.
        offset_ = manualNow_ - elapsed_.nsecsElapsed() / 1e9;
        manual_ = false;
    }
    reschedule();
}

void AnimationClock::advance(double seconds) {
    if (!manual_) return;
    double target = manualNow_ + std::max(0.0, seconds);
    while (auto t = nextDue(target, false)) {
        manualNow_ = std::max(manualNow_, t->fireTime_);
        deliverFrames();
        t->valid_ = false;
        t->fire_();
    }
    manualNow_ = target;
    deliverFrames();
}

void AnimationClock::finishAnimations() {
    // A completion may start another animation; a bounded number of rounds settles any sane chain.
    for (int round = 0; round < 64; ++round) {
        std::vector<FinishHandler> finishers;
        for (auto& [id, f] : finishers_)
            finishers.push_back(f);
        finishers_.clear();
        for (auto& f : finishers)
            f();
        bool fired = false;
        while (auto t = nextDue(INFINITY, true)) {
            t->valid_ = false;
            t->fire_();
            fired = true;
        }
        if (finishers.empty() && !fired) break;
    }
    deliverFrames();
    reschedule();
}

int AnimationClock::addFrameHandler(FrameHandler handler) {
    int id = nextId_++;
    frames_.emplace(id, std::move(handler));
    reschedule();
    return id;
}

int AnimationClock::addFinishHandler(FinishHandler handler) {
    int id = nextId_++;
    finishers_.emplace(id, std::move(handler));
    return id;
}

void AnimationClock::removeHandler(int id) {
    frames_.erase(id);
    finishers_.erase(id);
}

ClockTimerPtr AnimationClock::schedule(double interval, std::function<void()> fire,
                                       bool isAnimationCompletion) {
    ClockTimerPtr t(new ClockTimer(now() + std::max(0.0, interval), std::move(fire), isAnimationCompletion));
    timers_.push_back(t);
    reschedule();
    return t;
}

ClockTimerPtr AnimationClock::nextDue(double limit, bool completionsOnly) {
    std::erase_if(timers_, [](const ClockTimerPtr& t) { return !t->valid_; });
    ClockTimerPtr best;
    for (auto& t : timers_) {
        if (completionsOnly && !t->completion_) continue;
        if (t->fireTime_ > limit + 1e-9) continue; // sums of steps land a hair short
        if (!best || t->fireTime_ < best->fireTime_) best = t;
    }
    if (best) std::erase(timers_, best);
    return best;
}

void AnimationClock::deliverFrames() {
    std::vector<int> ids;
    for (auto& [id, f] : frames_)
        ids.push_back(id);
    double t = now();
    for (int id : ids) {
        auto it = frames_.find(id); // an earlier handler may have removed this one
        if (it == frames_.end()) continue;
        auto handler = it->second;
        handler(t);
    }
}

void AnimationClock::tick() {
    if (manual_) return;
    while (auto t = nextDue(now(), false)) {
        t->valid_ = false;
        t->fire_();
    }
    deliverFrames();
    reschedule();
}

void AnimationClock::reschedule() {
    if (manual_ || !QCoreApplication::instance()) {
        ticker_.stop();
        return;
    }
    std::erase_if(timers_, [](const ClockTimerPtr& t) { return !t->valid_; });
    int wait = -1;
    if (!frames_.empty()) wait = kFrameMilliseconds;
    for (auto& t : timers_) {
        int ms = std::max(0, int(std::ceil((t->fireTime_ - now()) * 1000)));
        wait = wait < 0 ? ms : std::min(wait, ms);
    }
    if (wait < 0) {
        ticker_.stop();
        return;
    }
    if (!ticker_.isActive() || ticker_.remainingTime() > wait) ticker_.start(wait);
}

} // namespace ui
