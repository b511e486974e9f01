#pragma once
// Opening a photograph in the editor or the large viewer: its file is read, decoded and made upright
// on a queue of its own, never on the GUI thread (a 12-megapixel picture takes a few hundred
// milliseconds), and the screen gets the picture on the main queue, ready to show.
#include <QImage>
#include <functional>
#include <memory>
#include <optional>

#include "platform/foundation/SerialQueue.h"
#include "platform/image/Image.h"
#include "platform/photos/PhotoLibrary.h"

namespace photoedit {

struct OpenedPhoto {
    ui::Image image;    // the whole picture, upright (orientation Up)
    QImage paintSource; // the copy the image view paints from (see moveObject::paintSourceFor)
};

using OpenedHandler = std::function<void(std::optional<OpenedPhoto> photo)>;

// Reads, decodes and normalises the asset's picture on the opening queue; `done` runs on the main
// queue with it, or with nothing when the file cannot be read or is no picture. Nothing is read and
// `done` never runs once `owner` (the screen that asked) is gone.
void openUpright(const photos::PhotoLibraryPtr& library, const photos::Asset& asset,
                 std::weak_ptr<const void> owner, OpenedHandler done);

// The queue the pictures are opened on, one at a time.
foundation::QueuePtr photoOpeningQueue();

} // namespace photoedit
