// The editor presented as the one-page certificate presents it, driven through its widgets, saving
// into a test photo library.
#include <QAbstractButton>
#include <QLabel>
#include <QTimer>
#include <QWheelEvent>
#include <atomic>
#include <catch2/catch.hpp>

#include <functional>

#include "app/MainStoryboard.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Storyboard.h"
#include "tests/app/photos/editor/EditorScreen.h"
#include "tests/support/TouchDevice.h"

using namespace editortest;
using namespace pictures;

namespace {

struct SavingEditor : EditorScreen {
    QAbstractButton* barButton(const std::string& title) {
        auto* bar = qobject_cast<ui::NavigationBar*>(editor->navigationBarView());
        REQUIRE(bar);
        return bar->button(title);
    }
    void save() {
        QAbstractButton* button = barButton("保存");
        REQUIRE(button);
        button->click();
    }
    std::shared_ptr<ui::AlertController> alert() {
        return std::dynamic_pointer_cast<ui::AlertController>(editor->presentedViewController());
    }
    QString alertText(const char* name) { return alert()->view()->findChild<QLabel*>(name)->text(); }
    std::vector<photos::Asset> albumAssets() { return library->assetsInAlbum(patientAlbum); }
    // Saves, answers the "added" message and reads back the one picture the save created.
    QImage saveAndReadBack() {
        save();
        REQUIRE(alert());
        alert()->tapAction("OK");
        clock.finish();
        const auto created = library->assetsWithLocalIdentifiers({editor->addAssetIdentifier()});
        REQUIRE(created.size() == 1);
        return stored(created[0]);
    }
};

QPoint centreOf(QWidget* w) {
    return w->rect().center();
}

} // namespace

TEST_CASE("a save right after opening stores the whole picture as a new PNG asset", "[editor][save]") {
    SavingEditor s;
    const QImage picture = fourColour(80, 60);
    const QByteArray original = encoded(picture, "PNG");
    const auto asset = s.put(s.patientAlbum, original);
    s.open(asset);

    foundation::LogCapture log;
    s.save();
    auto alert = s.alert();
    REQUIRE(alert);
    CHECK(s.alertText("alertTitle") == "メッセージ");
    CHECK(s.alertText("alertMessage") == "加工した画像を追加しました。");
    CHECK(log.contains("ImageEditorViewController, saveImageToAlbum, targetAlbum: ID_p1"));
    CHECK(log.contains("imageObj X:0.000000 / Y:0.000000, W:600.000000 / H:600.000000"));
    CHECK(log.contains("baseImage W:80.000000 / H:60.000000"));
    CHECK(log.contains("creating Asset Success"));
    CHECK(ImageEditorViewController::photoLibraryBusyFlag().load() == 0);

    const auto assets = s.albumAssets();
    REQUIRE(assets.size() == 2);
    CHECK(assets[1].localIdentifier == s.editor->addAssetIdentifier());
    auto data = s.library->imageData(assets[1]);
    REQUIRE(data.has_value());
    CHECK(QByteArray(reinterpret_cast<const char*>(data->data()), 4) == QByteArray("\x89PNG", 4));
    CHECK(samePixels(s.stored(assets[1]), picture));
    // The opened photograph is untouched.
    auto before = s.library->imageData(asset);
    CHECK(QByteArray(reinterpret_cast<const char*>(before->data()), qsizetype(before->size())) == original);

    REQUIRE(alert->tapAction("OK"));
    s.clock.finish();
    CHECK(s.root->presentedViewController() == nullptr);
    CHECK_FALSE(ZVProgressHUD::isVisible());
}

TEST_CASE("turns saved through the buttons are pixel exact", "[editor][save]") {
    SavingEditor s;
    const QImage picture = fourColour(80, 60);
    const auto asset = s.put(s.patientAlbum, encoded(picture, "PNG"));
    struct Case {
        const char* button;
        int clicks;
        QImage expected;
    };
    const Case cases[] = {{"rightRotateBtn", 1, turnedClockwise(picture)},
                          {"rightRotateBtn", 2, turned180(picture)},
                          {"leftRotateBtn", 1, turnedCounterClockwise(picture)}};
    for (const Case& c : cases) {
        INFO(c.button << " x" << c.clicks);
        s.open(asset);
        auto* button = s.editor->view()->findChild<QAbstractButton*>(c.button);
        for (int i = 0; i < c.clicks; ++i)
            QTest::mouseClick(button, Qt::LeftButton);
        CHECK(samePixels(s.saveAndReadBack(), c.expected));
    }
}

