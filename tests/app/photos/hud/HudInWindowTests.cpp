// The HUD in the application's own window, with screens presented over the root.
#include <QApplication>
#include <catch2/catch.hpp>

#include "platform/ui/Application.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Window.h"
#include "tests/app/photos/hud/HudTestSupport.h"

TEST_CASE("the HUD attaches to the application's window, above what it presents", "[hud][window]") {
    hudtest::ManualClock clock;
    auto board = ui::Storyboard::define("HudTestBoard");
    board->addScene<ui::ViewController>("root");
    board->setInitialScene("root", false);
    ui::Application app(nullptr);
    REQUIRE(app.launch("HudTestBoard"));
    ui::Window* window = app.keyWindow().get();
    REQUIRE(window);
    ZVProgressHUD::setHostWindow(nullptr); // the application's window by default
    REQUIRE(ZVProgressHUD::hostWindow() == window);
    auto& hud = ZVProgressHUD::sharedView();

    ZVProgressHUD::showWithStatusMaskType("保存中", ZVProgressHUDMaskTypeBlack);
    clock.finish();
    REQUIRE(hud.existingOverlay());
    CHECK(hud.existingOverlay()->parentWidget() == window);
    CHECK(hud.existingOverlay()->geometry() == window->rect());

    auto modal = std::make_shared<ui::ViewController>();
    window->rootViewController()->present(modal, false);
    QApplication::processEvents();
    QWidget* top = window->childAt(400, 700);
    CHECK((top == hud.existingOverlay() || hud.existingOverlay()->isAncestorOf(top)));

    ZVProgressHUD::dismiss();
    clock.finish();
    CHECK(hud.existingOverlay() == nullptr);
    QWidget* under = window->childAt(400, 700);
    CHECK((under == modal->view() || modal->view()->isAncestorOf(under)));
    board->removeScene("root");
}
