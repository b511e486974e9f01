#pragma once
// Keyboard and orientation notifications as the HUD hears them: their names, the keyboard height
// their user info gives, and observers that hear them on the GUI thread.
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
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

// Observers whose handlers run on the GUI thread: a notification posted elsewhere hops there. A hop
// still queued when the observers are cleared (or destroyed) is dropped with them, so a handler never
// runs for an owner that has stopped listening or is gone.
class GuiObservers {
  public:
    using Handler = std::function<void(const foundation::Notification&)>;
    GuiObservers();
    ~GuiObservers();
    GuiObservers(const GuiObservers&) = delete;
    GuiObservers& operator=(const GuiObservers&) = delete;

    void add(const char* name, Handler handler);
    void clear();

  private:
    // What queued hops check before they run; a new one after each clear.
    std::unique_ptr<QObject> context_;
    std::vector<foundation::ObserverPtr> tokens_;
};

} // namespace hud
