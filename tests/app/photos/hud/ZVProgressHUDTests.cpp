#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <catch2/catch.hpp>

#include "app/photos/hud/HudGeometry.h"
#include "platform/ui/Keyboard.h"
#include "tests/app/photos/hud/HudTestSupport.h"

using hudtest::ClinicScreen;
using hudtest::ManualClock;
using hudtest::NotificationLog;
using Names = std::vector<std::string>;

namespace {

// A click delivered the way the window system does it: to whatever widget is under the point.
void clickAt(QWidget* window, QPoint at) {
    QWidget* target = window->childAt(at);
    if (!target) target = window;
    QPoint local = target->mapFrom(window, at);
    QTest::mouseClick(target, Qt::LeftButton, {}, local);
}

std::string statusOf(const hudtest::Posted& p) {
    return p.userInfo.count(ZVProgressHUDStatusUserInfoKey)
               ? p.userInfo.at(ZVProgressHUDStatusUserInfoKey).stringValue()
               : "<none>";
}

QPointF boxCenter() {
    return QRectF(ZVProgressHUD::sharedView().existingBox()->geometry()).center();
}

} // namespace

TEST_CASE("the HUD's notifications come in order with the status", "[hud][notifications]") {
    ManualClock clock;
    ClinicScreen screen;
    NotificationLog log;

    SECTION("a spinner showing and its dismissal") {
        ZVProgressHUD::showWithStatus("受信中");
        CHECK(log.names() == Names{ZVProgressHUDWillAppearNotification});
        clock.advance(0.15);
        ZVProgressHUD::dismiss();
        clock.advance(0.15);
        REQUIRE(log.names() == Names{ZVProgressHUDWillAppearNotification, ZVProgressHUDDidAppearNotification,
                                     ZVProgressHUDWillDisappearNotification,
                                     ZVProgressHUDDidDisappearNotification});
        for (auto& p : log.posted) {
            CHECK(statusOf(p) == "受信中");
            CHECK(p.object == nullptr);
        }
    }
    SECTION("no text means no user info") {
        ZVProgressHUD::show();
        clock.finish();
        ZVProgressHUD::dismiss();
        clock.finish();
        REQUIRE(log.posted.size() == 4);
        for (auto& p : log.posted)
            CHECK(p.userInfo.empty());
    }
    SECTION("the disappearing keeps the status it started with") {
        ZVProgressHUD::showWithStatus("保存中");
        clock.finish();
        ZVProgressHUD::dismiss();
        ZVProgressHUD::sharedView().setViewStatus("変更");
        clock.finish();
        CHECK(statusOf(log.posted.back()) == "保存中");
    }
}

