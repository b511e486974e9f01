#include <catch2/catch.hpp>

#include <QWidget>

#include "platform/ui/AnimationClock.h"
#include "platform/ui/FrameAnimation.h"
#include "tests/support/ManualAnimationClock.h"

namespace {
using ManualClock = testsupport::ManualAnimationClock;
} // namespace

TEST_CASE("Frame animations move a view under a name", "[ui][animation]") {
    ManualClock clock;
    QWidget parent;
    auto* view = new QWidget(&parent);
    view->setGeometry(0, 0, 768, 1024);
    std::vector<bool> completions;
    ui::animateFrame(view, QRect(0, -264, 768, 1024), 0.25, "keyboardShow",
                     [&](bool finished) { completions.push_back(finished); });

    CHECK(ui::runningFrameAnimation(view) == "keyboardShow");
    CHECK(ui::modelFrame(view) == QRect(0, -264, 768, 1024));
    CHECK(view->y() == 0);

    SECTION("the clock moves it part way, then to the end") {
        ui::AnimationClock::shared().advance(0.125);
        CHECK(view->y() < 0);
        CHECK(view->y() > -264);
        ui::AnimationClock::shared().advance(0.2);
        CHECK(view->geometry() == QRect(0, -264, 768, 1024));
        CHECK(ui::runningFrameAnimation(view).empty());
        CHECK(completions == std::vector<bool>{true});
    }
    SECTION("tests finish it at once") {
        ui::AnimationClock::shared().finishAnimations();
        CHECK(view->geometry() == QRect(0, -264, 768, 1024));
        CHECK(completions == std::vector<bool>{true});
    }
    SECTION("a second animation takes over from where the view stands") {
        ui::AnimationClock::shared().advance(0.1);
        ui::animateFrame(view, QRect(0, 0, 768, 1024), 0.25, "keyboardShow");
        CHECK(completions == std::vector<bool>{false});
        CHECK(ui::modelFrame(view).y() == 0);
        ui::AnimationClock::shared().finishAnimations();
        CHECK(view->y() == 0);
    }
    SECTION("no duration moves it at once") {
        ui::animateFrame(view, QRect(5, 5, 10, 10), 0, "jump");
        CHECK(view->geometry() == QRect(5, 5, 10, 10));
        CHECK(ui::runningFrameAnimation(view).empty());
    }
}
