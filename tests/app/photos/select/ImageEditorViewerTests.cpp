// The large photo viewer inside a small stand-in of the selection screen: saves go into the host's
// album and pool, closes are told to the host.
#include <QAbstractButton>
#include <QThread>
#include <catch2/catch.hpp>

#include "app/photos/albums/PhotoAlbumScan.h"
#include "app/photos/select/largePhotoView.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AlertController.h"
#include "tests/app/photos/editing/ImageEditorSession.h"

using namespace editortest;
using namespace pictures;

namespace {

class FakeHost;

// The viewer, noting in its host's calls on which thread the host's lists take a created photo.
class RecordingViewer : public largePhotoView {
  protected:
    SaveTarget saveTarget() override;
};

class FakeHost : public ui::ViewController, public largePhotoViewHost, public largePhotoViewDelegate {
  public:
    std::shared_ptr<photoalbums::PhotoAlbumScan> scan;
    std::shared_ptr<largePhotoView> viewer = std::make_shared<RecordingViewer>();
    std::vector<std::string> calls;

    std::shared_ptr<photoalbums::PhotoAlbumScan> albumScan() override { return scan; }
    void closeLargePhotoContainer() override { calls.push_back("close"); }
    void didSavedImage(const std::string& result) override { calls.push_back("saved " + result); }

    void viewDidLoad() override {
        adoptChild(viewer);
        viewer->view()->setParent(view());
        viewer->setDelegate(std::dynamic_pointer_cast<largePhotoViewDelegate>(shared_from_this()));
    }
};

PhotoEditorBase::SaveTarget RecordingViewer::saveTarget() {
    SaveTarget target = largePhotoView::saveTarget();
    std::weak_ptr<FakeHost> host = std::dynamic_pointer_cast<FakeHost>(parentViewController());
    if (auto append = target.created)
        target.created = [host, append](const photos::Asset& asset) {
            const bool gui = QThread::currentThread() == QCoreApplication::instance()->thread();
            if (auto h = host.lock())
                h->calls.push_back(gui ? "append on the GUI thread" : "append elsewhere");
            append(asset);
        };
    return target;
}

struct ViewerScreen : EditorSession {
    store::ClinicState state;
    photos::Album patientAlbum = album("ID_p1");
    std::shared_ptr<FakeHost> host = std::make_shared<FakeHost>();

    ViewerScreen() {
        host->scan = std::make_shared<photoalbums::PhotoAlbumScan>(state, library, "p1", "normal", "Eye-Fi");
        host->scan->targetAlbum = patientAlbum;
        root->present(host, false);
        clock.finish();
    }
    largePhotoView& viewer() { return *host->viewer; }
    std::shared_ptr<ui::AlertController> alert() {
        return std::dynamic_pointer_cast<ui::AlertController>(host->presentedViewController());
    }
    void open(const photos::Asset& asset) { handOver(viewer(), opened(asset), asset); }
};

} // namespace

TEST_CASE("a viewer save puts the new photo into the host's pool once", "[editor][viewer]") {
    ViewerScreen s;
    const QImage picture = fourColour(80, 60);
    const auto asset = s.put(s.patientAlbum, encoded(picture, "PNG"));
    s.open(asset);
    REQUIRE(s.viewer().saveButton());
    CHECK(s.viewer().saveButton()->title() == "保存");

    foundation::LogCapture log;
    QTest::mouseClick(s.viewer().rightRotateBtn(), Qt::LeftButton);
    s.viewer().saveButton()->trigger();
    s.clock.finish();

    // The host's lists, the GUI thread's own, take the photo there, before the host hears of the save.
    CHECK(s.host->calls == std::vector<std::string>{"append on the GUI thread", "saved rotate"});
    const std::string id = s.viewer().addAssetIdentifier();
    REQUIRE_FALSE(id.empty());
    const auto& scan = *s.host->scan;
    REQUIRE(scan.assetsList.size() == 1);
    CHECK(scan.assetsList[0].localIdentifier == id);
    CHECK(scan.rowsList == std::vector<std::string>{id});
    REQUIRE(scan.selectedAssetList.count(id) == 1);
    CHECK_FALSE(scan.selectedAssetList.at(id).has_value());
    CHECK(scan.inAssetsFlgPatient);
    CHECK(largePhotoView::photoLibraryBusyFlag().load() == 0);
    CHECK_FALSE(ZVProgressHUD::isVisible());
    CHECK_FALSE(log.contains("ImageEditorViewController, saveImageToAlbum"));
    CHECK(
        samePixels(s.stored(s.library->assetsWithLocalIdentifiers({id}).front()), turnedClockwise(picture)));
    CHECK(s.library->assetsInAlbum(s.patientAlbum).back().localIdentifier == id);
}

