#include <QTest>
#include <QWidget>
#include <catch2/catch.hpp>
#include <cmath>

#include "platform/ui/AnimatedValue.h"
#include "platform/ui/AnimatedView.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/LayerAnimation.h"
#include "tests/support/ManualAnimationClock.h"

using namespace ui;

namespace {
using ManualTime = testsupport::ManualAnimationClock;
} // namespace

TEST_CASE("the animation clock's timers", "[ui][animation]") {
    ManualTime manual;
    auto& clock = AnimationClock::shared();
    std::vector<std::string> fired;
    double start = clock.now();

    SECTION("fire in time order with the clock at their time") {
        std::vector<double> at;
        clock.schedule(0.5, [&] { fired.push_back("b"), at.push_back(clock.now() - start); });
        clock.schedule(0.2, [&] { fired.push_back("a"), at.push_back(clock.now() - start); });
        auto late = clock.schedule(2.0, [&] { fired.push_back("late"); });
        clock.advance(1.0);
        late->invalidate();
        CHECK(fired == std::vector<std::string>{"a", "b"});
        CHECK(at[0] == Approx(0.2));
        CHECK(at[1] == Approx(0.5));
        CHECK(clock.now() - start == Approx(1.0));
    }
    SECTION("an invalidated timer never fires") {
        auto t = clock.schedule(0.1, [&] { fired.push_back("x"); });
        t->invalidate();
        clock.advance(1);
        CHECK(fired.empty());
    }
    SECTION("finishing animations runs completions, not plain timers") {
        auto plain = clock.schedule(0.3, [&] { fired.push_back("timer"); });
        clock.schedule(
            0.3, [&] { fired.push_back("completion"); }, true);
        clock.finishAnimations();
        CHECK(fired == std::vector<std::string>{"completion"});
        CHECK(clock.now() == start);
        CHECK(plain->isValid());
        plain->invalidate();
    }
    SECTION("a timer scheduled while another fires keeps its own time") {
        clock.schedule(
            0.1, [&] { clock.schedule(0.1, [&] { fired.push_back(std::to_string(clock.now() - start)); }); });
        clock.advance(0.15);
        CHECK(fired.empty());
        clock.advance(0.1);
        REQUIRE(fired.size() == 1);
        CHECK(std::stod(fired[0]) == Approx(0.2));
    }
}

TEST_CASE("keyed animation values over time", "[ui][animation]") {
    std::map<std::string, double> v;
    SECTION("a basic animation moves linearly and then lets go") {
        auto a = LayerAnimation::basic("opacity", 0.0, 1.0);
        a.duration = 2;
        a.evaluate(0.5, v);
        CHECK(v["opacity"] == Approx(0.25));
        v.clear();
        a.evaluate(2.5, v);
        CHECK(v.empty());
        a.removedOnCompletion = false;
        a.fillMode = FillMode::Forwards;
        a.evaluate(2.5, v);
        CHECK(v["opacity"] == 1.0);
    }
    SECTION("repeats and reversals") {
        auto a = LayerAnimation::basic("transform.scale", 1.0, 2.0);
        a.duration = 1;
        a.repeatCount = INFINITY;
        a.evaluate(7.25, v);
        CHECK(v["transform.scale"] == Approx(1.25));
        CHECK(a.activeDuration() == INFINITY);
        auto r = LayerAnimation::basic("transform.scale", 1.0, 2.0);
        r.duration = 1;
        r.autoreverses = true;
        r.repeatCount = 2;
        CHECK(r.activeDuration() == 4);
        r.evaluate(1.5, v);
        CHECK(v["transform.scale"] == Approx(1.5));
        r.evaluate(1.75, v);
        CHECK(v["transform.scale"] == Approx(1.25));
    }
    SECTION("group members run on the group's clock and duration") {
        auto g = LayerAnimation::group(
            {LayerAnimation::basic("strokeStart", 0.0, 0.5), LayerAnimation::basic("strokeEnd", 0.5, 1.0)});
        g.duration = 1.0;
        g.repeatCount = INFINITY;
        g.evaluate(3.5, v);
        CHECK(v["strokeStart"] == Approx(0.25));
        CHECK(v["strokeEnd"] == Approx(0.75));
        std::map<std::string, double> t;
        g.targets(t);
        CHECK(t == std::map<std::string, double>{{"strokeStart", 0.5}, {"strokeEnd", 1.0}});
    }
    SECTION("ease in and out is symmetric and stays within its ends") {
        CHECK(applyTiming(TimingFunction::EaseInEaseOut, 0.5) == Approx(0.5).margin(1e-6));
        CHECK(applyTiming(TimingFunction::EaseInEaseOut, 0.1) < 0.1);
        CHECK(applyTiming(TimingFunction::EaseInEaseOut, 0.9) > 0.9);
        CHECK(applyTiming(TimingFunction::EaseIn, 0) == Approx(0).margin(1e-9));
        CHECK(applyTiming(TimingFunction::EaseOut, 1) == Approx(1));
    }
}

