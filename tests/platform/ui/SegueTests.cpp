#include <QPushButton>
#include <catch2/catch.hpp>

#include "platform/foundation/Exception.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverLayer.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/Recorder.h"

using namespace ui;
using uitest::Recorder;

namespace {
struct Fixture {
    uitest::Journal journal = uitest::makeJournal();
    StoryboardPtr board = Storyboard::define("SegueTests");
    Window window;
    std::shared_ptr<NavigationController> nav;
    std::shared_ptr<Recorder> menu;

    Fixture() {
        auto j = journal;
        board->addScene("menu", [j] { return std::make_shared<Recorder>("menu", j); });
        board->addScene("form", [j] { return std::make_shared<Recorder>("form", j); });
        board->addScene("picker", [j] { return std::make_shared<Recorder>("picker", j); });
        board->addSegue("menu", "pushForm", "form", SegueKind::Push);
        board->addSegue("menu", "showForm", "form", SegueKind::Modal);
        board->addSegue("menu", "pick", "picker", SegueKind::Popover);
        board->addSegue("menu", "later", "notYetBuilt", SegueKind::Push);
        board->setInitialScene("menu", true);
        nav = std::dynamic_pointer_cast<NavigationController>(board->instantiateInitialViewController());
        menu = std::dynamic_pointer_cast<Recorder>(nav->topViewController());
        window.setRootViewController(nav);
        window.makeKeyAndVisible();
        journal->clear();
    }
};
} // namespace

TEST_CASE("segues instantiate their destination, prepare it, then show it", "[ui][segue]") {
    Fixture f;
    REQUIRE(f.nav);
    REQUIRE(f.menu);
    CHECK(f.menu->storyboardIdentifier() == "menu");
    CHECK(f.menu->storyboard() == f.board);

    SECTION("push: prepared before the destination loads") {
        f.menu->performSegue("pushForm");
        REQUIRE(f.journal->size() >= 2);
        CHECK(f.journal->at(0) == "menu.prepare:pushForm");
        CHECK(f.journal->at(1) == "form.load");
        auto form = std::dynamic_pointer_cast<Recorder>(f.nav->topViewController());
        REQUIRE(form);
        CHECK(form->preparedBy == "menu");
        CHECK(form->storyboardIdentifier() == "form");
        CHECK(form->isAppeared());
    }

    SECTION("modal: presented over the whole window, the menu disappears") {
        f.menu->performSegue("showForm");
        auto form = f.nav->presentedViewController();
        REQUIRE(form);
        CHECK(form->isAppeared());
        CHECK_FALSE(f.menu->isAppeared());
        CHECK(form->view()->parentWidget() == &f.window);
        CHECK(form->view()->geometry() == f.window.rect());
        form->dismiss(true);
        CHECK(f.menu->isAppeared());
        CHECK(f.nav->presentedViewController() == nullptr);
    }

    SECTION("popover: anchored on the sender, the menu stays, an outside tap closes it") {
        auto* button = new QPushButton("pick", f.menu->view());
        button->setGeometry(300, 500, 100, 40);
        f.menu->performSegue("pick", button);
        auto picker = f.nav->presentedViewController();
        REQUIRE(picker);
        CHECK(picker->modalPresentationStyle() == PresentationStyle::Popover);
        CHECK(picker->popoverAnchor().sourceView == button);
        CHECK(f.menu->isAppeared());
        // The popover's view sits inside the window, not in a window of its own.
        CHECK(picker->view()->window() == &f.window);
        picker->dismiss(false);
        CHECK(f.nav->presentedViewController() == nullptr);
        CHECK(picker->view()->parentWidget() == nullptr);
    }
}

TEST_CASE("segues and scenes that do not exist are refused clearly", "[ui][segue]") {
    Fixture f;
    CHECK(f.menu->canPerformSegue("pushForm"));
    CHECK_FALSE(f.menu->canPerformSegue("later")); // declared, but its scene is not built
    CHECK_FALSE(f.menu->canPerformSegue("nowhere"));
    CHECK_THROWS_AS(f.menu->performSegue("nowhere"), foundation::NamedException);
    CHECK_THROWS_AS(f.menu->performSegue("later"), foundation::NamedException);
    CHECK_THROWS_AS(f.board->instantiateViewController("nope"), foundation::NamedException);
    CHECK_THROWS_AS(Storyboard::named("NoSuchStoryboard"), foundation::NamedException);
    CHECK(Storyboard::named("SegueTests") == f.board);
    CHECK(f.nav->viewControllers().size() == 1);
}

TEST_CASE("popovers are placed beside their source inside the window", "[ui][popover]") {
    const QRect bounds(0, 0, 768, 1024);
    const QRect source(300, 500, 100, 40);
    const QSize size(300, 150);
    SECTION("an up arrow puts the popover below the source") {
        QRect r = placePopover(source, size, ArrowUp, bounds);
        CHECK(r.top() > source.bottom());
        CHECK(std::abs(r.center().x() - source.center().x()) <= 1);
    }
    SECTION("a down arrow puts it above") {
        QRect r = placePopover(source, size, ArrowDown, bounds);
        CHECK(r.bottom() < source.top());
    }
    SECTION("no room below: the next permitted direction is taken") {
        QRect low(300, 950, 100, 40);
        QRect r = placePopover(low, size, ArrowUp | ArrowDown, bounds);
        CHECK(r.bottom() < low.top());
    }
    SECTION("near an edge it slides into the window") {
        QRect r = placePopover(QRect(0, 500, 20, 20), size, ArrowUp, bounds);
        CHECK(bounds.contains(r));
    }
}
