// The picker a joining sender opens, tapped on the window as it stands on the monitor: at 1:1, fitted
// to a laptop screen and above 1:1, a tap on a thumbnail picks that photograph.
#include <QListWidget>
#include <QTest>
#include <catch2/catch.hpp>

#include "app/photos/receive/ZQImagePickerController.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"
#include "platform/ui/Window.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"
#include "tests/support/ScreenTouches.h"
#include "tests/support/TestHome.h"

namespace {

struct Picked : ZQImagePickerControllerDelegate {
    std::vector<photos::Asset> assets;
    void qb_imagePickerControllerDidFinishPickingAssets(ZQImagePickerController&,
                                                        const std::vector<photos::Asset>& picked) override {
        assets = picked;
    }
    void qb_imagePickerControllerDidCancel(ZQImagePickerController&) override {}
};

} // namespace

TEST_CASE("a tap on the picker's thumbnail picks it at every window scale", "[photos][picker][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    testsupport::TempHome home;
    ui::installMainQueueExecutor();
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    std::vector<std::string> ids;
    REQUIRE_FALSE(photos::PhotoLibrary::shared()->performChangesAndWait([&](photos::ChangeRequest& c) {
        for (int i = 0; i < 3; ++i)
            ids.push_back(c.createImageAsset(receivetest::toData(receivetest::jpeg(i, 640, 480))));
    }));
    auto chooser = std::make_shared<Picked>();
    auto picker = std::make_shared<ZQImagePickerController>();
    picker->setDelegate(chooser);
    picker->setAllowsMultipleSelection(false);
    picker->setMediaType(ZQImagePickerController::kMediaTypeImage);
    {
        ui::Window window;
        window.setRootViewController(picker);
        window.setScale(scale);
        window.makeKeyAndVisible();
        REQUIRE(QTest::qWaitForWindowExposed(window.screenWidget()));
        QListWidget* grid = picker->gridView();
        REQUIRE(grid->count() == 3);

        testsupport::ScreenTouches(window).tap(grid->viewport(),
                                               QRectF(grid->visualItemRect(grid->item(1))).center());
        REQUIRE(chooser->assets.size() == 1);
        CHECK(chooser->assets[0].localIdentifier == picker->shownAssets()[1].localIdentifier);
        window.setRootViewController(nullptr);
    }
    CHECK(receivetest::settleMainQueue());
    ui::removeMainQueueExecutor();
}
