#include "app/photos/hud/HudArtwork.h"

#include "platform/foundation/Bundle.h"
#include "platform/image/ImageDecoding.h"

namespace hud {

QImage bundleImage(const QString& name) {
    auto path =
        foundation::Bundle::main()->pathForResource("ZVProgressHUD.bundle/" + name.toStdString(), "png");
    if (!path) return {};
    return imaging::decodeFile(QString::fromStdString(*path));
}

} // namespace hud
