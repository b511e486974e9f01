// Opening 12-megapixel photographs (stored turned, EXIF 6) in the photo editor as the host screens do:
// read, decoded and made upright off the GUI thread, then handed over and painted. Reports the worst
// GUI-thread stall while they open (a 1 ms timer on the GUI thread; target at most 50 ms), and the
// time from asking to shown against a plain loop doing the same reading, decoding, turning and
// scaling one after the other (the floor). Exits with 1 when the worst stall is over 50 ms.
//
//   bench_photo_open [photos]      (default 6; the home is a fresh temporary folder)
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "app/photos/editing/ImageRepair.h"
#include "app/photos/editing/PhotoOpening.h"
#include "app/photos/editing/moveObject.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "bench/BenchApp.h"
#include "platform/foundation/Log.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/MainQueue.h"
#include "platform/ui/Window.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr double kStallTarget = 0.050;

// A photograph-like JPEG (smooth light with grain) of w x h with the EXIF orientation 6.
QByteArray photographJpeg(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(std::clamp(60 + 150 * x / w + grain(random), 0, 255),
                           std::clamp(90 + 120 * y / h + grain(random), 0, 255),
                           std::clamp(140 + 60 * (x + y) / (w + h) + grain(random), 0, 255));
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 92);
    // An APP1 segment holding only the orientation tag, right after the start of image.
    const char exif[] = {'\xFF', '\xE1', 0, 34,   'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, '*', 0, 0, 0, 8,
                         0,      1,      1, 0x12, 0,   3,   0,   0,   0, 1, 0,   6,   0, 0,   0, 0, 0, 0};
    return jpeg.left(2) + QByteArray(exif, sizeof exif) + jpeg.mid(2);
}

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
    bench::BenchApp app(argc, argv);
    ui::installMainQueueExecutor();
    foundation::LogCapture quiet;

    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    auto library = photos::PhotoLibrary::shared();
    const QByteArray file = photographJpeg(4000, 3000);
    std::vector<photos::Asset> assets;
    for (int i = 0; i < count + 1; ++i) {
        std::string id;
        if (library->performChangesAndWait([&](photos::ChangeRequest& c) {
                id = c.createImageAsset(foundation::Data(file.begin(), file.end()));
            })) {
            std::fprintf(stderr, "the photographs could not be stored\n");
            return 2;
        }
        assets.push_back(library->assetsWithLocalIdentifiers({id}).front());
    }

    // The floor: the same reading, decoding, turning and scaling in a plain loop.
    std::vector<double> plain;
    for (const auto& asset : assets) {
        const auto t = Clock::now();
        auto data = library->imageData(asset);
        auto decoded = data ? ui::Image::fromData(*data) : std::nullopt;
        if (!decoded) return 2;
        const ui::Image upright = photoedit::repairImage(*decoded);
        const QImage paint = moveObject::paintSourceFor(upright.bitmap);
        if (paint.isNull()) return 2;
        plain.push_back(seconds(t));
    }

    auto editor = std::make_shared<ImageEditorViewController>();
    ui::Window window;
    window.resize(768, 1024);
    window.setRootViewController(editor);
    window.makeKeyAndVisible();
    editor->loadViewIfNeeded();
    QApplication::processEvents();

    // The GUI thread's pulse: the longest gap between two ticks is the worst stall.
    QElapsedTimer sinceTick;
    qint64 worstMs = 0;
    QTimer pulse;
    pulse.setInterval(1);
    QObject::connect(&pulse, &QTimer::timeout, [&] { worstMs = std::max(worstMs, sinceTick.restart()); });
    sinceTick.start();
    pulse.start();

    std::vector<double> opened;
    auto owner = std::make_shared<int>();
    for (size_t i = 0; i < assets.size(); ++i) {
        const auto t = Clock::now();
        bool shown = false;
        photoedit::openUpright(library, assets[i], owner, [&](std::optional<photoedit::OpenedPhoto> photo) {
            if (!photo) return;
            editor->setImage(photo->image, photo->paintSource);
            editor->getDefaultPhotoRect(QSizeF(photo->image.size()));
            editor->setRotateType(0);
            editor->setReversalVertical(false);
            editor->setReversalHorizontal(false);
            editor->changeRotateAndReverse(true);
            editor->view()->repaint(); // painted now, inside the measured turn
            shown = true;
        });
        while (!shown)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (i > 0) opened.push_back(seconds(t)); // the first warms the caches
        if (i == 0) worstMs = 0, sinceTick.restart();
    }
    pulse.stop();

    const double floor = bench::median(plain), ours = bench::median(opened);
    std::printf("worst GUI-thread stall while %d photographs of 4000 x 3000 opened: %lld ms (target at most "
                "%.0f ms)\n",
                count, static_cast<long long>(worstMs), kStallTarget * 1000);
    std::printf("floor, plain read + decode + turn + paint copy:  %.1f ms (median)\n", floor * 1000);
    std::printf("ours, asked to shown in the editor:              %.1f ms (median)\n", ours * 1000);
    std::printf("ratio floor / ours: %.2f\n", floor / ours);
    ui::removeMainQueueExecutor();
    return worstMs <= kStallTarget * 1000 ? 0 : 1;
}
