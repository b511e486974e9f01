#pragma once
// The photo selection screens in a launched clinic whose library holds photographs in the camera
// album, driven through their widgets.
#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/photos/albums/PhotoAlbumScan.h"
#include "app/photos/select/selectPhotoCell.h"
#include "app/photos/select/selectPhotosView.h"
#include "app/photos/select/selectPhotosViewTop.h"
#include "app/store/FormJson.h"
#include "platform/photos/LibraryWait.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Tag.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/support/SpoiledAsset.h"

namespace selecttest {

// A JPEG of w × h, different for each seed.
inline foundation::Data jpeg(int seed, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor((seed * 37) & 255, (seed * 11) & 255, (seed * 53) & 255));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "JPEG", 90);
    return foundation::Data(bytes.begin(), bytes.end());
}

struct SelectApp {
    registtest::RegistApp app;
    photos::PhotoLibraryPtr library = photos::PhotoLibrary::shared();
    std::shared_ptr<selectPhotosView> screen;

    SelectApp() {
        photoalbums::PhotoAlbumScan::setSettleSeconds(0);
        app.delegate().patientID() = "999999";
    }
    ~SelectApp() {
        screen.reset();
        photoalbums::PhotoAlbumScan::setSettleSeconds(0.8);
        photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    }

    // New photographs in the album of this title (made when missing), as JPEGs of w × h.
    std::vector<std::string> put(const std::string& title, int n, int w = 640, int h = 480) {
        std::vector<std::string> ids;
        REQUIRE_FALSE(library->performChangesAndWait([&](photos::ChangeRequest& c) {
            for (int i = 0; i < n; ++i)
                ids.push_back(c.createImageAsset(jpeg(int(ids.size()) + 7, w, h)));
            c.addAssetsToAlbumTitled(title, ids);
        }));
        return ids;
    }
    // A new photograph of these bytes in the album of this title (made when missing).
    photos::Asset putFile(const std::string& title, const QByteArray& bytes) {
        std::string id;
        REQUIRE_FALSE(library->performChangesAndWait([&](photos::ChangeRequest& c) {
            id = c.createImageAsset(foundation::Data(bytes.begin(), bytes.end()));
            c.addAssetsToAlbumTitled(title, {id});
        }));
        return library->assetsWithLocalIdentifiers({id}).front();
    }
    // The picture stored for the asset, decoded as it is in the file.
    QImage stored(const std::string& id) const {
        const auto assets = library->assetsWithLocalIdentifiers({id});
        REQUIRE(assets.size() == 1);
        auto data = library->imageData(assets.front());
        REQUIRE(data.has_value());
        return QImage::fromData(
            QByteArray(reinterpret_cast<const char*>(data->data()), qsizetype(data->size())));
    }
    void spoil(const std::string& id) { testsupport::spoilAsset(*library, id); }
    std::vector<std::string> ids(const std::string& title) const {
        std::vector<std::string> out;
        for (const auto& album : library->albumsWithTitle(title))
            for (const auto& a : library->assetsInAlbum(album))
                out.push_back(a.localIdentifier);
        return out;
    }

    std::shared_ptr<selectPhotosViewTop> openMenu() {
        auto menu = app.launched.navigation()->viewControllers().front();
        auto* button = menu->view()->findChild<QPushButton*>("selectPhotoButton");
        if (!button || button->isHidden()) return nullptr;
        button->click();
        return std::dynamic_pointer_cast<selectPhotosViewTop>(app.top());
    }
    // From the main menu to the selection screen of the kind button's tag (1 normal, 2 VELscope,
    // 3 X-ray); null when the gate stops it.
    std::shared_ptr<selectPhotosView> open(int kindTag, const std::string& pid = "999999") {
        auto menu = openMenu();
        if (!menu) return nullptr;
        registtest::type(menu->patientIDBox(), QString::fromStdString(pid));
        QTest::mouseClick(menu->kindButton(kindTag), Qt::LeftButton);
        screen = std::dynamic_pointer_cast<selectPhotosView>(app.top());
        settle();
        return screen;
    }
    // Back to the main menu, letting the screen go.
    void close() {
        app.launched.navigation()->popToRootViewController(false);
        screen.reset();
        app.launched.settle(20);
    }
    // Until the pictures asked for have come in.
    void settle() {
        for (int i = 0; i < 100 && screen && screen->processFlg(); ++i)
            QTest::qWait(10);
        app.launched.settle(80);
    }

    ui::ImageView* slot(int tag) const { return qobject_cast<ui::ImageView*>(screen->slotView(tag)); }
    void touchSlot(int tag) { QTest::mouseClick(slot(tag), Qt::LeftButton, {}, QPoint(20, 20)); }
    void tapThumbnail(int item) {
        auto* cell = screen->collectionView()->cellForItem(item);
        REQUIRE(cell);
        QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(30, 30));
        settle();
    }
    std::shared_ptr<largePhotoView> viewer() const {
        return std::dynamic_pointer_cast<largePhotoView>(screen->childViewControllers().front());
    }
    // Until the viewer shows the asset (false when it never does).
    bool waitForViewer(const std::string& id) {
        auto shown = [&] {
            return screen->largePhotoContainer()->isVisible() &&
                   viewer()->targetAsset().localIdentifier == id;
        };
        for (int i = 0; i < 500 && !shown(); ++i)
            QTest::qWait(5);
        return shown();
    }
    // Pressed and held past the long press, then let go once the viewer had time to open.
    void longPress(QWidget* view) {
        REQUIRE(view);
        QTest::mousePress(view, Qt::LeftButton, {}, QPoint(30, 30));
        QTest::qWait(600);
        QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(30, 30));
        app.launched.settle(80);
    }
    // The photographs the grid shows, in order, as its cells know them.
    std::vector<std::string> grid() const {
        std::vector<std::string> out;
        auto* view = screen->collectionView();
        for (int i = 0; i < view->numberOfItems(); ++i) {
            view->scrollToItem(i);
            auto* cell = dynamic_cast<PhotoThumbnailCell*>(view->cellForItem(i));
            out.push_back(cell ? cell->assetIdentifier() : "");
        }
        return out;
    }
    std::vector<std::string> pool() const {
        std::vector<std::string> out;
        for (const auto& a : screen->albumScan()->assetsList)
            out.push_back(a.localIdentifier);
        return out;
    }
    const store::FormData& board() const { return screen->albumScan()->selectedTagList; }

    std::shared_ptr<ui::AlertController> alert() const { return app.alert(); }
    // Registers and waits for the outcome's alert.
    std::shared_ptr<ui::AlertController> registerBoard() {
        app.tapRegister();
        app.launched.settle(30);
        return alert();
    }
    // A slot row of the patient, as a register before this test would have left it.
    void storeSlots(const store::FormData& stored, const std::string& kind = "normal") const {
        app.probe().exec("INSERT INTO photoMst VALUES ('10000', '999999', '札幌　太郎', '" + kind +
                         "', '{\"rowsList\":[]}', '2001-01-01', '', '" + store::formDataJSON(stored) + "')");
    }
    std::optional<store::FormData> storedSlots(const std::string& kind = "normal") const {
        auto rows = app.probe().rows("SELECT photo_num FROM photoMst WHERE pid = '999999' AND category = '" +
                                     kind + "'");
        if (rows.empty()) return std::nullopt;
        return store::formDataFromJSON(rows[0][0].value_or(""));
    }
};

} // namespace selecttest
