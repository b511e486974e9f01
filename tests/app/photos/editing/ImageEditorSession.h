#pragma once
// A test home with an authorised photo library, the editor's waits shortened, a window with a plain
// root screen, and helpers to put pictures into albums and read them back.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <catch2/catch.hpp>

#include "app/photos/editing/PhotoEditorBase.h"
#include "app/photos/editing/PhotoOpening.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/ManualAnimationClock.h"
#include "tests/support/Pictures.h"
#include "tests/support/SpoiledAsset.h"
#include "tests/support/TestHome.h"

namespace editortest {

struct EditorSession {
    testsupport::TempHome home;
    testsupport::ManualAnimationClock clock;
    photos::PhotoLibraryPtr library;
    std::shared_ptr<ui::ViewController> root = std::make_shared<ui::ViewController>();
    ui::Window window;

    EditorSession() {
        ui::installMainQueueExecutor(); // as the application does: the main queue is the event loop
        photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
        library = photos::PhotoLibrary::shared();
        PhotoEditorBase::setSettleSeconds(0);
        PhotoEditorBase::setSuccessPauseSeconds(0);
        window.resize(768, 1024);
        window.setRootViewController(root);
        window.makeKeyAndVisible();
        ZVProgressHUD::setHostWindow(&window);
    }
    ~EditorSession() {
        ZVProgressHUD::dismiss();
        clock.finish();
        ZVProgressHUD::setHostWindow(nullptr);
        PhotoEditorBase::setSettleSeconds(0.8);
        PhotoEditorBase::setSuccessPauseSeconds(2);
        ui::removeMainQueueExecutor();
    }

    photos::Album album(const std::string& title) {
        std::string id;
        REQUIRE_FALSE(
            library->performChangesAndWait([&](photos::ChangeRequest& c) { id = c.createAlbum(title); }));
        return *library->albumWithLocalIdentifier(id);
    }
    photos::Asset put(const photos::Album& album, const QByteArray& bytes) {
        std::string id;
        REQUIRE_FALSE(library->performChangesAndWait([&](photos::ChangeRequest& c) {
            id = c.createImageAsset(pictures::toData(bytes));
            c.addAssets(album.localIdentifier, {id});
        }));
        return library->assetsWithLocalIdentifiers({id}).front();
    }
    // The picture of an asset as the host screens open it: read, decoded and made upright off the GUI
    // thread, answered on the main queue.
    photoedit::OpenedPhoto opened(const photos::Asset& asset) {
        auto owner = std::make_shared<int>();
        std::optional<std::optional<photoedit::OpenedPhoto>> answer;
        photoedit::openUpright(library, asset, owner, [&answer](std::optional<photoedit::OpenedPhoto> photo) {
            answer = std::move(photo);
        });
        for (int i = 0; i < 1000 && !answer; ++i)
            QTest::qWait(5);
        REQUIRE(answer.has_value());
        REQUIRE(answer->has_value());
        return std::move(**answer);
    }
    void spoil(const photos::Asset& asset) { testsupport::spoilAsset(*library, asset.localIdentifier); }
    // From now on no photograph can be written: a file stands where the library keeps its folders of
    // originals, as on a disk that refuses new files. Returns the description of the error a change
    // that creates a photograph then fails with.
    std::string blockLibraryWrites() {
        const QString originals = QString::fromStdString(library->root() + "/originals");
        REQUIRE(QDir().rename(originals, originals + ".kept"));
        QFile blocker(originals);
        REQUIRE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        auto error = library->performChangesAndWait([](photos::ChangeRequest& c) {
            c.createImageAsset(pictures::toData(pictures::encoded(pictures::fourColour(8, 8), "PNG")));
        });
        REQUIRE(error);
        return error->localizedDescription();
    }
    QImage stored(const photos::Asset& asset) {
        auto data = library->imageData(asset);
        REQUIRE(data.has_value());
        return QImage::fromData(
            QByteArray(reinterpret_cast<const char*>(data->data()), qsizetype(data->size())));
    }
};

// The host's set-up, in the order the host screens follow.
inline void handOver(PhotoEditorBase& editor, const photoedit::OpenedPhoto& photo,
                     const photos::Asset& asset) {
    const ui::Image& image = photo.image;
    editor.loadViewIfNeeded();
    editor.setImage(image, photo.paintSource);
    editor.getDefaultPhotoRect(QSizeF(image.size()));
    editor.setTargetAsset(asset);
    editor.setRotateType(0);
    editor.setReversalVertical(false);
    editor.setReversalHorizontal(false);
    editor.changeRotateAndReverse(true);
}

} // namespace editortest