TEST_CASE("mirrors saved in reversal mode are pixel exact", "[editor][save]") {
    SavingEditor s;
    const QImage picture = fourColour(80, 60);
    const auto asset = s.put(s.patientAlbum, encoded(picture, "PNG"));
    struct Case {
        bool vertical, horizontal;
        QImage expected;
    };
    const Case cases[] = {{true, false, mirroredTopBottom(picture)},
                          {false, true, mirroredLeftRight(picture)},
                          {true, true, turned180(picture)},
                          {false, false, picture}};
    for (const Case& c : cases) {
        INFO("vertical " << c.vertical << ", horizontal " << c.horizontal);
        s.open(asset);
        QTest::mouseClick(s.editor->changeModeBtn(), Qt::LeftButton);
        if (c.vertical) QTest::mouseClick(s.editor->flipVerticalBtn(), Qt::LeftButton);
        if (c.horizontal) QTest::mouseClick(s.editor->flipHorizontalBtn(), Qt::LeftButton);
        CHECK(samePixels(s.saveAndReadBack(), c.expected));
    }
}

TEST_CASE("a two-finger pinch of 1.5x saves the middle of the picture", "[editor][save]") {
    SavingEditor s;
    const QImage picture = fourColour(800, 600);
    const auto asset = s.put(s.patientAlbum, encoded(picture, "PNG"));
    s.open(asset);
    moveObject* view = s.editor->imageView();
    QPointingDevice* device = testsupport::touchDevice();
    QTest::touchEvent(view, device).press(0, {250, 300}).press(1, {350, 300});
    QTest::touchEvent(view, device).move(0, {175, 300}).move(1, {425, 300});
    QTest::touchEvent(view, device).release(0, {175, 300}).release(1, {425, 300});
    CHECK(view->frame() == QRectF(-150, -150, 900, 900));

    s.save();
    REQUIRE(s.alert());
    s.alert()->tapAction("OK");
    const auto created = s.library->assetsWithLocalIdentifiers({s.editor->addAssetIdentifier()});
    REQUIRE(created.size() == 1);
    // cut (133.3, 33.3, 533.3, 533.3) taken in whole pixels
    CHECK(samePixels(s.stored(created[0]), picture.copy(133, 33, 534, 534)));
    // Closing put the view back to its fitted frame.
    CHECK(view->frame() == view->defaultFrame());
    CHECK(view->transform().isIdentity());
}

TEST_CASE("a mouse drag and Ctrl + wheel move and scale the picture", "[editor][save]") {
    SavingEditor s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    s.open(asset);
    moveObject* view = s.editor->imageView();
    QWheelEvent wheel(QPointF(300, 300), view->mapToGlobal(QPointF(300, 300)), {}, {0, 120}, Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    const double k = 1 + ui::TouchSetTracker::kWheelNotchTravel / 300;
    CHECK(view->frame().width() == Approx(600 * k));
    CHECK(view->frame().x() == Approx(300 - 300 * k));
    CHECK(view->touchEndFlg());

    // Dragged right and down as far as the clamp lets it: its left edge stays on the window's, its
    // top edge on the fitted picture's.
    QTest::mousePress(view, Qt::LeftButton, {}, centreOf(view));
    QTest::mouseMove(view, centreOf(view) + QPoint(100, 100));
    QTest::mouseRelease(view, Qt::LeftButton, {}, centreOf(view));
    CHECK(view->frame().x() == Approx(0).margin(1e-3));
    CHECK(view->frame().y() == Approx(75 - (600 * k - 600 * k * 0.875)).margin(1e-3));
}

TEST_CASE("the GUI thread keeps turning while the library draws and writes a save", "[editor][save]") {
    SavingEditor s;
    // Large enough that turning and encoding it take a while on the library's queue.
    const QImage picture = fourColour(1600, 1200);
    const auto asset = s.put(s.patientAlbum, encoded(picture, "PNG"));
    s.open(asset);
    QTest::mouseClick(s.editor->rightRotateBtn(), Qt::LeftButton);

    // While the save is busy, every turn of the GUI thread queues a probe behind whatever the library
    // has queued; a probe that finds the new photograph filed was queued after the save's change, so
    // the GUI thread turned while the change was still to run or running.
    auto filedSeen = std::make_shared<std::atomic<bool>>(false);
    auto library = s.library;
    const auto album = s.patientAlbum;
    QTimer pulse;
    pulse.setInterval(1);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        if (ImageEditorViewController::photoLibraryBusyFlag().load() == 0) return;
        library->queue()->async([library, album, filedSeen] {
            if (library->assetsInAlbum(album).size() == 2) *filedSeen = true;
        });
    });
    pulse.start();
    s.save();
    pulse.stop();
    s.library->queue()->drain();
    REQUIRE(s.alert());
    CHECK(s.alertText("alertMessage") == "加工した画像を追加しました。");
    CHECK(filedSeen->load());
    const auto created = s.library->assetsWithLocalIdentifiers({s.editor->addAssetIdentifier()});
    REQUIRE(created.size() == 1);
    CHECK(samePixels(s.stored(created[0]), turnedClockwise(picture)));
}

