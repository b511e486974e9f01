// Every class-level showing form lands on the shared HUD with its mask, progress, image and text, and
// the process-wide settings reach what the HUD makes.
#include <QLabel>
#include <catch2/catch.hpp>
#include <functional>

#include "app/photos/hud/HudArtwork.h"
#include "tests/app/photos/hud/HudTestSupport.h"
#include "tests/support/SamePicture.h"

using hudtest::ClinicScreen;
using hudtest::ManualClock;

namespace {

QImage swatch(QColor c) {
    QImage img(56, 56, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

struct Expect {
    const char* form;
    std::function<void()> show;
    unsigned mask;
    float progress;
    const QImage* image; // null: spinner or ring, no image
    QString status;
};

} // namespace

TEST_CASE("each class-level form and its defaults", "[hud][forms]") {
    ManualClock clock;
    ClinicScreen screen;
    auto& hud = ZVProgressHUD::sharedView();
    const QImage info = swatch(Qt::blue), success = swatch(Qt::green), error = swatch(Qt::red),
                 other = swatch(Qt::yellow);
    ZVProgressHUD::setInfoImage(info);
    ZVProgressHUD::setSuccessImage(success);
    ZVProgressHUD::setErrorImage(error);
    ZVProgressHUD::setDefaultMaskType(ZVProgressHUDMaskTypeGradient);
    struct Restore {
        ~Restore() {
            ZVProgressHUD::setInfoImage(hud::bundleImage("info"));
            ZVProgressHUD::setSuccessImage(hud::bundleImage("success"));
            ZVProgressHUD::setErrorImage(hud::bundleImage("error"));
            ZVProgressHUD::setDefaultMaskType(ZVProgressHUDMaskTypeNone);
        }
    } restore;

    using H = ZVProgressHUD;
    const unsigned dflt = ZVProgressHUDMaskTypeGradient, black = ZVProgressHUDMaskTypeBlack;
    const std::vector<Expect> forms = {
        {"show", [] { H::show(); }, dflt, -1, nullptr, ""},
        {"showWithStatus", [] { H::showWithStatus("a"); }, dflt, -1, nullptr, "a"},
        {"showWithMaskType", [] { H::showWithMaskType(3); }, black, -1, nullptr, ""},
        {"showWithStatusMaskType", [] { H::showWithStatusMaskType("b", 3); }, black, -1, nullptr, "b"},
        {"showProgress", [] { H::showProgress(0.5f); }, dflt, 0.5f, nullptr, ""},
        {"showProgressMaskType", [] { H::showProgressMaskType(0.25f, 3); }, black, 0.25f, nullptr, ""},
        {"showProgressStatus", [] { H::showProgressStatus(0.75f, "c"); }, dflt, 0.75f, nullptr, "c"},
        {"showProgressStatusMaskType", [] { H::showProgressStatusMaskType(1.0f, "d", 3); }, black, 1.0f,
         nullptr, "d"},
        {"showInfoWithStatus", [] { H::showInfoWithStatus("e"); }, dflt, -1, &info, "e"},
        {"showInfoWithStatusMaskType", [] { H::showInfoWithStatusMaskType("f", 3); }, black, -1, &info, "f"},
        {"showSuccessWithStatus", [] { H::showSuccessWithStatus("g"); }, dflt, -1, &success, "g"},
        {"showSuccessWithStatusMaskType", [] { H::showSuccessWithStatusMaskType("h", 3); }, black, -1,
         &success, "h"},
        {"showErrorWithStatus", [] { H::showErrorWithStatus("i"); }, dflt, -1, &error, "i"},
        {"showErrorWithStatusMaskType", [] { H::showErrorWithStatusMaskType("j", 3); }, black, -1, &error,
         "j"},
        {"showImageStatus", [&] { H::showImageStatus(other, "k"); }, dflt, -1, &other, "k"},
        {"showImageStatusMaskType", [&] { H::showImageStatusMaskType(other, "l", 3); }, black, -1, &other,
         "l"},
    };
    for (const auto& f : forms) {
        INFO(f.form);
        f.show();
        clock.finish();
        CHECK(ZVProgressHUD::isVisible());
        CHECK(hud.maskType() == f.mask);
        CHECK(hud.progress() == f.progress);
        CHECK(hud.stringLabel()->text() == f.status);
        CHECK(hud.existingOverlay()->testAttribute(Qt::WA_TransparentForMouseEvents) == (f.mask == 1));
        if (f.image) {
            CHECK(picturecheck::samePicture(*f.image, hud.imageView()->image()));
            CHECK(hud.fadeOutTimer());
        } else if (f.progress >= 0) {
            REQUIRE(hud.existingRing());
            CHECK(hud.existingRing()->strokeEnd() == Approx(f.progress));
            CHECK(hud.existingSpinner()->parentWidget() == nullptr);
        } else {
            CHECK(hud.existingSpinner()->parentWidget() == hud.existingBox());
            CHECK_FALSE(hud.existingRing());
        }
        ZVProgressHUD::dismiss();
        clock.finish();
        CHECK_FALSE(ZVProgressHUD::isVisible());
    }
}

TEST_CASE("the process-wide settings reach the HUD", "[hud][forms]") {
    ManualClock clock;
    ClinicScreen screen;
    auto& hud = ZVProgressHUD::sharedView();
    struct Restore {
        ~Restore() {
            ZVProgressHUD::setBackgroundColor(Qt::white);
            ZVProgressHUD::setForegroundColor(Qt::black);
            ZVProgressHUD::setRingThickness(2.0);
        }
    } restore;

    SECTION("the background colour recolours a box on screen at once") {
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        ZVProgressHUD::setBackgroundColor(Qt::darkGray);
        CHECK(hud.existingBox()->backgroundColor() == QColor(Qt::darkGray));
    }
    SECTION("foreground and thickness go to the spinner when it is made, and to the rings") {
        ZVProgressHUD::setForegroundColor(Qt::darkBlue);
        ZVProgressHUD::setRingThickness(4.0);
        ZVProgressHUD::showWithStatus("受信中");
        clock.finish();
        CHECK(hud.existingSpinner()->strokeColor() == QColor(Qt::darkBlue));
        CHECK(hud.existingSpinner()->strokeThickness() == 4.0);
        CHECK(hud.existingSpinner()->geometry().size() == QSize(50, 50)); // 2 x (18 + 4 / 2 + 5)
        CHECK(hud.stringLabel()->palette().color(QPalette::WindowText) == QColor(Qt::darkBlue));
        ZVProgressHUD::showProgress(0.5f);
        REQUIRE(hud.existingBackgroundRing());
        CHECK(hud.existingRing()->lineWidth() == 4.0);
        CHECK(hud.existingBackgroundRing()->strokeColor().alphaF() == Approx(0.1).margin(0.001));
        ZVProgressHUD::showSuccessWithStatus("完了");
        CHECK(hud.imageView()->tintColor() == QColor(Qt::darkBlue));
    }
}
