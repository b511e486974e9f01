// Grabs of the HUD over a clinic screen, saved to /tmp/hud-*.png for a look, with pixel checks of
// what must be where.
#include <QImage>
#include <catch2/catch.hpp>

#include "tests/app/photos/HudTestSupport.h"

using hudtest::ClinicScreen;
using hudtest::ManualClock;

namespace {
QImage grabbed(const ClinicScreen& s) { return s.window->grab().toImage().convertToFormat(QImage::Format_RGB32); }
} // namespace

TEST_CASE("HUD pictures", "[hud][picture]") {
    ManualClock clock;
    ClinicScreen screen;

    SECTION("spinner with text") {
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        clock.advance(0.3);
        CHECK(screen.saveGrab("/tmp/hud-spinner.png"));
    }
    SECTION("ring at a quarter") {
        ZVProgressHUD::showProgressStatus(0.25f, "送信中");
        clock.finish();
        CHECK(screen.saveGrab("/tmp/hud-ring.png"));
    }
    SECTION("success") {
        ZVProgressHUD::showSuccessWithStatus("受信完了");
        clock.finish();
        CHECK(screen.saveGrab("/tmp/hud-success.png"));
    }
    SECTION("error") {
        ZVProgressHUD::showErrorWithStatusMaskType("写真を保存できませんでした", ZVProgressHUDMaskTypeBlack);
        clock.finish();
        CHECK(screen.saveGrab("/tmp/hud-error.png"));
    }
    SECTION("masks") {
        for (unsigned mask : {1u, 2u, 3u, 4u}) {
            ZVProgressHUD::showWithStatusMaskType("保存中", mask);
            clock.finish();
            CHECK(screen.saveGrab(QString("/tmp/hud-mask%1.png").arg(mask)));
            ZVProgressHUD::dismiss();
            clock.finish();
        }
    }
}
