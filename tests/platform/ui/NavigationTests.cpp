#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <catch2/catch.hpp>

#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/Recorder.h"

using namespace ui;
using uitest::Recorder;

using Lines = std::vector<std::string>;

TEST_CASE("navigation drives load and appearance calls in order", "[ui][navigation]") {
    auto journal = uitest::makeJournal();
    auto a = std::make_shared<Recorder>("A", journal);
    auto nav = NavigationController::create(a);
    Window window;
    window.setRootViewController(nav);

    SECTION("nothing loads or appears before the window shows") {
        CHECK(journal->empty());
        CHECK_FALSE(a->isViewLoaded());
    }

    window.makeKeyAndVisible();
    CHECK(*journal == Lines{"A.load", "A.willAppear", "A.didAppear"});
    CHECK(window.size() == mainScreenSize());
    journal->clear();

    auto b = std::make_shared<Recorder>("B", journal);
    nav->pushViewController(b, true);
    CHECK(*journal == Lines{"B.load", "A.willDisappear", "B.willAppear", "A.didDisappear", "B.didAppear"});
    CHECK(nav->topViewController() == b);
    CHECK(b->navigationController() == nav);
    CHECK(b->view()->isVisible());
    CHECK_FALSE(a->view()->isVisible());
    journal->clear();

    SECTION("pop brings the screen beneath back") {
        CHECK(nav->popViewController(true) == b);
        CHECK(*journal == Lines{"B.willDisappear", "A.willAppear", "B.didDisappear", "A.didAppear"});
        CHECK(b->navigationController() == nullptr);
        CHECK(nav->popViewController(true) == nullptr); // the root stays
        CHECK(nav->viewControllers().size() == 1);
    }

    SECTION("pop to root touches only the screen on top") {
        auto c = std::make_shared<Recorder>("C", journal);
        nav->pushViewController(c, false);
        journal->clear();
        auto popped = nav->popToRootViewController(true);
        CHECK(popped.size() == 2);
        CHECK(*journal == Lines{"C.willDisappear", "A.willAppear", "C.didDisappear", "A.didAppear"});
        CHECK(nav->topViewController() == a);
    }

    SECTION("the back button pops, and Qt show events call nothing") {
        auto* back = nav->navigationBar()->backButton();
        REQUIRE(back);
        CHECK(back->text() == QString::fromUtf8("< 戻る"));
        a->view()->show(); // a show event is not an appearance
        CHECK(journal->empty());
        back->click();
        CHECK(nav->topViewController() == a);
        CHECK(nav->navigationBar()->backButton() == nullptr);
    }

    SECTION("the back button reads the screen beneath's back title, else its title") {
        a->setTitle("画像受信");
        nav->popViewController(false);
        nav->pushViewController(b, false);
        CHECK(nav->navigationBar()->backButton()->text() == QString::fromUtf8("< 画像受信"));
        a->navigationItem().setBackButtonTitle("戻る");
        nav->popViewController(false);
        nav->pushViewController(b, false);
        CHECK(nav->navigationBar()->backButton()->text() == QString::fromUtf8("< 戻る"));
    }

    SECTION("pushing the same screen twice is ignored") {
        nav->pushViewController(b, true);
        CHECK(nav->viewControllers().size() == 2);
        CHECK(journal->empty());
    }
}

TEST_CASE("a stack built before it shows appears once with its top screen", "[ui][navigation]") {
    auto journal = uitest::makeJournal();
    auto a = std::make_shared<Recorder>("A", journal);
    auto b = std::make_shared<Recorder>("B", journal);
    auto nav = NavigationController::create(a);
    nav->pushViewController(b, false);
    Window window;
    window.setRootViewController(nav);
    window.makeKeyAndVisible();
    CHECK(*journal == Lines{"B.load", "B.willAppear", "B.didAppear"});
    CHECK_FALSE(a->isViewLoaded()); // loads when it comes back
    nav->popViewController(false);
    CHECK(journal->at(3) == "A.load");
}

