// The HUD over the clinic application itself: its main menu and registration screens, an alert and a
// modal screen presented in the one main window. Grabs are kept as hud-clinic-*.png for a look
// (tests/support/GrabFolder.h says where).
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <catch2/catch.hpp>
#include <cmath>

#include "platform/ui/AlertController.h"
#include "tests/app/photos/hud/HudTestSupport.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/support/GrabFolder.h"

namespace {

// The main window's top-most widget at a point: what a tap there would reach.
QWidget* topAt(ui::Window& window, QPoint at) {
    QWidget* w = window.childAt(at);
    return w ? w : &window;
}

bool isOrInside(QWidget* w, QWidget* container) {
    return w && container && (w == container || container->isAncestorOf(w));
}

QImage shot(ui::Window& window, const QString& name) {
    QImage img = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    img.save(testsupport::grabPath(name));
    return img;
}

} // namespace

TEST_CASE("the HUD over the clinic's own screens", "[hud][clinic]") {
    hudtest::ManualClock clock;
    registtest::RegistApp clinic;
    ui::Window& window = clinic.launched.window();
    ZVProgressHUD::setHostWindow(nullptr);
    REQUIRE(ZVProgressHUD::hostWindow() == &window);
    auto& hud = ZVProgressHUD::sharedView();
    struct Cleanup {
        ~Cleanup() {
            if (ZVProgressHUD::isVisible()) ZVProgressHUD::dismiss();
            ui::AnimationClock::shared().finishAnimations();
        }
    } cleanup;

    SECTION("each mask over the main menu and the registration screen") {
        auto* regist = window.findChild<QPushButton*>("patientRegistButton");
        REQUIRE(regist);
        const QPoint onButton = regist->mapTo(&window, regist->rect().center());
        QImage plain = shot(window, "hud-clinic-menu.png");
        const QPoint corner(6, 1018);
        for (unsigned mask : {1u, 2u, 3u, 4u}) {
            INFO("mask " << mask);
            ZVProgressHUD::showWithStatusMaskType("受信中", mask);
            clock.finish();
            QImage img = shot(window, QString("hud-clinic-menu-mask%1.png").arg(mask));
            QColor before(plain.pixel(corner)), after(img.pixel(corner));
            if (mask <= 2) {
                CHECK(after == before);
            } else if (mask == 3) {
                CHECK(std::abs(after.red() - before.red() / 2) <= 2);
            } else {
                // Black from 0 in the middle to 0.75 at 768 points from it.
                double d = QLineF(QPointF(corner), QPointF(384, 512)).length();
                CHECK(std::abs(after.red() - before.red() * (1 - 0.75 * d / 768)) <= 3);
            }
            // Only mask 1 lets the tap reach the menu's button.
            CHECK(isOrInside(topAt(window, onButton), hud.existingOverlay()) == (mask != 1));
            ZVProgressHUD::dismiss();
            clock.finish();
            CHECK(hud.existingOverlay() == nullptr);
        }
        auto top = clinic.openTop();
        REQUIRE(top);
        clinic.launched.settle(20);
        ZVProgressHUD::showSuccessWithStatusMaskType("登録しました", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        QImage img = shot(window, "hud-clinic-regist-success.png");
        QPointF mid = QRectF(hud.existingBox()->geometry()).center();
        CHECK(qGray(img.pixel(QPoint(6, 1018))) < 140);                // darkened
        CHECK(qGray(img.pixel(mid.toPoint() + QPoint(0, -40))) > 240); // inside the white box, above the mark
    }

    SECTION("above an alert and a modal screen presented after it, and gone with its mask") {
        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        auto root = window.rootViewController();
        auto alert = ui::AlertController::create("確認", "写真を保存しますか");
        bool answered = false;
        alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default,
                                                 [&](ui::AlertAction&) { answered = true; }));
        root->present(alert, false);
        QAbstractButton* ok = alert->actionButton("OK");
        REQUIRE(ok);
        const QPoint onOk = ok->mapTo(&window, ok->rect().center());
        // At once, not only after the event loop has turned.
        CHECK(isOrInside(topAt(window, onOk), hud.existingOverlay()));
        QApplication::processEvents();
        CHECK(isOrInside(topAt(window, onOk), hud.existingOverlay()));
        shot(window, "hud-clinic-over-alert.png");
        QTest::mouseClick(topAt(window, onOk), Qt::LeftButton, {},
                          topAt(window, onOk)->mapFrom(&window, onOk));
        CHECK_FALSE(answered); // the mask took the tap

        ZVProgressHUD::dismiss();
        clock.finish();
        QApplication::processEvents();
        CHECK(isOrInside(topAt(window, onOk), alert->view()));
        QTest::mouseClick(topAt(window, onOk), Qt::LeftButton, {},
                          topAt(window, onOk)->mapFrom(&window, onOk));
        CHECK(answered);

        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeGradient);
        clock.finish();
        auto modal = std::make_shared<ui::ViewController>();
        window.topPresentedViewController()->present(modal, false);
        CHECK(isOrInside(topAt(window, QPoint(400, 800)), hud.existingOverlay()));
        modal->dismiss(false);
        CHECK(isOrInside(topAt(window, QPoint(400, 800)), hud.existingOverlay()));
    }
}
