#pragma once
// Keyboard and orientation notifications as the HUD hears them: their names, the keyboard height
// their user info gives, and a hop to the GUI thread for posts from elsewhere.
#include <functional>

#include "platform/foundation/Value.h"
#include "platform/ui/Keyboard.h"

namespace hud {

inline constexpr const char* kKeyboardWillShow = ui::kKeyboardWillShowNotification;
inline constexpr const char* kKeyboardDidShow = "UIKeyboardDidShowNotification";
inline constexpr const char* kKeyboardWillHide = ui::kKeyboardWillHideNotification;
inline constexpr const char* kKeyboardDidHide = "UIKeyboardDidHideNotification";
inline constexpr const char* kOrientationDidChange = "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* kKeyboardFrameBegin = ui::kKeyboardFrameBeginUserInfoKey;
inline constexpr const char* kKeyboardFrameEnd = ui::kKeyboardFrameEndUserInfoKey;
inline constexpr const char* kKeyboardDuration = ui::kKeyboardAnimationDurationUserInfoKey;

// The keyboard's height from its frame in the user info (the begin frame, else the end frame); 0
// without one. A frame is a dictionary as the platform's keyboard posts it ("X", "Y", "Width",
// "Height"), an array (x, y, w, h), or text holding four numbers such as "{{0, 760}, {768, 264}}".
double keyboardHeight(const foundation::Dictionary& userInfo);

// Runs fn now on the GUI thread, else queues it there.
void onGuiThread(std::function<void()> fn);

} // namespace hud
