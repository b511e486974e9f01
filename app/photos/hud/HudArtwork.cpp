#include "app/photos/hud/HudArtwork.h"

#include "app/assets/PageResources.h"

namespace hud {

QImage bundleImage(const QString& name) {
    // Kept by the loader: the HUD only draws these pictures, each a copy of its own to change.
    return assets::bundlePicture("ZVProgressHUD.bundle/" + name.toStdString() + ".png").toImage();
}

} // namespace hud