TEST_CASE("showing, counting and dismissing", "[hud][show]") {
    ManualClock clock;
    ClinicScreen screen;
    NotificationLog log;
    auto& hud = ZVProgressHUD::sharedView();

    SECTION("a dismissal while still appearing takes the HUD and its mask away") {
        QSignalSpy clicked(screen.button, &QPushButton::clicked);
        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
        clock.advance(0.05);
        CHECK(hud.view()->animated().presentationAlpha() < 1); // still fading in
        CHECK(ZVProgressHUD::isVisible());
        ZVProgressHUD::dismiss();
        clock.advance(0.3);
        CHECK_FALSE(ZVProgressHUD::isVisible());
        CHECK(hud.existingOverlay() == nullptr);
        CHECK(log.count(ZVProgressHUDDidDisappearNotification) == 1);
        clickAt(screen.window.get(), screen.button->geometry().center());
        CHECK(clicked.count() == 1); // nothing left blocking the screen
    }
    SECTION("two quick shows: one appearing, two activities") {
        ZVProgressHUD::showWithStatus("受信中");
        clock.advance(0.05);
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        CHECK(log.count(ZVProgressHUDWillAppearNotification) == 1);
        CHECK(log.count(ZVProgressHUDDidAppearNotification) == 1);
        CHECK(hud.activityCount() == 2);
        ZVProgressHUD::popActivity();
        clock.finish();
        CHECK(ZVProgressHUD::isVisible());
        ZVProgressHUD::popActivity();
        clock.finish();
        CHECK_FALSE(ZVProgressHUD::isVisible());
        CHECK(hud.activityCount() == 0);
    }
    SECTION("a show during the disappearing keeps the HUD up") {
        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        ZVProgressHUD::dismiss();
        clock.advance(0.05);
        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        CHECK(ZVProgressHUD::isVisible());
        CHECK(hud.existingOverlay() != nullptr);
        CHECK(hud.existingOverlay()->isVisible());
        CHECK(log.count(ZVProgressHUDDidDisappearNotification) == 0);
        CHECK(hud.view()->animated().presentationAlpha() == 1);
    }
    SECTION("a black show while a clear HUD disappears keeps the new HUD up") {
        ZVProgressHUD::showWithStatus("受信完了");
        clock.finish();
        ZVProgressHUD::dismiss();
        clock.advance(0.05);
        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        CHECK(ZVProgressHUD::isVisible());
        REQUIRE(hud.existingBox());
        CHECK(hud.existingBox()->animated().alpha() == 1);
        CHECK(hud.existingBox()->animated().presentationAlpha() == 1);
        CHECK(hud.existingOverlay() != nullptr);
        CHECK(log.count(ZVProgressHUDDidDisappearNotification) == 0);
        QSignalSpy clicked(screen.button, &QPushButton::clicked);
        clickAt(screen.window.get(), screen.button->geometry().center());
        CHECK(clicked.count() == 0); // the black mask takes the touch
    }
    SECTION("the next show after a dismissal finds the HUD whole") {
        ZVProgressHUD::showWithStatus("一回目");
        clock.finish();
        QPointer<QWidget> shared = hud.view();
        ZVProgressHUD::dismiss();
        clock.finish();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // the old overlay really goes
        REQUIRE(shared); // and does not take the shared view along
        CHECK(shared->parentWidget() == nullptr);
        ZVProgressHUD::showWithStatus("二回目");
        clock.finish();
        REQUIRE(hud.existingOverlay() != nullptr);
        CHECK(hud.view()->parentWidget() == hud.existingOverlay());
        CHECK(hud.view()->isVisible());
        CHECK(hud.existingBox()->isVisible());
        CHECK(hud.stringLabel()->text() == "二回目");
        // The box really is painted: white where the grab shows its corner area.
        QImage shot = screen.window->grab().toImage();
        QPoint inBox = hud.existingBox()->geometry().topLeft() + QPoint(20, 6);
        CHECK(shot.pixelColor(inBox) == QColor(Qt::white));
    }
    SECTION("dismiss on a hidden HUD does nothing") {
        ZVProgressHUD::dismiss();
        clock.finish();
        CHECK(log.posted.empty());
    }
    SECTION("a progress showing draws a ring instead of the spinner") {
        ZVProgressHUD::showProgressStatus(0.25f, "送信中");
        clock.finish();
        REQUIRE(hud.existingRing());
        CHECK(hud.existingRing()->strokeEnd() == Approx(0.25));
        CHECK(hud.existingBackgroundRing()->strokeEnd() == 1);
        CHECK(hud.existingRing()->position() == QPointF(hud.existingBox()->width() / 2.0, 36));
        CHECK(hud.existingSpinner()->parentWidget() == nullptr);
        CHECK(hud.activityCount() == 0);
        ZVProgressHUD::showProgress(0);
        CHECK(hud.activityCount() == 1); // a start at exactly 0 counts as an activity
        ZVProgressHUD::showWithStatus("受信中");
        CHECK_FALSE(hud.existingRing());
        CHECK(hud.existingSpinner()->parentWidget() == hud.existingBox());
        CHECK(log.count(ZVProgressHUDWillAppearNotification) == 1);
    }
    SECTION("setStatus lays the box out again in place") {
        ZVProgressHUD::showWithStatus("短い");
        clock.finish();
        log.clear();
        QPointF before = boxCenter();
        ZVProgressHUD::setStatus("とても長いステータスの文字列です");
        CHECK(hud.stringLabel()->text() == "とても長いステータスの文字列です");
        CHECK(hud.existingBox()->width() > 124);
        CHECK(std::abs(boxCenter().x() - before.x()) <= 1);
        CHECK(log.posted.empty());
    }
}

