#include <QApplication>
#include <QGraphicsView>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <catch2/catch.hpp>
#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowScale.h"
#include "tests/support/TestHome.h"

using namespace ui;
using Args = std::vector<std::string>;

namespace {
void setDefault(const foundation::Value& v) {
    foundation::UserDefaults::standard()->setObject(v, kWindowScaleKey);
}

// The canvas and the frame allowance at this factor fit the area.
bool fits(double k, const QRect& area) {
    return kMainScreenWidth * k + kFrameAllowanceWidth <= area.width() &&
           kMainScreenHeight * k + kFrameAllowanceHeight <= area.height();
}
} // namespace

TEST_CASE("a window scale asked for by hand", "[ui][scale]") {
    testsupport::TempHome home;
    foundation::LogCapture log;

    SECTION("nothing asked: no factor") {
        CHECK_FALSE(requestedWindowScale({"zaruvedez"}));
        CHECK(log.lines().empty());
    }

    SECTION("the launch argument gives the factor") {
        CHECK(requestedWindowScale({"zaruvedez", "-ZVWindowScale", "0.75"}) == 0.75);
        CHECK(requestedWindowScale({"zaruvedez", "-platform", "xcb", "-ZVWindowScale", "2"}) == 2.0);
    }

    SECTION("the user default gives the factor, as a number or as text") {
        setDefault(foundation::Value(0.6));
        CHECK(requestedWindowScale({"zaruvedez"}) == 0.6);
        setDefault(foundation::Value(2));
        CHECK(requestedWindowScale({"zaruvedez"}) == 2.0);
        setDefault(foundation::Value("1.5"));
        CHECK(requestedWindowScale({"zaruvedez"}) == 1.5);
    }

    SECTION("the launch argument wins over the user default") {
        setDefault(foundation::Value(0.6));
        CHECK(requestedWindowScale({"zaruvedez", "-ZVWindowScale", "1"}) == 1.0);
    }

    SECTION("an unusable argument is logged and the user default stands") {
        setDefault(foundation::Value(0.6));
        const std::string value = GENERATE("abc", "0", "-1", "0.1", "5", "0.75x", "", "nan", "inf");
        INFO(value);
        CHECK(requestedWindowScale({"zaruvedez", "-ZVWindowScale", value}) == 0.6);
        CHECK(log.contains("Ignoring the window scale"));
    }

    SECTION("an argument without its value is logged and ignored") {
        CHECK_FALSE(requestedWindowScale({"zaruvedez", "-ZVWindowScale"}));
        CHECK(log.contains("Ignoring the window scale (missing) from the launch arguments"));
    }

    SECTION("an unusable user default is logged and ignored") {
        const foundation::Value value = GENERATE(foundation::Value(true), foundation::Value("big"),
                                                 foundation::Value(0), foundation::Value(40.0));
        setDefault(value);
        CHECK_FALSE(requestedWindowScale({"zaruvedez"}));
        CHECK(log.contains("from the user defaults"));
    }
}

TEST_CASE("the factor that fits a screen", "[ui][scale]") {
    SECTION("a 1366 x 768 laptop: scaled down until canvas and frame fit, and not a step further") {
        const QRect area(0, 0, 1366, 768);
        const double k = fittingWindowScale(area);
        CHECK(k < 1);
        CHECK(fits(k, area));
        CHECK_FALSE(fits(k + 1.0 / 256, area));
    }

    SECTION("the window's size in pixels is whole at every fitted factor") {
        const int height = GENERATE(500, 700, 768, 800, 900, 1000, 1050);
        const double k = fittingWindowScale(QRect(0, 0, 1920, height));
        INFO(height);
        CHECK(std::floor(kMainScreenWidth * k) == kMainScreenWidth * k);
        CHECK(std::floor(kMainScreenHeight * k) == kMainScreenHeight * k);
    }

    SECTION("a 1920 x 1080 monitor with a panel is short, and scales a little") {
        const QRect area(0, 30, 1920, 1050);
        const double k = fittingWindowScale(area);
        CHECK(k < 1);
        CHECK(k > 0.95);
        CHECK(fits(k, area));
    }

    SECTION("a narrow screen is fitted by its width") {
        const QRect area(0, 0, 600, 1400);
        const double k = fittingWindowScale(area);
        CHECK(fits(k, area));
        CHECK(kMainScreenWidth * k + kFrameAllowanceWidth > 600 - 4);
    }

    SECTION("never above 1:1 on big screens") {
        CHECK(fittingWindowScale(QRect(0, 0, 1920, 1200)) == 1);
        CHECK(fittingWindowScale(QRect(0, 0, 3840, 2160)) == 1);
    }

    SECTION("a tiny screen gets the smallest factor, not nothing") {
        CHECK(fittingWindowScale(QRect(0, 0, 100, 100)) == kMinimumWindowScale);
        CHECK(fittingWindowScale(QRect()) == kMinimumWindowScale);
    }
}