TEST_CASE("animated view values", "[ui][animation]") {
    ManualTime manual;
    auto& clock = AnimationClock::shared();
    AnimatedValue value(0);
    int changes = 0;
    value.setOnChange([&] { ++changes; });

    SECTION("inside animate the model jumps and the presentation follows") {
        bool done = false;
        animate(
            1.0, [&] { value.set(10); }, [&](bool finished) { done = finished; }, TimingFunction::Linear);
        CHECK(value.value() == 10);
        CHECK(value.presentation() == 0);
        clock.advance(0.25);
        CHECK(value.presentation() == Approx(2.5));
        CHECK_FALSE(done);
        clock.advance(0.75);
        CHECK(value.presentation() == 10);
        CHECK(done);
        CHECK(changes >= 3);
    }
    SECTION("outside animate it jumps") {
        value.set(3);
        CHECK(value.presentation() == 3);
        CHECK_FALSE(value.isAnimating());
    }
    SECTION("a new target starts from where it is painted, and both completions still come") {
        int completions = 0;
        animate(
            1.0, [&] { value.set(10); }, [&](bool) { ++completions; }, TimingFunction::Linear);
        clock.advance(0.5);
        animate(
            1.0, [&] { value.set(0); }, [&](bool) { ++completions; }, TimingFunction::Linear);
        CHECK(value.presentation() == Approx(5));
        clock.advance(0.5);
        CHECK(completions == 1);
        CHECK(value.value() == 0); // the first completion sees the later target
        CHECK(value.presentation() == Approx(2.5));
        clock.finishAnimations();
        CHECK(completions == 2);
        CHECK(value.presentation() == 0);
    }
}

TEST_CASE("an animated widget paints its presentation", "[ui][animation]") {
    ManualTime manual;
    QWidget parent;
    parent.resize(400, 400);
    auto* child = new QWidget(&parent);
    AnimatedView look(child);
    look.setBounds(QSizeF(100, 50));
    look.setCenter(QPointF(200, 100));
    CHECK(child->geometry() == QRect(150, 75, 100, 50));
    CHECK_FALSE(child->graphicsEffect()->isEnabled()); // plain: painted as is

    animate(
        1.0,
        [&] {
            look.setCenter(QPointF(200, 300));
            look.setAlpha(0);
            look.setScale(0.5);
        },
        {}, TimingFunction::Linear);
    CHECK(look.frame() == QRectF(175, 287.5, 50, 25));
    AnimationClock::shared().advance(0.5);
    CHECK(child->geometry().center().y() == Approx(200).margin(1));
    CHECK(look.presentationAlpha() == Approx(0.5));
    CHECK(child->graphicsEffect()->isEnabled());
    AnimationClock::shared().finishAnimations();
    CHECK(child->geometry() == QRect(150, 275, 100, 50));
}

TEST_CASE("in real time the clock runs on the event loop", "[ui][animation]") {
    auto& clock = AnimationClock::shared();
    REQUIRE_FALSE(clock.isManual());
    bool fired = false;
    AnimatedValue value(0);
    animate(
        0.05, [&] { value.set(1); }, [&](bool) { fired = true; });
    CHECK(QTest::qWaitFor([&] { return fired; }, 2000));
    CHECK(value.presentation() == 1);
}