TEST_CASE("image showings dismiss themselves after the text's time", "[hud][timer]") {
    ManualClock clock;
    ClinicScreen screen;
    NotificationLog log;
    auto& hud = ZVProgressHUD::sharedView();
    auto& c = ui::AnimationClock::shared();

    SECTION("受信完了 stays 0.74 s") {
        ZVProgressHUD::showSuccessWithStatus("受信完了");
        REQUIRE(hud.fadeOutTimer());
        CHECK(hud.fadeOutTimer()->fireTime() - c.now() == Approx(0.74));
        clock.advance(0.73);
        CHECK(log.count(ZVProgressHUDWillDisappearNotification) == 0);
        clock.advance(0.02);
        CHECK(log.count(ZVProgressHUDWillDisappearNotification) == 1);
        clock.finish();
        CHECK_FALSE(ZVProgressHUD::isVisible());
        CHECK(hud.existingOverlay() == nullptr);
    }
    SECTION("a hundred characters are capped at 5 s, no text gives 0.5 s") {
        ZVProgressHUD::showErrorWithStatusMaskType(QString(100, QChar(u'字')), ZVProgressHUDMaskTypeBlack);
        CHECK(hud.fadeOutTimer()->fireTime() - c.now() == Approx(5.0));
        ZVProgressHUD::showInfoWithStatus(QString());
        CHECK(hud.fadeOutTimer()->fireTime() - c.now() == Approx(0.5));
    }
    SECTION("an image on a hidden HUD brings it up with the spinner's count") {
        ZVProgressHUD::showSuccessWithStatus("完了");
        CHECK(log.count(ZVProgressHUDWillAppearNotification) == 1);
        CHECK(hud.activityCount() == 1);
        CHECK_FALSE(hud.imageView()->image().isNull());
        CHECK(hud.existingSpinner()->parentWidget() == nullptr);
    }
    SECTION("a dismissal cancels the fade-out, so no second dismissal follows") {
        ZVProgressHUD::showSuccessWithStatus("受信完了");
        clock.advance(0.3);
        ZVProgressHUD::dismiss();
        CHECK_FALSE(hud.fadeOutTimer());
        clock.advance(3);
        CHECK(log.count(ZVProgressHUDWillDisappearNotification) == 1);
        CHECK(log.count(ZVProgressHUDDidDisappearNotification) == 1);
    }
    SECTION("a later show cancels the fade-out") {
        ZVProgressHUD::showSuccessWithStatus("受信完了");
        ZVProgressHUD::showWithStatus("受信中");
        clock.advance(3);
        CHECK(ZVProgressHUD::isVisible());
        CHECK(log.count(ZVProgressHUDWillDisappearNotification) == 0);
    }
}

