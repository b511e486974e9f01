// The picker shown when a sender joins: it opens at once and its thumbnails come afterwards.
#include <QTest>
#include <catch2/catch.hpp>

#include "app/photos/receive/ZQImagePickerController.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"
#include "tests/app/photos/receive/PeerReceiveSupport.h"
#include "tests/support/TestHome.h"

namespace {

struct Chooser : ZQImagePickerControllerDelegate {
    std::vector<photos::Asset> picked;
    int cancels = 0;
    void qb_imagePickerControllerDidFinishPickingAssets(ZQImagePickerController&,
                                                        const std::vector<photos::Asset>& assets) override {
        picked = assets;
    }
    void qb_imagePickerControllerDidCancel(ZQImagePickerController&) override { ++cancels; }
};

std::vector<std::string> storePhotographs(int count) {
    std::vector<std::string> ids;
    REQUIRE_FALSE(photos::PhotoLibrary::shared()->performChangesAndWait([&](photos::ChangeRequest& c) {
        for (int i = 0; i < count; ++i)
            ids.push_back(c.createImageAsset(receivetest::toData(receivetest::jpeg(i, 640, 480))));
    }));
    return ids;
}

// Answers for the screens come through the main queue, which the event loop runs, as in the app.
struct MainQueueOnLoop {
    MainQueueOnLoop() { ui::installMainQueueExecutor(); }
    ~MainQueueOnLoop() { ui::removeMainQueueExecutor(); }
};

bool hasThumbnail(const QListWidgetItem* item) {
    return item && !item->icon().isNull();
}

} // namespace

TEST_CASE("the picker opens with empty cells and the image manager fills them", "[photos][picker]") {
    testsupport::TempHome home;
    MainQueueOnLoop loop;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    const auto ids = storePhotographs(3);
    auto chooser = std::make_shared<Chooser>();
    auto picker = std::make_shared<ZQImagePickerController>();
    picker->setDelegate(chooser);
    picker->setAllowsMultipleSelection(false);
    picker->setMediaType(ZQImagePickerController::kMediaTypeImage);
    (void)picker->view();

    QListWidget* grid = picker->gridView();
    REQUIRE(grid->count() == 3);
    // Nothing was decoded while the picker opened.
    for (int row = 0; row < grid->count(); ++row)
        CHECK_FALSE(hasThumbnail(grid->item(row)));
    REQUIRE(QTest::qWaitFor(
        [&] {
            for (int row = 0; row < grid->count(); ++row)
                if (!hasThumbnail(grid->item(row))) return false;
            return true;
        },
        receivetest::kEventWaitMs));
    // Newest first, each thumbnail at most the cell's size.
    CHECK(picker->shownAssets().front().localIdentifier == ids.back());
    const QSize shown = grid->item(0)->icon().availableSizes().value(0);
    CHECK(shown.width() <= 140);
    CHECK(shown.height() <= 140);

    SECTION("a tap picks one photograph") {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(1)).center());
        REQUIRE(chooser->picked.size() == 1);
        CHECK(chooser->picked[0].localIdentifier == ids[1]);
    }
    SECTION("closed before its thumbnails come, it is left alone") {
        auto again = std::make_shared<ZQImagePickerController>();
        (void)again->view();
        again.reset();
        CHECK(receivetest::settleMainQueue());
    }
}
