// Pictures for the screens: thumbnails at the asked size and upright, full data as stored, answers on
// the main thread, and nothing for a request that was cancelled or whose manager is gone.
#include <catch2/catch.hpp>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <tuple>

#include "platform/foundation/SerialQueue.h"
#include "platform/photos/ImageManager.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"
#include "tests/support/Pictures.h"
#include "tests/support/TestHome.h"

using photos::ImageContentMode;
using photos::ImageManager;

namespace {

struct Library {
    testsupport::TempHome home;
    photos::PhotoLibraryPtr library;
    Library() {
        ui::installMainQueueExecutor(); // answers come through the main queue, run by the event loop
        photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
        library = photos::PhotoLibrary::shared();
    }
    photos::Asset put(const QByteArray& bytes) {
        std::string id;
        REQUIRE_FALSE(library->performChangesAndWait(
            [&](photos::ChangeRequest& c) { id = c.createImageAsset(pictures::toData(bytes)); }));
        return library->assetsWithLocalIdentifiers({id}).front();
    }
    ~Library() { ui::removeMainQueueExecutor(); }
};

template <class T> std::optional<T> await(std::optional<std::optional<T>>& slot) {
    for (int i = 0; i < 400 && !slot; ++i)
        QTest::qWait(5);
    REQUIRE(slot.has_value());
    return *slot;
}

} // namespace

TEST_CASE("the decoded size covers or fits the target and never enlarges", "[photos][images]") {
    CHECK(ImageManager::scaledSize({4000, 3000}, {300, 300}, ImageContentMode::AspectFill) ==
          QSize(400, 300));
    CHECK(ImageManager::scaledSize({4000, 3000}, {300, 300}, ImageContentMode::AspectFit) == QSize(300, 225));
    CHECK(ImageManager::scaledSize({3000, 4000}, {300, 300}, ImageContentMode::AspectFill) ==
          QSize(300, 400));
    CHECK(ImageManager::scaledSize({80, 60}, {300, 300}, ImageContentMode::AspectFill) == QSize(80, 60));
    CHECK(ImageManager::scaledSize({0, 0}, {300, 300}, ImageContentMode::AspectFill) == QSize(0, 0));
}

TEST_CASE("a thumbnail arrives on the main thread at the asked size, upright", "[photos][images]") {
    Library l;
    ImageManager manager(l.library);
    // Stored 800 × 400, shown turned a quarter clockwise: 400 × 800 with the stored left half (red
    // over blue) on top, blue on the left.
    const QImage picture = pictures::fourColour(800, 400);
    const auto asset = l.put(pictures::jpegWithOrientation(picture, 6));

    std::optional<std::optional<ui::Image>> got;
    QThread* answeredOn = nullptr;
    manager.requestImage(asset, {300, 300}, ImageContentMode::AspectFill,
                         [&](std::optional<ui::Image> image) {
                             answeredOn = QThread::currentThread();
                             got = std::move(image);
                         });
    auto image = await(got);
    CHECK(answeredOn == QThread::currentThread());
    REQUIRE(image);
    CHECK(image->orientation == ui::ImageOrientation::Up);
    CHECK(image->bitmap.size() == QSize(300, 600));
    auto colour = [&](int x, int y) {
        const QColor c = image->bitmap.pixelColor(x, y);
        return std::tuple(c.red() > 150, c.green() > 150, c.blue() > 150);
    };
    CHECK(colour(75, 100) == std::tuple(false, false, true));  // blue
    CHECK(colour(225, 100) == std::tuple(true, false, false)); // red
    CHECK(colour(75, 500) == std::tuple(true, true, false));   // yellow
    CHECK(colour(225, 500) == std::tuple(false, true, false)); // green

    SECTION("the full data is the file as stored") {
        std::optional<std::optional<foundation::Data>> data;
        manager.requestImageDataForAsset(asset,
                                         [&](std::optional<foundation::Data> d) { data = std::move(d); });
        CHECK(await(data) == l.library->imageData(asset));
    }
}

TEST_CASE("an unreadable asset is answered with nothing and cancelled requests never", "[photos][images]") {
    Library l;
    const auto asset = l.put(pictures::encoded(pictures::fourColour(64, 64), "PNG"));
    photos::Asset unknown = asset;
    unknown.localIdentifier = "00000000-0000-0000-0000-000000000000/L0/001";
    {
        ImageManager manager(l.library);
        std::optional<std::optional<ui::Image>> got;
        manager.requestImage(unknown, {300, 300}, ImageContentMode::AspectFill,
                             [&](std::optional<ui::Image> image) { got = std::move(image); });
        CHECK_FALSE(await(got).has_value());
    }
    int answered = 0;
    {
        ImageManager manager(l.library);
        const auto id = manager.requestImage(asset, {300, 300}, ImageContentMode::AspectFill,
                                             [&](std::optional<ui::Image>) { ++answered; });
        manager.cancelImageRequest(id);
        // A manager that goes with requests in flight answers none of them.
        for (int i = 0; i < 5; ++i)
            manager.requestImageDataForAsset(asset, [&](std::optional<foundation::Data>) { ++answered; });
    }
    QTest::qWait(100);
    CHECK(answered == 0);
}

TEST_CASE("an answer that comes after the GUI loop has gone is dropped, never given on another thread",
          "[photos][images]") {
    Library l;
    const auto asset = l.put(pictures::encoded(pictures::fourColour(64, 64), "PNG"));
    ImageManager manager(l.library);
    // The loop goes (the application quits): the main queue runs on a thread of its own from now on.
    ui::removeMainQueueExecutor();
    std::atomic<int> answered{0}, offGuiThread{0};
    auto note = [&] {
        ++answered;
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offGuiThread;
    };
    manager.requestImage(asset, {300, 300}, ImageContentMode::AspectFill,
                         [&](std::optional<ui::Image>) { note(); });
    manager.requestImageDataForAsset(asset, [&](std::optional<foundation::Data>) { note(); });
    // The decodes take milliseconds; a late answer would be run by the main queue's own thread.
    for (int i = 0; i < 100 && answered == 0; ++i)
        foundation::SerialQueue::main()->drainUntil(std::chrono::steady_clock::now() +
                                                    std::chrono::milliseconds(20));
    CHECK(offGuiThread == 0);
    ui::installMainQueueExecutor(); // as the other cases have it; the fixture takes it away again
}