TEST_CASE("the HUD's box layout and place", "[hud][layout]") {
    ManualClock clock;
    ClinicScreen screen;
    auto& hud = ZVProgressHUD::sharedView();

    SECTION("no text: a 100 x 100 box with a spinner of radius 24 at its centre") {
        ZVProgressHUD::show();
        clock.finish();
        auto* box = hud.existingBox();
        CHECK(box->size() == QSize(100, 100));
        CHECK(hud.existingSpinner()->radius() == 24);
        CHECK(hud.existingSpinner()->geometry() == QRect(20, 20, 60, 60));
        CHECK(boxCenter() == QPointF(384, 460)); // floor(1024 x 0.45)
    }
    SECTION("a text sizes the box from its measure") {
        ZVProgressHUD::showWithStatus("写真を保存できませんでした");
        clock.finish();
        QSizeF measured = hud::measureText("写真を保存できませんでした", hud.stringLabel()->font());
        hud::Layout expected = hud::layoutFor(true, measured, true);
        CHECK(QSizeF(hud.existingBox()->size()) == expected.box);
        CHECK(QRectF(hud.stringLabel()->geometry()) == expected.labelFrame);
        CHECK(hud.existingSpinner()->radius() == 18);
        CHECK(hud.existingSpinner()->geometry().center() + QPoint(1, 1) ==
              QPoint(int(expected.box.width() / 2), 36));
    }
    SECTION("the offset moves the box from the next positioning") {
        ZVProgressHUD::setOffsetFromCenter(QPointF(10, -20));
        ZVProgressHUD::show();
        clock.finish();
        CHECK(boxCenter() == QPointF(394, 440));
        ZVProgressHUD::resetOffsetFromCenter();
        ZVProgressHUD::show();
        CHECK(boxCenter() == QPointF(384, 460));
    }
}

TEST_CASE("the box keeps above the keyboard", "[hud][keyboard]") {
    ManualClock clock;
    ClinicScreen screen;
    auto center = foundation::NotificationCenter::defaultCenter();
    foundation::Dictionary up{{"UIKeyboardFrameBeginUserInfoKey", "{{0, 1024}, {768, 264}}"},
                              {"UIKeyboardFrameEndUserInfoKey", "{{0, 760}, {768, 264}}"},
                              {"UIKeyboardAnimationDurationUserInfoKey", 0.25}};
    // 0.45 of what is left above the keyboard, given back twice the status bar: (1024 + 40 - 264) x 0.45
    const QPointF above(384, 360);

    SECTION("a keyboard coming and going moves the showing box along") {
        ZVProgressHUD::showWithStatus("保存中");
        clock.finish();
        center->post("UIKeyboardWillShowNotification", nullptr, up);
        clock.advance(0.1);
        CHECK(boxCenter().y() > above.y()); // on its way
        CHECK(boxCenter().y() < 460);
        clock.finish();
        CHECK(boxCenter() == above);
        center->post("UIKeyboardWillHideNotification", nullptr,
                     {{"UIKeyboardAnimationDurationUserInfoKey", 0.25}});
        clock.finish();
        CHECK(boxCenter() == QPointF(384, 460));
    }
    SECTION("a HUD shown while the keyboard is up starts above it") {
        center->post("UIKeyboardDidShowNotification", nullptr, up);
        ZVProgressHUD::show();
        clock.finish();
        CHECK(boxCenter() == above);
        center->post("UIKeyboardDidHideNotification", nullptr, {});
        clock.finish();
        CHECK(boxCenter() == QPointF(384, 460));
    }
    SECTION("the platform keyboard's own notifications move it too") {
        ZVProgressHUD::showWithStatus("保存中");
        clock.finish();
        ui::postKeyboardWillShow();
        clock.finish();
        CHECK(boxCenter() == above);
        ui::postKeyboardWillHide();
        clock.finish();
        CHECK(boxCenter() == QPointF(384, 460));
    }
    SECTION("frames given as arrays of four numbers work too") {
        ZVProgressHUD::show();
        clock.finish();
        center->post("UIKeyboardWillShowNotification", nullptr,
                     {{"UIKeyboardFrameEndUserInfoKey", foundation::Array{0, 760, 768, 264}}});
        clock.finish();
        CHECK(boxCenter() == above);
        center->post("UIKeyboardWillHideNotification", nullptr, {});
    }
    SECTION("the gradient mask follows the keyboard over the whole screen, not just where the box was") {
        ZVProgressHUD::showWithMaskType(ZVProgressHUDMaskTypeGradient);
        clock.finish();
        // What the window really shows: its backing store, not a fresh rendering.
        auto onScreen = [&] {
            QApplication::processEvents();
            return screen.window->screen()->grabWindow(screen.window->winId()).toImage();
        };
        QPoint level(20, 380), lower(20, 644); // far from the box, either side of the old centre
        QImage before = onScreen();
        CHECK(std::abs(qRed(before.pixel(level)) - qRed(before.pixel(lower))) <= 1);
        center->post("UIKeyboardWillShowNotification", nullptr, up);
        clock.finish();
        QImage after = onScreen();
        // Centred 132 points higher: the upper spot is lighter, the lower one darker.
        CHECK(qRed(after.pixel(level)) > qRed(after.pixel(lower)) + 10);
        center->post("UIKeyboardWillHideNotification", nullptr, {});
        clock.finish();
        QImage back = onScreen();
        CHECK(std::abs(qRed(back.pixel(level)) - qRed(back.pixel(lower))) <= 1);
    }
    SECTION("a hidden HUD does not listen") {
        ZVProgressHUD::show();
        clock.finish();
        ZVProgressHUD::dismiss();
        clock.finish();
        auto before = center->observerCount();
        center->post("UIKeyboardWillShowNotification", nullptr, up);
        center->post("UIKeyboardWillHideNotification", nullptr, {});
        CHECK(center->observerCount() == before);
        ZVProgressHUD::show();
        CHECK(center->observerCount() == before + 5);
    }
}

