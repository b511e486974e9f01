// How long 100 thumbnails of 12-megapixel photographs take to reach a grid's cells through the image
// manager (decoded off the main thread at the cell's size, answered on the main queue) against the
// floor: the same files read and decoded at the same size by as many threads as the manager's pool
// has (max(2, ideal thread count)), each taking the next photograph until none is left.
// After a warm-up round of each, prints the medians, their ratio floor / ours and exits with 1 when
// ours is slower than the floor by more than a fifth (ratio below 0.8).
//
//   bench_thumbnails [rounds]      (default 5, at least 5; the home is a fresh temporary folder)
#include <QApplication>
#include <QBuffer>
#include <QImageReader>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

#include "app/photos/select/selectPhotoCell.h"
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

// The floor: `threads` plain threads read and decode the photographs at the thumbnail's size (4000 x
// 3000 covering 300 x 300), each taking the next one until all are done. True when all decoded.
bool decodeAll(const photos::PhotoLibrary& library, const std::vector<photos::Asset>& assets, int threads) {
    std::atomic<size_t> next{0};
    std::atomic<int> decoded{0};
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            for (size_t i = next++; i < assets.size(); i = next++) {
                auto bytes = library.imageData(assets[i]);
                if (!bytes) continue;
                QByteArray encoded = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes->data()),
                                                             qsizetype(bytes->size()));
                QBuffer buffer(&encoded);
                buffer.open(QIODevice::ReadOnly);
                QImageReader reader(&buffer);
                reader.setAutoTransform(true);
                reader.setScaledSize(QSize(400, 300));
                decoded += !reader.read().isNull();
            }
        });
    for (auto& t : pool)
        t.join();
    return decoded == int(assets.size());
}

// One pass of the grid through the image manager, in seconds.
double throughManager(const photos::PhotoLibraryPtr& library, const std::vector<photos::Asset>& assets) {
    Grid grid;
    grid.assets = assets;
    grid.manager = std::make_shared<photos::ImageManager>(library);
    const auto start = Clock::now();
    grid.view->reloadData();
    while (grid.delivered < kCount)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 5;
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

    // The image manager's pool: as many threads decode in the floor.
    const int threads = std::max(2, QThread::idealThreadCount());
    std::vector<double> ours, floors;
    for (int round = 0; round <= rounds; ++round) { // round 0 warms up caches and decoders
        const double o = throughManager(library, assets);
        const auto start = Clock::now();
        if (!decodeAll(*library, assets, threads))
            std::fprintf(stderr, "the floor did not decode them all\n");
        const double f = std::chrono::duration<double>(Clock::now() - start).count();
        if (round == 0) continue;
        ours.push_back(o);
        floors.push_back(f);
    }
    const double o = bench::median(ours), f = bench::median(floors);
    std::printf("floor (%d threads read and decode): %.3f s (median of %d)\n", threads, f, rounds);
    std::printf("grid through the image manager:   %.3f s (median of %d)\n", o, rounds);
    std::printf("ratio floor / ours: %.2f (target >= 0.8)\n", f / o);
    ui::removeMainQueueExecutor();
    return f / o >= 0.8 ? 0 : 1;
}
