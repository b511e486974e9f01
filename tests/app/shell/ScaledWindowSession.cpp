// A clinic session on a real X screen, driven as a receptionist would, for the window-scale tests:
//   ScaledWindowSession OUTDIR [launch arguments...]
// Launches the app as its main does (the window's scale is chosen at launch), grabs the screen on the
// main menu, on the registration form and with the date popover open, and taps where things are drawn:
// each tap is an X button event at a pixel of the screen, read from the grab, so it goes through the
// window's scale.
// Prints "key=value" lines for the test to check.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <xcb/xcb.h>

#include "app/MainStoryboard.h"
#include "app/ProcessEntry.h"
#include "app/shell/patientRegistView.h"
#include "app/shell/patientRegistViewTop.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/LaunchArguments.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverLayer.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "tests/app/shell/ScreenShot.h"

namespace {

void report(const char* key, const QString& value) {
    std::printf("%s=%s\n", key, qPrintable(value));
    std::fflush(stdout);
}
void report(const char* key, const QRect& r) {
    report(key, QString("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
}

QImage grabScreen(const QString& path) {
    QTest::qWait(200);
    QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    shot.setDevicePixelRatio(1);
    shot.save(path);
    return shot;
}

// Where the screen shows a widget, from the window's drawn bounds in the grab.
QRect drawnRect(const QRect& drawnWindow, QWidget* window, QWidget* widget) {
    const double k = double(drawnWindow.width()) / window->width();
    const QRect r(widget->mapTo(window, QPoint(0, 0)), widget->size());
    return QRectF(drawnWindow.x() + r.x() * k, drawnWindow.y() + r.y() * k, r.width() * k, r.height() * k)
        .toRect();
}

// A left-button tap at a screen pixel, as the X server would deliver it to the window.
void tapScreenAt(QWidget* window, QPoint screenPixel) {
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    const xcb_window_t target = xcb_window_t(window->winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    auto* origin =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, target, root, 0, 0), nullptr);
    const QPoint local = screenPixel - (origin ? QPoint(origin->dst_x, origin->dst_y) : QPoint());
    std::free(origin);
    for (bool press : {true, false}) {
        xcb_button_press_event_t ev{};
        ev.response_type = press ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE;
        ev.detail = 1;
        ev.root = root;
        ev.event = target;
        ev.root_x = int16_t(screenPixel.x());
        ev.root_y = int16_t(screenPixel.y());
        ev.event_x = int16_t(local.x());
        ev.event_y = int16_t(local.y());
        ev.state = press ? 0 : XCB_BUTTON_MASK_1;
        ev.same_screen = 1;
        xcb_send_event(c, 0, target, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    }
    // A round trip, so the server has handled the events before this connection closes.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    QTest::qWait(150);
}

ui::TextField* lowestField(QWidget* view) {
    ui::TextField* last = nullptr;
    for (auto* f : view->findChildren<ui::TextField*>())
        if (f->isVisible() && (!last || f->mapTo(view, f->rect().bottomLeft()).y() >
                                            last->mapTo(view, last->rect().bottomLeft()).y()))
            last = f;
    return last;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const QString out = argv[1];
    foundation::launch::setArguments(argc, argv);
    foundation::home::ensureLayout();
    app::registerLoadHooks();
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);

    QApplication qt(argc, argv);
    QDir().mkpath(out);
    auto delegate = std::make_shared<zurarerizIvaDadadavu>();
    delegate->setSDKStarter([] {});
    auto app = std::make_unique<ui::Application>(delegate);
    app->launch(app::kMainStoryboardName);
    ui::Window& w = *delegate->window();
    QWidget* onScreen = w.screenWidget();
    if (!QTest::qWaitForWindowExposed(onScreen)) return 3;
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(w.rootViewController());
    report("scale", QString::number(w.scale()));
    report("windowSize", QRect(QPoint(), w.size()));
    report("screen", QGuiApplication::primaryScreen()->geometry());

    const QImage menu = grabScreen(out + "/menu.png");
    const QRect drawn = screenshot::drawnBounds(menu);
    report("menuShot", menu.rect());
    report("drawn", drawn);

    auto* registButton = nav->topViewController()->view()->findChild<QAbstractButton*>("patientRegistButton");
    if (!registButton) return 4;
    tapScreenAt(onScreen, drawnRect(drawn, &w, registButton).center());
    auto top = std::dynamic_pointer_cast<patientRegistViewTop>(nav->topViewController());
    report("afterMenuTap", QString::fromStdString(nav->topViewController()->storyboardIdentifier()));
    if (!top) return 5;
    tapScreenAt(onScreen, drawnRect(drawn, &w, top->patientIDBox()).center());
    if (!w.focusedWidget()) return 7;
    QTest::keyClicks(w.focusedWidget(), "9001");
    QTest::keyClick(w.focusedWidget(), Qt::Key_Return);
    QTest::qWait(300);
    auto form = std::dynamic_pointer_cast<patientRegistView>(nav->topViewController());
    if (!form) return 6;

    const QImage formShot = grabScreen(out + "/form.png");
    report("formDrawn", screenshot::drawnBounds(formShot));
    ui::TextField* last = lowestField(form->view());
    report("lastField", QString::fromStdString(last->objectName().toStdString()));
    report("lastFieldRect", drawnRect(drawn, &w, last));
    QRect bar;
    for (auto* b : w.findChild<ui::NavigationBar*>()->findChildren<QAbstractButton*>())
        if (b->isVisible()) bar = bar.united(drawnRect(drawn, &w, b));
    report("barButtons", bar);

    // The last field opens the date popover beside it.
    tapScreenAt(onScreen, drawnRect(drawn, &w, last).center());
    QTest::qWait(400);
    auto* layer = w.findChild<ui::PopoverLayer*>();
    report("popover", layer && layer->isVisible() ? drawnRect(drawn, &w, layer->frame()) : QRect());
    grabScreen(out + "/popover.png");
    if (auto* combo = layer ? layer->findChild<QComboBox*>() : nullptr) {
        tapScreenAt(onScreen, drawnRect(drawn, &w, combo).center());
        QTest::qWait(300);
        report("comboPopup", QString::number(combo->view()->isVisible()));
        grabScreen(out + "/combo.png");
        QTest::keyClick(combo->view(), Qt::Key_Escape);
        QTest::qWait(300);
    }
    // A tap beside it, at the bottom left of the canvas, puts it away.
    tapScreenAt(onScreen, drawn.bottomLeft() + QPoint(4, -4));
    const bool closed = QTest::qWaitFor([&] {
        auto* l = w.findChild<ui::PopoverLayer*>();
        return !l || !l->isVisible();
    });
    report("popoverAfterTapBeside", closed ? "closed" : "open");

    // The lowest field that takes typing (the first-visit date below it is picked, not typed).
    tapScreenAt(onScreen, drawnRect(drawn, &w, form->name1Text()).center());
    report("typedField", form->bizText()->objectName());
    report("typedFieldRect", drawnRect(drawn, &w, form->bizText()));
    tapScreenAt(onScreen, drawnRect(drawn, &w, form->bizText()).center());
    auto* focused = w.focusedWidget();
    report("focused", focused ? focused->objectName() : QString());

    app.reset();
    delegate->setWindow(nullptr);
    return 0;
}