TEST_CASE("touches on the mask", "[hud][touch]") {
    ManualClock clock;
    ClinicScreen screen;
    NotificationLog log;
    QSignalSpy clicked(screen.button, &QPushButton::clicked);
    QPoint onButton = screen.button->geometry().center();

    SECTION("mask 1 lets touches through to the screen") {
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        clickAt(screen.window.get(), onButton);
        CHECK(clicked.count() == 1);
        CHECK(log.count(ZVProgressHUDDidReceiveTouchEventNotification) == 0);
    }
    SECTION("the black mask takes them and reports where they fell") {
        ZVProgressHUD::showWithStatusMaskType("受信中", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        clickAt(screen.window.get(), onButton);
        CHECK(clicked.count() == 0);
        CHECK(log.count(ZVProgressHUDDidReceiveTouchEventNotification) == 1);
        CHECK(log.count(ZVProgressHUDDidTouchDownInsideNotification) == 0);
        CHECK(log.posted.back().object != nullptr); // the event itself
        clickAt(screen.window.get(), boxCenter().toPoint());
        CHECK(log.count(ZVProgressHUDDidReceiveTouchEventNotification) == 2);
        CHECK(log.count(ZVProgressHUDDidTouchDownInsideNotification) == 1);
    }
}

TEST_CASE("the HUD covers the window it attaches to", "[hud][window]") {
    ManualClock clock;
    ClinicScreen screen;
    auto& hud = ZVProgressHUD::sharedView();

    SECTION("over the whole window and above a screen presented later") {
        ZVProgressHUD::showWithMaskType(ZVProgressHUDMaskTypeBlack);
        clock.finish();
        auto* overlay = hud.existingOverlay();
        REQUIRE(overlay);
        CHECK(overlay->parentWidget() == screen.window.get());
        CHECK(overlay->geometry() == screen.window->rect());
        CHECK(hud.view()->geometry() == screen.window->rect());
        auto* later = new QWidget(screen.window.get());
        later->setGeometry(screen.window->rect());
        later->show();
        later->raise();
        QApplication::processEvents();
        CHECK(screen.window->childAt(400, 700) == overlay);
    }
    SECTION("without a window the state moves on and nothing reaches the monitor") {
        ZVProgressHUD::setHostWindow(nullptr);
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        CHECK(ZVProgressHUD::isVisible());
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != screen.window.get()) CHECK_FALSE(w->isVisible());
        ZVProgressHUD::dismiss();
        clock.finish();
        CHECK_FALSE(ZVProgressHUD::isVisible());
    }
}
