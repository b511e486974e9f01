#pragma once
// The window's scale: the factor at which the 768 × 1024-point canvas is shown, so that a monitor
// smaller than the canvas still shows all of it (or a big one shows it larger, when asked).
#include <QRect>
#include <optional>
#include <string>
#include <vector>

class QScreen;

namespace ui {

// The launch argument ("-ZVWindowScale 0.75") and the user default of the same name.
inline constexpr const char* kWindowScaleKey = "ZVWindowScale";
inline constexpr double kMinimumWindowScale = 0.25;
inline constexpr double kMaximumWindowScale = 4.0;

// What a desktop's window frame (title bar, borders) may take: the frame is only known once the window
// is shown, too late to choose the factor.
inline constexpr int kFrameAllowanceWidth = 8;
inline constexpr int kFrameAllowanceHeight = 40;

// The factor asked for by hand: the launch argument wins over the standard user default. A value that
// is not a number from 0.25 to 4 is logged and ignored.
std::optional<double> requestedWindowScale(const std::vector<std::string>& arguments);

// The largest factor, never above 1, at which the canvas and a window frame fit the available area (in
// the screen's pixels). A multiple of 1/256, so the window's size in pixels is whole.
double fittingWindowScale(const QRect& available);

// Whether a Qt platform shows windows on a monitor (the offscreen one does not).
bool isOnScreenPlatform(const std::string& platformName);

// The factor for the window: the one asked for, else on a monitor the one fitting the screen's
// available area, else 1 (offscreen, and so in tests, unless a test asks).
double chooseWindowScale(const std::vector<std::string>& arguments, const std::string& platformName,
                         const QScreen* screen);

} // namespace ui
