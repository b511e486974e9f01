#pragma once
// Pictures of the library's assets for the screens: an image scaled to a target size (decoded off
// the main thread, at about that size, turned upright) and an asset's full file data. Answers come on
// the main queue. A handler may arrive after the screen that asked has closed: it holds only weak
// references to what it touches, and requests can be cancelled (their handlers then never run).
#include <QSize>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "platform/image/Image.h"
#include "platform/photos/PhotoLibrary.h"

class QThreadPool;

namespace photos {

enum class ImageContentMode { AspectFit = 0, AspectFill = 1 };

using ImageRequestID = int;

class ImageManager {
  public:
    // Null when the asset cannot be read or is no picture.
    using ImageHandler = std::function<void(std::optional<ui::Image> image)>;
    using DataHandler = std::function<void(std::optional<foundation::Data> data)>;

    explicit ImageManager(PhotoLibraryPtr library);
    ~ImageManager();
    ImageManager(const ImageManager&) = delete;
    ImageManager& operator=(const ImageManager&) = delete;

    // The manager of the shared library (a new one when the library was opened again).
    static std::shared_ptr<ImageManager> defaultManager();

    // An upright image (orientation Up) covering (AspectFill) or fitting in (AspectFit) the target
    // size in pixels, never larger than the picture itself.
    ImageRequestID requestImage(const Asset& asset, QSize targetSize, ImageContentMode mode,
                                ImageHandler handler);
    // The asset's file as stored.
    ImageRequestID requestImageDataForAsset(const Asset& asset, DataHandler handler);
    void cancelImageRequest(ImageRequestID request);

    // The pixel size a picture of `size` is decoded to for the request.
    static QSize scaledSize(QSize size, QSize targetSize, ImageContentMode mode);
    // Decodes encoded data at the request's size, upright; what requestImage does off the main thread.
    static std::optional<ui::Image> decode(const foundation::Data& data, QSize targetSize,
                                           ImageContentMode mode);

  private:
    struct Pending;
    class Runner;
    using Work = std::function<void(const std::shared_ptr<Pending>&, ImageRequestID)>;
    ImageRequestID start(Work work);

    std::weak_ptr<PhotoLibrary> library_;
    std::shared_ptr<Pending> pending_;
    std::unique_ptr<Runner> runner_; // outlives the pool, which is waited for first
    // Its own decoding threads, not the application's shared pool; waited for when the manager goes.
    std::unique_ptr<QThreadPool> pool_;
};

} // namespace photos