TEST_CASE("photographs stored turned by any EXIF orientation open and save upright", "[editor][save]") {
    SavingEditor s;
    const QImage picture = fourColour(48, 32);
    for (int exif = 1; exif <= 8; ++exif) {
        INFO("EXIF " << exif);
        const QByteArray jpeg = jpegWithOrientation(picture, exif);
        const QImage upright = autoOriented(jpeg);
        REQUIRE(upright.size() == (exif <= 4 ? picture.size() : picture.size().transposed()));
        const auto asset = s.put(s.patientAlbum, jpeg);
        s.open(asset);
        const ui::Image shown = s.editor->imageView()->image();
        CHECK(shown.orientation == ui::ImageOrientation::Up);
        CHECK(samePixels(shown.bitmap, upright));
        CHECK(s.editor->imageView()->defaultFrame().size() ==
              (exif <= 4 ? QSizeF(600, 400) : QSizeF(400, 600)));
        // Saved untouched, the new photograph is the upright picture.
        CHECK(samePixels(s.saveAndReadBack(), upright));
    }
}

TEST_CASE("a save that cannot go anywhere fails through the alert and creates nothing",
          "[editor][save][fault]") {
    SavingEditor s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    const size_t assetsBefore = s.library->allAssets().size();
    s.open(asset);
    foundation::LogCapture log;

    SECTION("no album chosen for the patient") {
        StaticVariableHelper::setTargetAlbumForOnePageImageEditor(std::nullopt);
        s.save();
        CHECK(log.contains("targetAlbum: (null)"));
    }
    SECTION("an album that is no longer in the library") {
        StaticVariableHelper::setTargetAlbumForOnePageImageEditor(store::PhotoAlbum{"gone/L0/040", "ID_p1"});
        s.save();
    }
    SECTION("a cut that misses the picture") {
        s.editor->imageView()->setFrame({5000, 5000, 600, 600});
        s.editor->saveNewImage();
    }
    auto alert = s.alert();
    REQUIRE(alert);
    CHECK(s.alertText("alertTitle") == "Failed To Save New Image");
    CHECK_FALSE(s.alertText("alertMessage").isEmpty());
    CHECK(log.contains("creating Asset Error: "));
    CHECK(ImageEditorViewController::photoLibraryBusyFlag().load() == 0);
    CHECK(s.library->allAssets().size() == assetsBefore);
    CHECK(s.editor->addAssetIdentifier().empty());
    alert->tapAction("OK");
    s.clock.finish();
    CHECK(s.root->presentedViewController() == nullptr);
    CHECK_FALSE(ZVProgressHUD::isVisible());
}

