#include "platform/ui/FrameAnimation.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "platform/ui/AnimationClock.h"
#include "platform/ui/LayerAnimation.h"

namespace ui {

namespace {

constexpr const char* kAnimatorName = "zvFrameAnimation";

int lerp(int a, int b, double p) {
    return a + int(std::lround((b - a) * p));
}

// One running frame animation, a child of its view so it ends with the view.
class FrameAnimator : public QObject {
  public:
    FrameAnimator(QWidget* view, QRect to, double duration, std::string name,
                  std::function<void(bool)> completion)
        : QObject(view), view_(view), from_(view->geometry()), to_(to), duration_(duration),
          name_(std::move(name)), completion_(std::move(completion)) {
        setObjectName(kAnimatorName);
        auto& clock = AnimationClock::shared();
        begin_ = clock.now();
        frameHandler_ = clock.addFrameHandler([this](double now) { step(now); });
        finishHandler_ = clock.addFinishHandler([this] {
            finishHandler_ = 0;
            end(true);
        });
    }
    ~FrameAnimator() override { detach(); }

    const std::string& name() const { return name_; }
    QRect target() const { return to_; }

    // Another animation took over: this one ends where the view stands.
    void supersede() {
        auto completion = std::move(completion_);
        detach();
        if (completion) completion(false);
    }

  private:
    void step(double now) {
        const double t = duration_ > 0 ? (now - begin_) / duration_ : 1;
        if (t >= 1) {
            end(true);
            return;
        }
        const double p = applyTiming(TimingFunction::EaseInEaseOut, t);
        if (view_)
            view_->setGeometry(lerp(from_.x(), to_.x(), p), lerp(from_.y(), to_.y(), p),
                               lerp(from_.width(), to_.width(), p), lerp(from_.height(), to_.height(), p));
    }

    void end(bool finished) {
        if (view_) view_->setGeometry(to_);
        auto completion = std::move(completion_);
        detach();
        deleteLater();
        if (completion) completion(finished);
    }

    void detach() {
        auto& clock = AnimationClock::shared();
        if (frameHandler_) clock.removeHandler(frameHandler_);
        if (finishHandler_) clock.removeHandler(finishHandler_);
        frameHandler_ = finishHandler_ = 0;
        setObjectName(QString()); // no longer found as the running one
    }

    QPointer<QWidget> view_;
    QRect from_, to_;
    double duration_;
    double begin_ = 0;
    std::string name_;
    std::function<void(bool)> completion_;
    int frameHandler_ = 0, finishHandler_ = 0;
};

FrameAnimator* runningAnimator(const QWidget* view) {
    return view ? view->findChild<FrameAnimator*>(kAnimatorName, Qt::FindDirectChildrenOnly) : nullptr;
}

} // namespace

void animateFrame(QWidget* view, const QRect& frame, double duration, const std::string& name,
                  std::function<void(bool)> completion) {
    if (!view) return;
    if (auto* running = runningAnimator(view)) {
        running->supersede();
        running->deleteLater();
    }
    if (duration <= 0) {
        view->setGeometry(frame);
        if (completion) completion(true);
        return;
    }
    new FrameAnimator(view, frame, duration, name, std::move(completion)); // owned by the view
}

std::string runningFrameAnimation(const QWidget* view) {
    auto* a = runningAnimator(view);
    return a ? a->name() : std::string();
}

QRect modelFrame(const QWidget* view) {
    if (!view) return {};
    auto* a = runningAnimator(view);
    return a ? a->target() : view->geometry();
}

} // namespace ui
