#include "app/photos/editing/PhotoOpening.h"

#include "app/photos/editing/ImageRepair.h"
#include "app/photos/editing/moveObject.h"

namespace photoedit {

foundation::QueuePtr photoOpeningQueue() {
    static const foundation::QueuePtr queue = foundation::SerialQueue::create("photos.opening");
    return queue;
}

void openUpright(const photos::PhotoLibraryPtr& library, const photos::Asset& asset,
                 std::weak_ptr<const void> owner, OpenedHandler done) {
    std::weak_ptr<photos::PhotoLibrary> weakLibrary = library;
    photoOpeningQueue()->async([weakLibrary, asset, owner, done = std::move(done)] {
        if (owner.expired()) return; // the screen closed before its turn came
        std::optional<OpenedPhoto> photo;
        auto library = weakLibrary.lock();
        auto data = library ? library->imageData(asset) : std::nullopt;
        if (data) {
            if (auto decoded = ui::Image::fromData(*data)) {
                ui::Image upright = repairImage(*decoded);
                QImage paintSource = moveObject::paintSourceFor(upright.bitmap);
                photo = OpenedPhoto{std::move(upright), std::move(paintSource)};
            }
        }
        foundation::SerialQueue::main()->async([owner, done, photo = std::move(photo)]() mutable {
            if (owner.expired()) return;
            done(std::move(photo));
        });
    });
}

} // namespace photoedit