TEST_CASE("a save the library refuses takes the HUD away before its alert says why",
          "[editor][save][fault]") {
    SavingEditor s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    s.open(asset);
    const std::string why = s.blockLibraryWrites();
    // What was on screen when the HUD started to go.
    std::vector<bool> alertShownAtDismissal;
    auto watch = foundation::NotificationCenter::defaultCenter()->addObserver(
        ZVProgressHUDWillDisappearNotification, nullptr, nullptr,
        [&](const foundation::Notification&) { alertShownAtDismissal.push_back(s.alert() != nullptr); });
    s.save();
    auto alert = s.alert();
    REQUIRE(alert);
    CHECK(alertShownAtDismissal == std::vector<bool>{false});
    // Nothing of the HUD stays over the alert.
    s.clock.finish();
    CHECK(ZVProgressHUD::sharedView().existingOverlay() == nullptr);
    CHECK(s.alertText("alertTitle") == "Failed To Save New Image");
    CHECK(s.alertText("alertMessage").toStdString() == why);
    CHECK(alert->view()->isVisible());
    alert->tapAction("OK");
    s.clock.finish();
    CHECK(s.root->presentedViewController() == nullptr);
    CHECK(s.albumAssets().size() == 1);
}

TEST_CASE("closing: cancel leaves the HUD, back dismisses, an answer after the editor is gone does nothing",
          "[editor][save]") {
    SavingEditor s;
    const auto asset = s.put(s.patientAlbum, encoded(fourColour(80, 60), "PNG"));
    s.open(asset);
    SECTION("the close button cancels without touching the HUD") {
        ZVProgressHUD::showWithStatus("保存中");
        s.editor->imageView()->setFrame({-10, -10, 700, 700});
        QTest::mouseClick(s.editor->closeButton(), Qt::LeftButton);
        s.clock.finish();
        CHECK(s.root->presentedViewController() == nullptr);
        CHECK(ZVProgressHUD::isVisible());
        CHECK(s.editor->imageView()->frame() == s.editor->imageView()->defaultFrame());
    }
    SECTION("戻る dismisses at once") {
        QAbstractButton* back = s.barButton("戻る");
        REQUIRE(back);
        back->click();
        s.clock.finish();
        CHECK(s.root->presentedViewController() == nullptr);
    }
    SECTION("taps while a save settles change nothing") {
        PhotoEditorBase::setSettleSeconds(0.3);
        QAbstractButton* close = s.editor->closeButton();
        QAbstractButton* back = s.barButton("戻る");
        QTimer::singleShot(50, close, [close] { close->click(); });
        QTimer::singleShot(60, back, [back] { back->click(); });
        QTimer::singleShot(70, s.editor->rightRotateBtn(), [&] { s.editor->rightRotateBtn()->click(); });
        s.save();
        CHECK(s.editor->rotateType() == 0);
        REQUIRE(s.alert());
        CHECK(s.alertText("alertMessage") == "加工した画像を追加しました。");
        CHECK(s.root->presentedViewController() == s.editor);
    }
    SECTION("the success alert answered after the editor was thrown away") {
        s.save();
        auto alert = s.alert();
        REQUIRE(alert);
        std::weak_ptr<ImageEditorViewController> weak = s.editor;
        s.root->dismiss(false); // takes the editor and its alert away
        s.editor.reset();
        CHECK(weak.expired());
        alert->tapAction("OK");
        CHECK(s.root->presentedViewController() == nullptr);
    }
}

TEST_CASE("loading another patient's photos clears the editor's album", "[editor][fault]") {
    struct Albums : store::PhotoAlbumSource {
        std::vector<store::PhotoAlbum> userAlbums() override { return {{"A/L0/040", "ID_p1"}}; }
        std::vector<store::PhotoAsset> assetsInAlbum(const store::PhotoAlbum&) override { return {}; }
    };
    zurarerizIvaDadadavu d;
    d.setPhotoAlbumSource(std::make_shared<Albums>());
    const std::function<void()> loads[] = {[&d] { (void)d.getCertificatePhotoInfo(); },
                                           [&d] { (void)d.getLetterPhotoInfo(); },
                                           [&d] { d.getAssetsListFromLibrary(); }};
    for (const auto& load : loads) {
        d.patientID() = "p1";
        load();
        REQUIRE(StaticVariableHelper::targetAlbumForOnePageImageEditor().has_value());
        CHECK(StaticVariableHelper::targetAlbumForOnePageImageEditor()->localIdentifier == "A/L0/040");
        d.patientID() = "p2"; // no album of their own
        load();
        CHECK_FALSE(StaticVariableHelper::targetAlbumForOnePageImageEditor().has_value());
    }
}
