#pragma once
// The main screen: the clinic's layouts are made for a 768 × 1024 point tablet screen, so that is the
// screen we report whatever the monitor (an offscreen platform would say 800 × 800).
#include <QRect>
#include <QSize>

namespace ui {

inline constexpr int kMainScreenWidth = 768;
inline constexpr int kMainScreenHeight = 1024;

inline QSize mainScreenSize() {
    return QSize(kMainScreenWidth, kMainScreenHeight);
}
inline QRect mainScreenBounds() {
    return QRect(QPoint(0, 0), mainScreenSize());
}

} // namespace ui
