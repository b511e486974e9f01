// The selection board driven by touches on the window as it stands on the monitor: at 1:1, fitted to a
// laptop screen and above 1:1, each touch at the pixel where its target is drawn. A slot then a
// photograph fills the slot (and opens no viewer), a long press opens the photograph large, and
// register stores the board.
#include <QTest>
#include <catch2/catch.hpp>

#include "platform/ui/AnimationClock.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/NavigationBar.h"
#include "tests/app/photos/select/SelectPhotoSupport.h"
#include "tests/support/ScreenTouches.h"

using selecttest::SelectApp;
using Ids = std::vector<std::string>;

namespace {

void settle(SelectApp& s) {
    ui::AnimationClock::shared().finishAnimations();
    s.settle();
}

// The bar button of the item, as drawn.
QWidget* barButton(SelectApp& s, const ui::BarButtonItemPtr& item) {
    REQUIRE(item);
    QWidget* button = s.app.launched.navigation()->navigationBar()->button(item->title());
    REQUIRE(button);
    return button;
}

} // namespace

TEST_CASE("the selection board filled by touches at every window scale", "[photos][select][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    SelectApp s;
    s.app.launched.window().setScale(scale);
    testsupport::ScreenTouches touches(s.app.launched.window());
    const Ids c = s.put("Eye-Fi", 3);
    REQUIRE(s.open(1));
    REQUIRE(s.grid() == c);

    touches.tap(s.slot(2));
    CHECK(s.screen->selectTagNo() == 2);
    auto* cell = s.screen->collectionView()->cellForItem(1);
    REQUIRE(cell);
    touches.tap(cell);
    settle(s);
    CHECK(s.board() == store::FormData{{"2", c[1]}});
    CHECK(s.pool() == Ids{c[0], c[2]});
    CHECK(s.slot(2)->hasImage());
    // A tap, not a long press: no viewer, and no press left to turn into one.
    CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());
    for (QWidget* pressed :
         {static_cast<QWidget*>(s.slot(2)), static_cast<QWidget*>(s.screen->collectionView())}) {
        auto* r = pressed->findChild<ui::LongPressGestureRecognizer*>(QString(), Qt::FindDirectChildrenOnly);
        REQUIRE(r);
        CHECK(r->state() == ui::GestureState::Failed);
    }

    SECTION("a long press on a photograph opens it large; closing gives the board back") {
        QWidget* held = s.screen->collectionView()->cellForItem(1);
        REQUIRE(held);
        CHECK(touches.longPress(held, [&] { return s.screen->largePhotoContainer()->isVisible(); }));
        CHECK(s.waitForViewer(c[2]));
        CHECK(s.board() == store::FormData{{"2", c[1]}});
        touches.tap(barButton(s, s.screen->closeButton()));
        settle(s);
        CHECK_FALSE(s.screen->largePhotoContainer()->isVisible());
    }
    SECTION("register stores the slot, and its alert answers to a tap") {
        touches.tap(barButton(s, s.app.delegate().registButton()));
        REQUIRE(QTest::qWaitFor([&] { return s.alert() != nullptr; }, 10000));
        settle(s);
        CHECK(s.alert()->message() == "登録しました");
        touches.tap(s.alert()->actionButton("OK"));
        settle(s);
        CHECK_FALSE(s.alert());
        CHECK(s.storedSlots() == store::FormData{{"2", c[1]}});
    }
}
