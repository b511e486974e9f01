#include <QFont>
#include <catch2/catch.hpp>

#include "app/photos/hud/HudGeometry.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "tests/app/photos/hud/HudTestSupport.h"

using hud::layoutFor;

TEST_CASE("box and label for a measured text", "[hud][geometry]") {
    SECTION("no text: a square box, the spinner alone in its middle") {
        auto l = layoutFor(false, {}, true);
        CHECK(l.box == QSizeF(100, 100));
        CHECK(l.labelFrame.isEmpty());
        CHECK(l.spinnerRadius == 24);
        CHECK(l.spinnerCenter == QPointF(50, 50));
        CHECK(l.imageCenter == QPointF(50, 50));
    }
    SECTION("a short text 21 high under the spinner makes a tall box with margins") {
        auto l = layoutFor(true, {60, 21}, true);
        CHECK(l.box == QSizeF(124, 101));
        CHECK(l.labelFrame == QRectF(12, 68, 100, 21));
        CHECK(l.spinnerRadius == 18);
        CHECK(l.spinnerCenter == QPointF(62, 36));
    }
    SECTION("the same 18 high: the label takes the box's width") {
        auto l = layoutFor(true, {60, 18}, true);
        CHECK(l.box == QSizeF(124, 98));
        CHECK(l.labelFrame == QRectF(0, 68, 124, 18));
    }
    SECTION("heights round up, widths over 100 round up to even") {
        auto l = layoutFor(true, {150.3, 20.2}, true);
        CHECK(l.box == QSizeF(176, 101));
        CHECK(l.labelFrame == QRectF(12, 68, 152, 21));
        CHECK(layoutFor(true, {100.0, 20}, true).box.width() == 124);
        CHECK(layoutFor(true, {100.01, 20}, true).box.width() == 126);
        CHECK(layoutFor(true, {199.0, 20}, true).box.width() == 224);
    }
    SECTION("text alone sits at the top") {
        auto l = layoutFor(true, {80, 21}, false);
        CHECK(l.box == QSizeF(124, 41));
        CHECK(l.labelFrame == QRectF(0, 9, 124, 21));
        auto tall = layoutFor(true, {80, 90}, false);
        CHECK(tall.box == QSizeF(124, 110));
        CHECK(tall.labelFrame == QRectF(12, 9, 100, 90));
    }
}

TEST_CASE("measuring wraps at 200 and stops at 300", "[hud][geometry]") {
    QFont font("Noto Sans CJK JP");
    font.setPixelSize(15);
    QSizeF one = hud::measureText("受信中", font);
    CHECK(one.width() > 30);
    CHECK(one.width() < 60);
    QSizeF wrapped = hud::measureText(QString(40, QChar(u'字')), font);
    CHECK(wrapped.width() <= 200);
    CHECK(wrapped.height() > one.height() * 2);
    CHECK(hud::measureText(QString(2000, QChar(u'字')), font).height() <= 300);
}

TEST_CASE("where the box and the gradient sit", "[hud][geometry]") {
    QSizeF screen(768, 1024);
    SECTION("0.45 of the height, rounded down") {
        CHECK(hud::boxCenter(screen, 0, 20) == QPointF(384, 460));
        CHECK(hud::boxCenter(QSizeF(768, 1023), 0, 20) == QPointF(384, 460)); // 460.35
    }
    SECTION("above the keyboard, with the status bar given back twice") {
        CHECK(hud::boxCenter(screen, 264, 20) == QPointF(384, 360));
        CHECK(hud::boxCenter(screen, 398, 20) == QPointF(384, 299)); // 666 x 0.45 = 299.7
    }
    SECTION("the gradient centres k/2 higher over a keyboard of height k") {
        CHECK(hud::gradientCenter(screen, 0) == QPointF(384, 512));
        CHECK(hud::gradientCenter(screen, 264) == QPointF(384, 380));
        CHECK(hud::gradientRadius(screen) == 768);
    }
}

TEST_CASE("display durations follow the text's UTF-16 length", "[hud][geometry]") {
    CHECK(ZVProgressHUD::displayDurationForString("受信完了") == Approx(0.74));
    CHECK(ZVProgressHUD::displayDurationForString("0123456789") == Approx(1.1));
    CHECK(ZVProgressHUD::displayDurationForString(QString()) == Approx(0.5));
    CHECK(ZVProgressHUD::displayDurationForString(QString(100, QChar('a'))) == 5.0);
    CHECK(ZVProgressHUD::displayDurationForString(QString(75, QChar('a'))) == Approx(5.0));
    // A character outside the basic plane counts as two units.
    CHECK(ZVProgressHUD::displayDurationForString(QString::fromUtf8("🦷")) == Approx(0.62));
}
