// How long the photo editor takes to save a turned 12-megapixel photograph (its fixed waits set to
// zero) against a plain program that turns the same picture, encodes it as PNG and writes it durably,
// and the worst GUI-thread stall while it saves (a 1 ms timer on the GUI thread; target at most 50 ms).
// Prints the times, the ratio plain / editor and the stall; exits with 1 when the editor is slower than
// the plain path by more than a fifth (ratio below 0.8) or the GUI thread stalls for more than 50 ms.
//
//   bench_editor_save [rounds]      (default 5, at least 5; the home is a fresh temporary folder)
#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "app/photos/editor/ImageEditorViewController.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "app/shell/StaticVariableHelper.h"
#include "bench/BenchApp.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Log.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Window.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr qint64 kStallTargetMs = 50;

// A photograph-like picture: smooth light with grain, so PNG has work to do.
QImage photograph(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int r = std::clamp(60 + 150 * x / w + grain(random), 0, 255);
            const int g = std::clamp(90 + 120 * y / h + grain(random), 0, 255);
            const int b = std::clamp(140 + 60 * (x + y) / (w + h) + grain(random), 0, 255);
            line[x] = qRgb(r, g, b);
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 5;
    bench::BenchApp app(argc, argv);
    foundation::LogCapture quiet;

    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    auto library = photos::PhotoLibrary::shared();
    std::string albumID;
    if (library->performChangesAndWait(
            [&](photos::ChangeRequest& c) { albumID = c.createAlbum("ID_999999"); })) {
        std::fprintf(stderr, "the album could not be made\n");
        return 2;
    }
    StaticVariableHelper::setTargetAlbumForOnePageImageEditor(store::PhotoAlbum{albumID, "ID_999999"});
    PhotoEditorBase::setSettleSeconds(0);
    PhotoEditorBase::setSuccessPauseSeconds(0);

    const QImage picture = photograph(4000, 3000);
    auto editor = std::make_shared<ImageEditorViewController>();
    ui::Window window;
    window.resize(768, 1024);
    window.setRootViewController(editor);
    window.makeKeyAndVisible();
    ZVProgressHUD::setHostWindow(&window);
    const std::string folder = app.homePath();

    // The GUI thread's pulse during the saves: the longest gap between two ticks is the worst stall.
    QElapsedTimer sinceTick;
    qint64 worstMs = 0;
    bool measuring = false;
    QTimer pulse;
    pulse.setInterval(1);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.restart();
        if (measuring) worstMs = std::max(worstMs, gap);
    });
    sinceTick.start();
    pulse.start();

    std::vector<double> edited, plain;
    for (int round = 0; round < rounds + 1; ++round) {
        editor->setImage({picture, ui::ImageOrientation::Up});
        editor->getDefaultPhotoRect(QSizeF(picture.size()));
        editor->setRotateType(0);
        editor->setReversalVertical(false);
        editor->setReversalHorizontal(false);
        editor->changeRotateAndReverse(true);
        editor->rightAngleRotation();
        QApplication::processEvents();

        // The save starts from a tick, as a tap on its button would; its first turn counts in full.
        sinceTick.restart();
        measuring = round > 0; // the first warms the caches
        auto t = Clock::now();
        editor->saveNewImage();
        const double save = std::chrono::duration<double>(Clock::now() - t).count();
        // The last turn of the save, up to the next tick.
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        measuring = false;
        auto alert = std::dynamic_pointer_cast<ui::AlertController>(editor->presentedViewController());
        if (!alert || editor->addAssetIdentifier().empty()) {
            std::fprintf(stderr, "the editor's save failed\n");
            return 2;
        }
        alert->tapAction("OK");

        t = Clock::now();
        const QImage turned = picture.transformed(QTransform().rotate(90));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        turned.save(&buffer, "PNG");
        foundation::replaceFile(folder + "/plain.png", png.constData(), size_t(png.size()),
                                foundation::FileSync::DataAndFolder);
        const double direct = std::chrono::duration<double>(Clock::now() - t).count();
        if (round == 0) continue; // warm caches first
        edited.push_back(save);
        plain.push_back(direct);
    }
    const double ratio = bench::median(plain) / bench::median(edited);
    std::printf("editor save, turned 4000 x 3000:        %.1f ms (median of %d)\n",
                bench::median(edited) * 1000, rounds);
    std::printf("plain turn + PNG + durable write:       %.1f ms\n", bench::median(plain) * 1000);
    std::printf("ratio plain / editor: %.2f (target at least 0.80)\n", ratio);
    std::printf("worst GUI-thread stall while saving:    %lld ms (target at most %lld ms)\n",
                static_cast<long long>(worstMs), static_cast<long long>(kStallTargetMs));
    pulse.stop();
    ZVProgressHUD::setHostWindow(nullptr);
    return ratio >= 0.8 && worstMs <= kStallTargetMs ? 0 : 1;
}
