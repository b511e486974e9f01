// How long 100 thumbnails of 12-megapixel photographs take to reach a grid's cells through the image
// manager (decoded off the main thread at the cell's size, answered on the main queue) against a
// plain loop that reads and decodes the same files at the same size, one after the other.
// Prints the times and the ratio plain / ours; exits with 1 when ours is slower than the plain loop
// by more than a fifth (ratio below 0.8).
//
//   bench_thumbnails [rounds]      (default 3; the home is a fresh temporary folder)
#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "app/photos/selectPhotoCell.h"
#include "bench/BenchApp.h"
#include "platform/foundation/Log.h"
#include "platform/photos/ImageManager.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/MainQueue.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kCount = 100;
const QSize kThumbnail(300, 300);

// A photograph-like picture: smooth light with grain, so the JPEG has detail to decode.
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
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 92);
    return bytes;
}

// The grid: 100 cells in sight, each asking the manager for its thumbnail.
struct Grid : ui::CollectionViewDataSource {
    std::vector<photos::Asset> assets;
    std::shared_ptr<photos::ImageManager> manager;
    QWidget window;
    ui::CollectionView* view = new ui::CollectionView(&window);
    int delivered = 0;

    Grid() {
        window.resize(1100, 1100);
        view->setGeometry(window.rect());
        view->setItemSize(QSize(100, 100));
        view->setSpacing(8);
        view->registerCell("thumbnailCell", [] { return new selectPhotoCell; });
        view->setDataSource(this);
        window.show();
    }
    ~Grid() override { view->setDataSource(nullptr); }
    int numberOfItemsInSection(ui::CollectionView&, int) override { return int(assets.size()); }
    ui::CollectionViewCell* cellForItemAt(ui::CollectionView& v, int item) override {
        auto* cell = static_cast<selectPhotoCell*>(v.dequeueReusableCell("thumbnailCell", item));
        QPointer<selectPhotoCell> weak = cell;
        manager->requestImage(assets[item], kThumbnail, photos::ImageContentMode::AspectFill,
                              [this, weak](std::optional<ui::Image> image) {
                                  if (weak && image) weak->setImage(image->bitmap);
                                  ++delivered;
                              });
        return cell;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    bench::BenchApp app(argc, argv);
    foundation::LogCapture quiet;
    ui::installMainQueueExecutor();

    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    auto library = photos::PhotoLibrary::shared();
    const QByteArray jpeg = photographJpeg(4000, 3000);
    const foundation::Data data(jpeg.begin(), jpeg.end());
    std::vector<std::string> ids;
    if (library->performChangesAndWait([&](photos::ChangeRequest& c) {
            for (int i = 0; i < kCount; ++i)
                ids.push_back(c.createImageAsset(data));
        })) {
        std::fprintf(stderr, "the photographs could not be stored\n");
        return 2;
    }
    const auto assets = library->assetsWithLocalIdentifiers(ids);
    std::printf("%d photographs of 4000 x 3000 (%lld bytes each)\n", kCount,
                static_cast<long long>(jpeg.size()));

    std::vector<double> ours, plain;
    for (int round = 0; round < rounds; ++round) {
        {
            Grid grid;
            grid.assets = assets;
            grid.manager = std::make_shared<photos::ImageManager>(library);
            const auto start = Clock::now();
            grid.view->reloadData();
            while (grid.delivered < kCount)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            ours.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        }
        {
            const auto start = Clock::now();
            int decoded = 0;
            for (const auto& asset : assets) {
                auto bytes = library->imageData(asset);
                if (!bytes) continue;
                QByteArray encoded(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size()));
                QBuffer buffer(&encoded);
                buffer.open(QIODevice::ReadOnly);
                QImageReader reader(&buffer);
                reader.setAutoTransform(true);
                reader.setScaledSize(QSize(400, 300)); // 4000 x 3000 covering 300 x 300
                decoded += !reader.read().isNull();
            }
            plain.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            if (decoded != kCount) std::fprintf(stderr, "only %d decoded\n", decoded);
        }
    }
    const double o = bench::median(ours), p = bench::median(plain);
    std::printf("grid through the image manager: %.3f s (median of %d)\n", o, rounds);
    std::printf("plain decode loop:              %.3f s\n", p);
    std::printf("ratio plain / ours: %.2f\n", p / o);
    ui::removeMainQueueExecutor();
    return p / o >= 0.8 ? 0 : 1;
}