TEST_CASE("bar button items show in the bar and call their targets", "[ui][navigation]") {
    auto journal = uitest::makeJournal();
    auto a = std::make_shared<Recorder>("A", journal);
    a->setTitle("Menu");
    auto nav = NavigationController::create(a);
    Window window;
    window.setRootViewController(nav);
    window.makeKeyAndVisible();

    auto done = BarButtonItem::create("登録", BarButtonItemStyle::Done);
    auto plain = BarButtonItem::create("キャンセル", BarButtonItemStyle::Plain);
    struct Target {
        int taps = 0;
        void tap() { ++taps; }
    };
    auto target = std::make_shared<Target>();
    done->setTarget(target, &Target::tap);

    auto b = std::make_shared<Recorder>("B", journal);
    b->navigationItem().setRightBarButtonItem(done);
    b->navigationItem().setLeftBarButtonItem(plain);
    nav->pushViewController(b, false);
    auto* bar = nav->navigationBar();
    REQUIRE(bar->button("登録"));
    REQUIRE(bar->button("キャンセル"));
    CHECK(bar->button("登録")->font().bold());
    CHECK_FALSE(bar->button("キャンセル")->font().bold());
    CHECK(bar->backButton() == nullptr); // left items replace it

    SECTION("a tap runs the target's action") {
        bar->button("登録")->click();
        CHECK(target->taps == 1);
    }
    SECTION("a gone target makes the tap do nothing") {
        target.reset();
        bar->button("登録")->click();
        SUCCEED();
    }
    SECTION("a disabled item does not act") {
        done->setEnabled(false);
        done->trigger();
        CHECK(target->taps == 0);
    }
    SECTION("the title follows the screen on top") {
        b->setTitle("Form");
        CHECK(bar->titleText() == "Form");
        nav->popViewController(false);
        CHECK(bar->titleText() == "Menu");
        CHECK(bar->button("登録") == nullptr);
    }
}

TEST_CASE("a title too long for the bar ends in an ellipsis beside the bar's buttons", "[ui][navigation]") {
    const QString title =
        QStringLiteral("札幌　アレクサンドラ・エリザベス・ヴィクトーリア・太郎左衛門之助右衛門 様");
    // The bar as a navigation controller holds it: placed by its parent, whatever its content asks for.
    QWidget screen;
    screen.resize(768, 200);
    auto* bar = new NavigationBar(&screen);
    NavigationBar::Content content;
    content.title = title.toStdString();
    content.left = {BarButtonItem::create("キャンセル", BarButtonItemStyle::Plain)};
    content.right = {BarButtonItem::create("登録", BarButtonItemStyle::Done),
                     BarButtonItem::create("次へ>", BarButtonItemStyle::Plain)};
    bar->setContent(content, {});
    screen.show();
    auto* shown = bar->findChild<QLabel*>("navigationTitle");
    REQUIRE(shown);
    const auto place = [&](int width) {
        bar->setGeometry(0, 0, width, kNavigationBarHeight);
        QApplication::sendPostedEvents();
        bar->layout()->activate();
    };

    for (int width : {768, 546}) {
        place(width);
        INFO(width << ": " << shown->text().toStdString());
        CHECK(bar->titleText() == title);
        CHECK(shown->text().startsWith(title.front()));
        CHECK(shown->text().endsWith(QChar(0x2026)));
        CHECK(QFontMetrics(shown->font()).horizontalAdvance(shown->text()) <= shown->contentsRect().width());
        int buttons = 0;
        for (QAbstractButton* button : bar->findChildren<QAbstractButton*>()) {
            if (!button->isVisible()) continue;
            ++buttons;
            INFO(button->text().toStdString());
            CHECK_FALSE(shown->geometry().intersects(button->geometry()));
        }
        CHECK(buttons == 3);
    }

    SECTION("a title that fits shows whole") {
        content.title = "札幌　太郎 様";
        bar->setContent(content, {});
        place(768);
        CHECK(shown->text() == QStringLiteral("札幌　太郎 様"));
    }
}
