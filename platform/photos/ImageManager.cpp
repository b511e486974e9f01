#include "platform/photos/ImageManager.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <cmath>
#include <deque>
#include <utility>

#include "platform/foundation/SerialQueue.h"
#include "platform/image/ImageDecoding.h"

namespace photos {

namespace {
// Answers are for the screens. Once the GUI loop has gone (the application quitting, a test's
// application torn down) the main queue runs on a thread of its own, where no widget may be touched:
// a late answer is dropped then.
bool onGuiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}
} // namespace

// The requests not yet answered, and the work not yet begun; shared with the work in flight, which
// may outlive the manager.
struct ImageManager::Pending {
    std::mutex mutex;
    std::set<ImageRequestID> live;
    ImageRequestID next = 1;
    // Handed to the pool's threads under our lock, not inside the task Qt carries: Qt's own hand-over
    // is invisible to the thread checker, which would take a thread's first read of the work for a race
    // with its making.
    std::deque<std::pair<ImageRequestID, Work>> work;

    // Whether the request still wants its answer; it is answered at most once.
    bool take(ImageRequestID id) {
        std::lock_guard lock(mutex);
        return live.erase(id) > 0;
    }
};

// Started once for every piece of work: each run takes the oldest not yet begun. Made before the pool
// has a thread, so every thread sees it whole.
class ImageManager::Runner final : public QRunnable {
  public:
    explicit Runner(std::shared_ptr<Pending> pending) : pending_(std::move(pending)) { setAutoDelete(false); }
    void run() override {
        std::pair<ImageRequestID, Work> next;
        {
            std::lock_guard lock(pending_->mutex);
            if (pending_->work.empty()) return; // dropped with the manager
            next = std::move(pending_->work.front());
            pending_->work.pop_front();
        }
        next.second(pending_, next.first);
    }

  private:
    const std::shared_ptr<Pending> pending_;
};

ImageManager::ImageManager(PhotoLibraryPtr library)
    : library_(library), pending_(std::make_shared<Pending>()), runner_(std::make_unique<Runner>(pending_)),
      pool_(std::make_unique<QThreadPool>()) {
    pool_->setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

ImageManager::~ImageManager() {
    std::deque<std::pair<ImageRequestID, Work>> dropped;
    {
        std::lock_guard lock(pending_->mutex);
        pending_->live.clear();
        dropped = std::exchange(pending_->work, {});
    }
    // Decodes not yet started are dropped (outside the lock: they hold what they would touch); those
    // running finish into cancelled requests.
    dropped.clear();
    pool_->clear();
    pool_->waitForDone();
}

std::shared_ptr<ImageManager> ImageManager::defaultManager() {
    static std::mutex mutex;
    static std::shared_ptr<ImageManager> manager;
    static std::weak_ptr<PhotoLibrary> of;
    auto library = PhotoLibrary::shared();
    std::lock_guard lock(mutex);
    if (!manager || of.lock() != library) {
        manager = std::make_shared<ImageManager>(library);
        of = library;
    }
    return manager;
}

QSize ImageManager::scaledSize(QSize size, QSize target, ImageContentMode mode) {
    if (size.isEmpty() || target.isEmpty()) return size;
    const double sx = double(target.width()) / size.width(), sy = double(target.height()) / size.height();
    const double scale = mode == ImageContentMode::AspectFill ? std::max(sx, sy) : std::min(sx, sy);
    if (scale >= 1) return size; // never enlarged
    return QSize(std::max(1, int(std::lround(size.width() * scale))),
                 std::max(1, int(std::lround(size.height() * scale))));
}

std::optional<ui::Image> ImageManager::decode(const foundation::Data& data, QSize target,
                                              ImageContentMode mode) {
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
    imaging::PictureReader reader(bytes, imaging::Orientation::Upright);
    const QSize stored = reader.size();
    if (stored.isValid()) {
        // The reader scales the stored bitmap, before turning it upright.
        const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
        const QSize upright = turned ? stored.transposed() : stored;
        const QSize scaled = scaledSize(upright, target, mode);
        if (scaled != upright) reader.setScaledSize(turned ? scaled.transposed() : scaled);
    }
    QImage image = reader.read();
    if (image.isNull()) return std::nullopt;
    return ui::Image{std::move(image), ui::ImageOrientation::Up};
}

ImageRequestID ImageManager::start(Work work) {
    ImageRequestID id;
    {
        std::lock_guard lock(pending_->mutex);
        id = pending_->next++;
        pending_->live.insert(id);
        pending_->work.emplace_back(id, std::move(work));
    }
    pool_->start(runner_.get());
    return id;
}

ImageRequestID ImageManager::requestImage(const Asset& asset, QSize targetSize, ImageContentMode mode,
                                          ImageHandler handler) {
    std::weak_ptr<PhotoLibrary> weakLibrary = library_;
    return start([=, handler = std::move(handler)](const std::shared_ptr<Pending>& pending,
                                                   ImageRequestID id) {
        std::optional<ui::Image> image;
        if (auto library = weakLibrary.lock())
            if (auto data = library->imageData(asset)) image = decode(*data, targetSize, mode);
        foundation::SerialQueue::main()->async([pending, id, handler, image = std::move(image)]() mutable {
            if (pending->take(id) && handler && onGuiThread()) handler(std::move(image));
        });
    });
}

ImageRequestID ImageManager::requestImageDataForAsset(const Asset& asset, DataHandler handler) {
    std::weak_ptr<PhotoLibrary> weakLibrary = library_;
    return start(
        [=, handler = std::move(handler)](const std::shared_ptr<Pending>& pending, ImageRequestID id) {
            std::optional<foundation::Data> data;
            if (auto library = weakLibrary.lock()) data = library->imageData(asset);
            foundation::SerialQueue::main()->async([pending, id, handler, data = std::move(data)]() mutable {
                if (pending->take(id) && handler && onGuiThread()) handler(std::move(data));
            });
        });
}

void ImageManager::cancelImageRequest(ImageRequestID request) {
    std::lock_guard lock(pending_->mutex);
    pending_->live.erase(request);
}

} // namespace photos