TEST_CASE("a viewer save that cannot go anywhere closes with fail and leaves the pool",
          "[editor][viewer][fault]") {
    ViewerScreen s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    const size_t before = s.library->allAssets().size();
    s.open(asset);
    SECTION("no album") {
        s.host->scan->targetAlbum.reset();
    }
    SECTION("no scan at all") {
        s.host->scan.reset();
    }
    SECTION("a cut beside the picture") {
        s.viewer().imageView()->setFrame({5000, 5000, 600, 600});
    }
    s.viewer().saveNewImage();
    s.clock.finish();
    // Nothing closes before the failure has been said.
    CHECK(s.host->calls.empty());
    REQUIRE(s.alert());
    CHECK(s.alert()->title() == "Failed To Save New Image");
    CHECK_FALSE(s.alert()->message().empty());
    s.alert()->tapAction("OK");
    s.clock.finish();
    CHECK(s.host->calls == std::vector<std::string>{"saved fail"});
    CHECK(s.library->allAssets().size() == before);
    if (s.host->scan) {
        CHECK(s.host->scan->assetsList.empty());
        CHECK(s.host->scan->rowsList.empty());
        CHECK_FALSE(s.host->scan->inAssetsFlgPatient);
    }
    CHECK_FALSE(ZVProgressHUD::isVisible());
    CHECK(largePhotoView::photoLibraryBusyFlag().load() == 0);
}

TEST_CASE("a viewer save the library refuses takes the HUD away, says why, and closes on OK",
          "[editor][viewer][fault]") {
    ViewerScreen s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    s.open(asset);
    const std::string why = s.blockLibraryWrites();
    std::vector<bool> alertShownAtDismissal;
    auto watch = foundation::NotificationCenter::defaultCenter()->addObserver(
        ZVProgressHUDWillDisappearNotification, nullptr, nullptr,
        [&](const foundation::Notification&) { alertShownAtDismissal.push_back(s.alert() != nullptr); });
    foundation::LogCapture log;
    s.viewer().saveButton()->trigger();
    REQUIRE(s.alert());
    CHECK(alertShownAtDismissal == std::vector<bool>{false});
    s.clock.finish();
    CHECK(ZVProgressHUD::sharedView().existingOverlay() == nullptr);
    CHECK(s.alert()->title() == "Failed To Save New Image");
    CHECK(s.alert()->message() == why);
    CHECK(log.contains("creating Asset Error: "));
    CHECK(largePhotoView::photoLibraryBusyFlag().load() == 0);
    s.alert()->tapAction("OK");
    s.clock.finish();
    CHECK(s.host->calls == std::vector<std::string>{"saved fail"});
    CHECK(s.host->scan->assetsList.empty());
    CHECK(s.host->scan->rowsList.empty());
}

TEST_CASE("each open of the viewer starts from the window frame in trimming mode",
          "[editor][viewer][fault]") {
    ViewerScreen s;
    const auto landscape = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    const auto portrait = s.put(s.patientAlbum, encoded(fourColour(60, 80), "PNG"));
    s.open(landscape);
    moveObject* view = s.viewer().imageView();
    s.viewer().changeMode();
    s.viewer().flipHorizontal();
    s.viewer().largePhotoClose("cancel");
    CHECK(s.host->calls == std::vector<std::string>{"close"});
    CHECK(view->frame() == QRectF(0, 75, 600, 450)); // the landscape's fitted frame

    s.open(portrait);
    CHECK(view->frame() == QRectF(0, 0, 600, 600));
    CHECK(view->transform().isIdentity());
    CHECK(s.viewer().rotateModeFlg());
    CHECK_FALSE(s.viewer().reversalHorizontal());
    CHECK(s.viewer().rotateType() == 0);
    CHECK_FALSE(view->disableFlg());
}

TEST_CASE("the viewer's closes: cancel leaves the HUD, a gone delegate is told nothing", "[editor][viewer]") {
    ViewerScreen s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    s.open(asset);
    ZVProgressHUD::showWithStatus("保存中");
    QTest::mouseClick(s.viewer().closeButton(), Qt::LeftButton);
    s.clock.finish();
    CHECK(s.host->calls == std::vector<std::string>{"close"});
    CHECK(ZVProgressHUD::isVisible());
    s.viewer().largePhotoClose("other");
    s.clock.finish();
    CHECK_FALSE(ZVProgressHUD::isVisible());
    CHECK(s.host->calls == std::vector<std::string>{"close", "saved other"});

    s.viewer().setDelegate({});
    s.viewer().largePhotoClose("cancel");
    s.viewer().largePhotoClose("rotate");
    CHECK(s.host->calls.size() == 2);
}
