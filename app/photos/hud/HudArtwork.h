#pragma once
// The HUD's artwork from the main bundle's "ZVProgressHUD.bundle" folder, and the screen scale its
// layers draw at.
#include <QImage>
#include <QString>

namespace hud {

// The tablet's screen has two pixels to the point; layers draw that sharp.
inline constexpr double kScreenScale = 2.0;

// "<name>.png" of the HUD's resource folder, loaded as the pages' images are; a null image, logged,
// when it is missing.
QImage bundleImage(const QString& name);

} // namespace hud
