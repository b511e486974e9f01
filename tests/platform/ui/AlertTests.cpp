#include <QApplication>
#include <QLabel>
#include <catch2/catch.hpp>

#include "platform/foundation/Log.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "tests/platform/ui/Recorder.h"

using namespace ui;
using uitest::Recorder;

TEST_CASE("alerts are child layers that tests find and answer by title", "[ui][alert]") {
    auto journal = uitest::makeJournal();
    auto root = std::make_shared<Recorder>("root", journal);
    auto nav = NavigationController::create(root);
    Window window;
    window.setRootViewController(nav);
    window.makeKeyAndVisible();
    journal->clear();

    std::vector<std::string> answers;
    bool presentedDuringHandler = true;
    auto alert = AlertController::create("メッセージ", "登録しました");
    alert->addAction(AlertAction::create("OK", AlertActionStyle::Default, [&](AlertAction& a) {
        answers.push_back(a.title());
        presentedDuringHandler = nav->presentedViewController() != nullptr;
    }));
    alert->addAction(AlertAction::create("キャンセル", AlertActionStyle::Cancel,
                                         [&](AlertAction& a) { answers.push_back(a.title()); }));
    root->present(alert, true); // a child presents through its container

    REQUIRE(window.visibleAlerts().size() == 1);
    CHECK(window.visibleAlerts().front() == alert);
    CHECK(nav->presentedViewController() == alert);
    CHECK(alert->view()->window() == &window);
    CHECK(alert->view()->findChild<QLabel*>("alertTitle")->text() == QString::fromUtf8("メッセージ"));
    CHECK(alert->view()->findChild<QLabel*>("alertMessage")->text() == QString::fromUtf8("登録しました"));
    CHECK(root->isAppeared()); // an alert leaves the screen beneath in place
    CHECK(journal->empty());

    SECTION("no alert opens a window of its own") {
        int windows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible()) ++windows;
        CHECK(windows == 1);
    }

    SECTION("answering dismisses first, then runs the handler once") {
        CHECK(alert->tapAction("OK"));
        CHECK(answers == std::vector<std::string>{"OK"});
        CHECK_FALSE(presentedDuringHandler);
        CHECK(window.visibleAlerts().empty());
        CHECK_FALSE(alert->tapAction("キャンセル"));
        CHECK(answers.size() == 1);
    }

    SECTION("an unknown title is not an answer") {
        CHECK_FALSE(alert->tapAction("Nope"));
        CHECK(window.visibleAlerts().size() == 1);
    }

    SECTION("a second presentation while one is shown is refused with a warning") {
        foundation::LogCapture log;
        auto second = AlertController::create("エラー", "x");
        nav->present(second, true);
        CHECK(window.visibleAlerts().size() == 1);
        CHECK(log.contains("which is already presenting"));
        CHECK(second->presentingViewController() == nullptr);
    }
}

TEST_CASE("presenting needs a window", "[ui][alert]") {
    foundation::LogCapture log;
    auto lonely = std::make_shared<ViewController>();
    lonely->present(AlertController::create("t", "m"), false);
    CHECK(lonely->presentedViewController() == nullptr);
    CHECK(log.contains("not in the window hierarchy"));
}
