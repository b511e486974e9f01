#include "platform/ui/WindowScale.h"

#include <QScreen>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>

#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace {
std::optional<double> parseScale(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    double d = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return std::nullopt;
    return d;
}

std::optional<double> accepted(std::optional<double> scale, const std::string& shown, const char* from) {
    if (scale && std::isfinite(*scale) && *scale >= kMinimumWindowScale && *scale <= kMaximumWindowScale)
        return scale;
    foundation::log("Ignoring the window scale %@ from the %@: give a number from 0.25 to 4", shown, from);
    return std::nullopt;
}

std::optional<double> fromArguments(const std::vector<std::string>& arguments) {
    const std::string flag = std::string("-") + kWindowScaleKey;
    auto it = std::find(arguments.begin(), arguments.end(), flag);
    if (it == arguments.end()) return std::nullopt;
    if (std::next(it) == arguments.end()) return accepted(std::nullopt, "(missing)", "launch arguments");
    return accepted(parseScale(*std::next(it)), *std::next(it), "launch arguments");
}

std::optional<double> fromUserDefaults() {
    foundation::Value v = foundation::UserDefaults::standard()->objectForKey(kWindowScaleKey);
    if (v.isNull()) return std::nullopt;
    using Type = foundation::Value::Type;
    std::optional<double> scale;
    if (v.type() == Type::Integer || v.type() == Type::Real)
        scale = v.doubleValue();
    else if (v.isString())
        scale = parseScale(v.stringValue());
    return accepted(scale, v.description(), "user defaults");
}

} // namespace

std::optional<double> requestedWindowScale(const std::vector<std::string>& arguments) {
    if (auto s = fromArguments(arguments)) return s;
    return fromUserDefaults();
}

double fittingWindowScale(const QRect& available) {
    double w = double(available.width() - kFrameAllowanceWidth) / kMainScreenWidth;
    double h = double(available.height() - kFrameAllowanceHeight) / kMainScreenHeight;
    double fit = std::floor(std::min(w, h) * 256) / 256;
    return std::clamp(fit, kMinimumWindowScale, 1.0);
}

bool isOnScreenPlatform(const std::string& platformName) {
    std::string name = platformName.substr(0, platformName.find(':'));
    return name != "offscreen" && name != "minimal";
}

double chooseWindowScale(const std::vector<std::string>& arguments, const std::string& platformName,
                         const QScreen* screen) {
    if (auto asked = requestedWindowScale(arguments)) return *asked;
    if (!screen || !isOnScreenPlatform(platformName)) return 1.0;
    return fittingWindowScale(screen->availableGeometry());
}

} // namespace ui
