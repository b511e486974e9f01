// Grabs of the HUD over a clinic screen, kept as hud-*.png for a look (tests/support/GrabFolder.h says
// where), with pixel checks of what must be where.
#include <QImage>
#include <catch2/catch.hpp>
#include <cmath>

#include "tests/app/photos/hud/HudTestSupport.h"
#include "tests/support/GrabFolder.h"

using hudtest::ClinicScreen;
using hudtest::ManualClock;

namespace {

QImage grabbed(const ClinicScreen& s, const QString& name) {
    QImage shot = s.window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.save(testsupport::grabPath(name));
    return shot;
}

int gray(const QImage& img, QPointF p) {
    return qGray(img.pixel(p.toPoint()));
}

// Where the box's top-centre things sit, in window coordinates.
QPointF inWindow(QPointF inBox) {
    return QPointF(ZVProgressHUD::sharedView().existingBox()->geometry().topLeft()) + inBox;
}

int darkPixelsAround(const QImage& img, QPointF center, int half) {
    int n = 0;
    for (int y = int(center.y()) - half; y <= int(center.y()) + half; ++y)
        for (int x = int(center.x()) - half; x <= int(center.x()) + half; ++x)
            n += qGray(img.pixel(x, y)) < 90;
    return n;
}

const QColor kScreenBackground(0xF2, 0xF2, 0xF7);

} // namespace

TEST_CASE("HUD pictures", "[hud][picture]") {
    ManualClock clock;
    ClinicScreen screen;
    auto& hud = ZVProgressHUD::sharedView();
    QPointF emptySpot(700, 900); // plain screen background, far from the box

    SECTION("spinner with text: a fading arc above the text") {
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        clock.advance(0.3);
        QImage shot = grabbed(screen, "hud-spinner.png");
        QPointF top = inWindow(QPointF(hud.existingBox()->width() / 2.0, 36));
        int dark = darkPixelsAround(shot, top, 24);
        CHECK(dark > 15);             // some of the arc is drawn strongly
        CHECK(dark < 200);            // and much of it faded away
        CHECK(gray(shot, top) > 240); // the middle is the box's white
    }
    SECTION("ring at a quarter: twelve to three o'clock over a faint full ring") {
        ZVProgressHUD::showProgressStatus(0.25f, "送信中");
        clock.finish();
        QImage shot = grabbed(screen, "hud-ring.png");
        QPointF c = inWindow(QPointF(hud.existingBox()->width() / 2.0, 36));
        auto at = [&](double clockHours) {
            double a = clockHours / 12 * 2 * M_PI; // from twelve, clockwise
            return c + QPointF(18 * std::sin(a), -18 * std::cos(a));
        };
        CHECK(gray(shot, at(1.5)) < 100);
        CHECK(gray(shot, at(0.5)) < 100);
        CHECK(gray(shot, at(2.5)) < 100);
        for (double h : {4.5, 6.0, 7.5, 10.5}) {
            int g = gray(shot, at(h));
            CHECK(g > 200); // only the faint ring there
            CHECK(g < 250);
        }
    }
    SECTION("success: the tinted image above the text, no mask") {
        ZVProgressHUD::showSuccessWithStatus("受信完了");
        clock.finish();
        QImage shot = grabbed(screen, "hud-success.png");
        CHECK(darkPixelsAround(shot, inWindow(QPointF(hud.existingBox()->width() / 2.0, 36)), 14) > 20);
        CHECK(QColor(shot.pixel(emptySpot.toPoint())) == kScreenBackground);
    }
    SECTION("error with the black mask: the screen at half brightness") {
        ZVProgressHUD::setForegroundColor(QColor(0xC0, 0x20, 0x20));
        ZVProgressHUD::showErrorWithStatusMaskType("写真を保存できませんでした", ZVProgressHUDMaskTypeBlack);
        ZVProgressHUD::setForegroundColor(Qt::black);
        clock.finish();
        QImage shot = grabbed(screen, "hud-error.png");
        QColor dim(shot.pixel(emptySpot.toPoint()));
        CHECK(std::abs(dim.red() - kScreenBackground.red() / 2) <= 2);
        // The cross takes the foreground colour.
        QPointF mid = inWindow(QPointF(hud.existingBox()->width() / 2.0, 36));
        QColor cross(shot.pixel(mid.toPoint()));
        CHECK(cross.red() > 150);
        CHECK(cross.green() < 90);
    }
    SECTION("each mask over the screen") {
        QPointF corner(5, 1019), middle(384, 600);
        for (unsigned mask : {1u, 2u, 3u, 4u}) {
            ZVProgressHUD::showWithStatusMaskType("保存中", mask);
            clock.finish();
            QImage shot = grabbed(screen, QString("hud-mask%1.png").arg(mask));
            QColor c(shot.pixel(corner.toPoint())), m(shot.pixel(middle.toPoint()));
            if (mask <= 2) {
                CHECK(c == kScreenBackground);
                CHECK(m == kScreenBackground);
            } else if (mask == 3) {
                CHECK(std::abs(c.red() - kScreenBackground.red() / 2) <= 2);
                CHECK(m == c);
            } else {
                // Black growing from 0 at the middle to 0.75 at the screen's width away from it.
                auto expected = [&](QPointF p) {
                    double d = QLineF(p, QPointF(384, 512)).length();
                    return kScreenBackground.red() * (1 - 0.75 * std::min(1.0, d / 768));
                };
                CHECK(std::abs(c.red() - expected(corner)) <= 3);
                CHECK(std::abs(m.red() - expected(middle)) <= 3);
            }
            ZVProgressHUD::dismiss();
            clock.finish();
        }
    }
    SECTION("half-way through appearing: a larger, fainter box") {
        ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
        clock.advance(0.075);
        QImage shot = grabbed(screen, "hud-appearing.png");
        CHECK(hud.existingBox()->animated().presentationScale() > 1.0);
        int g = gray(shot, emptySpot);
        CHECK(g > qGray(kScreenBackground.rgb()) / 2 + 5); // the mask not yet at full strength
        CHECK(g < qGray(kScreenBackground.rgb()) - 5);
    }
}