TEST_CASE("the factor chosen for the window", "[ui][scale]") {
    testsupport::TempHome home;
    QScreen* screen = QGuiApplication::primaryScreen();
    REQUIRE(screen);

    SECTION("platforms without a monitor are not fitted") {
        CHECK_FALSE(isOnScreenPlatform("offscreen"));
        CHECK_FALSE(isOnScreenPlatform("offscreen:fontengine=freetype"));
        CHECK_FALSE(isOnScreenPlatform("minimal"));
        CHECK(isOnScreenPlatform("xcb"));
        CHECK(isOnScreenPlatform("wayland"));
    }

    SECTION("offscreen, as in tests, the factor is 1 unless asked") {
        CHECK(chooseWindowScale({"zaruvedez"}, "offscreen", screen) == 1);
        CHECK(chooseWindowScale({"zaruvedez", "-ZVWindowScale", "0.5"}, "offscreen", screen) == 0.5);
        setDefault(foundation::Value(0.8));
        CHECK(chooseWindowScale({"zaruvedez"}, "offscreen", screen) == 0.8);
    }

    SECTION("on a monitor the screen's available area decides") {
        CHECK(chooseWindowScale({"zaruvedez"}, "xcb", screen) ==
              fittingWindowScale(screen->availableGeometry()));
        CHECK(chooseWindowScale({"zaruvedez"}, "xcb", nullptr) == 1);
        CHECK(chooseWindowScale({"zaruvedez", "-ZVWindowScale", "1.5"}, "xcb", screen) == 1.5);
    }
}

TEST_CASE("a window shown at another scale", "[ui][scale]") {
    testsupport::TempHome home;
    auto window = std::make_unique<Window>();
    // Something to see and something to tap, in canvas points.
    auto* patch = new QWidget(window.get());
    patch->setGeometry(200, 400, 200, 100);
    patch->setAutoFillBackground(true);
    QPalette p = patch->palette();
    p.setColor(QPalette::Window, Qt::red);
    patch->setPalette(p);
    auto* field = new QLineEdit(window.get());
    field->setObjectName("field");
    field->setGeometry(100, 900, 300, 40);
    auto* other = new QLineEdit(window.get());
    other->setGeometry(100, 100, 300, 40);

    SECTION("at 1:1 the window itself stands on the screen") {
        window->makeKeyAndVisible();
        CHECK(window->scale() == 1);
        CHECK(window->screenWidget() == window.get());
    }

    SECTION("scaled down, the host is the canvas's size times the factor and draws it at that size") {
        window->setScale(0.5);
        window->makeKeyAndVisible();
        QWidget* host = window->screenWidget();
        REQUIRE(host != window.get());
        REQUIRE(QTest::qWaitForWindowExposed(host));
        CHECK(host->size() == QSize(384, 512));
        CHECK(window->size() == mainScreenSize());
        CHECK(field->geometry() == QRect(100, 900, 300, 40));

        const QImage shot = host->grab().toImage();
        CHECK(shot.pixelColor(150, 225) == QColor(Qt::red));
        CHECK(shot.pixelColor(150, 260) != QColor(Qt::red));
        // Grabs of the window (and so PDF pages) stay at the canvas's size.
        CHECK(window->grab().size() == mainScreenSize());
    }

    SECTION("a click where a field is drawn focuses that field") {
        window->setScale(0.75);
        window->makeKeyAndVisible();
        auto* host = static_cast<QGraphicsView*>(window->screenWidget());
        QApplication::setActiveWindow(host);
        REQUIRE(QTest::qWaitForWindowActive(host));
        other->setFocus();
        REQUIRE(window->focusedWidget() == other);
        QTest::mouseClick(host->viewport(), Qt::LeftButton, {}, QPoint(int(250 * 0.75), int(920 * 0.75)));
        CHECK(field->hasFocus());
        CHECK_FALSE(other->hasFocus());
        CHECK(window->focusedWidget() == field);
    }

    SECTION("back to 1:1 the window stands on the screen again, unharmed") {
        window->setScale(0.5);
        window->makeKeyAndVisible();
        window->setScale(1);
        CHECK(window->screenWidget() == window.get());
        CHECK(window->isVisible());
        CHECK(window->grab().size() == mainScreenSize());
        CHECK(field->parentWidget() == window.get());
    }

    SECTION("a factor out of range is kept to the range") {
        window->setScale(0);
        CHECK(window->scale() == kMinimumWindowScale);
        CHECK(window->screenWidget()->size() == QSize(192, 256));
        window->setScale(100);
        CHECK(window->scale() == kMaximumWindowScale);
    }

    SECTION("a window destroyed while scaled takes its host along") {
        window->setScale(0.5);
        window->makeKeyAndVisible();
        QPointer<QWidget> host = window->screenWidget();
        window.reset();
        CHECK(host.isNull());
    }
}
