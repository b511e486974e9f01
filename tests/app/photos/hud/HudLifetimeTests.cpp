#include <QCoreApplication>
#include <catch2/catch.hpp>
#include <thread>

#include "app/photos/hud/HudKeyboard.h"
#include "tests/app/photos/hud/HudTestSupport.h"

using hudtest::ClinicScreen;
using hudtest::ManualClock;
using hudtest::NotificationLog;

namespace {

const foundation::Dictionary kKeyboardUp{{"UIKeyboardFrameBeginUserInfoKey", "{{0, 1024}, {768, 264}}"},
                                         {"UIKeyboardFrameEndUserInfoKey", "{{0, 760}, {768, 264}}"},
                                         {"UIKeyboardAnimationDurationUserInfoKey", 0.25}};

// Posts from a thread of its own, as the SDK and the library queues do: the HUD hears it there and
// hops to the GUI thread, which runs the hop when posted events are delivered.
void postFromAnotherThread(const char* name, const foundation::Dictionary& userInfo) {
    std::thread([&] {
        foundation::NotificationCenter::defaultCenter()->post(name, nullptr, userInfo);
    }).join();
}

} // namespace

TEST_CASE("the HUD's deferred work does nothing once its owner is gone", "[hud][lifetime]") {
    ManualClock clock;
    ClinicScreen screen;
    auto center = foundation::NotificationCenter::defaultCenter();

    SECTION("a keyboard move queued from another thread is dropped when the HUD is dismissed first") {
        ZVProgressHUD::show();
        clock.finish();
        postFromAnotherThread(hud::kKeyboardWillShow, kKeyboardUp);
        ZVProgressHUD::dismiss();
        clock.finish();
        REQUIRE(ZVProgressHUD::sharedView().existingBox() == nullptr);
        QCoreApplication::sendPostedEvents();
        CHECK(ZVProgressHUD::sharedView().existingBox() == nullptr); // nothing made again for a gone HUD
        CHECK_FALSE(ZVProgressHUD::isVisible());
    }
    SECTION("a keyboard height on its way to a HUD that is let go meanwhile") {
        ZVProgressHUD::sharedView();
        postFromAnotherThread(hud::kKeyboardWillShow, kKeyboardUp);
        ZVProgressHUD::releaseSharedView();
        auto& fresh = ZVProgressHUD::sharedView();
        QCoreApplication::sendPostedEvents();
        CHECK(fresh.visibleKeyboardHeight() == 0);
    }
    SECTION("an appearing that ends after the HUD was let go reports nothing") {
        NotificationLog log;
        ZVProgressHUD::showWithStatus("保存中");
        CHECK(log.count(ZVProgressHUDWillAppearNotification) == 1);
        ZVProgressHUD::releaseSharedView();
        clock.finish();
        CHECK(log.count(ZVProgressHUDDidAppearNotification) == 0);
    }
    SECTION("a fade-out due after the HUD was let go reports nothing") {
        NotificationLog log;
        ZVProgressHUD::showSuccessWithStatus("受信完了");
        clock.finish();
        ZVProgressHUD::releaseSharedView();
        clock.advance(5);
        clock.finish();
        CHECK(log.count(ZVProgressHUDWillDisappearNotification) == 0);
    }
    // Whatever keyboard the sections left up goes down again for the next test.
    center->post(hud::kKeyboardWillHide, nullptr, {});
    QCoreApplication::sendPostedEvents();
}
