#pragma once
// The on-screen keyboard as screens see it: will-show and will-hide notifications on the default
// centre with the keyboard's end frame. A desktop has no on-screen keyboard, so the text inputs post
// them themselves: will-show each time one of them begins editing, will-hide when editing ends and no
// other input took over within the same event-loop turn. The keyboard is a fixed-height strip at the
// bottom of the main screen. Tests may post the notifications directly.
#include <QPointer>
#include <QRect>
#include <QWidget>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"

namespace ui {

inline constexpr const char* kKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* kKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
// User info: the begin and end frames as dictionaries with "X", "Y", "Width" and "Height" (screen
// points), and the animation's duration in seconds.
inline constexpr const char* kKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* kKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* kKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";

inline constexpr int kKeyboardHeight = 264;
inline constexpr double kKeyboardAnimationDuration = 0.25;

// Where the keyboard stands when shown (the bottom strip of the screen) and when hidden (just below it).
QRect keyboardShownFrame();
QRect keyboardHiddenFrame();

foundation::Dictionary rectDictionary(const QRect& r);
// The rectangle of a dictionary made by rectDictionary; empty when it holds none.
QRect rectFromDictionary(const foundation::Value& v);
// The end frame carried by a keyboard notification's user info.
QRect keyboardEndFrame(const foundation::Dictionary& userInfo);

// Observes both keyboard notifications on the default centre for a screen held weakly: the handlers
// run only while the screen lives; dropping the returned tokens stops them.
struct KeyboardObservers {
    foundation::ObserverPtr show, hide;
    void reset() {
        show.reset();
        hide.reset();
    }
};
template <class Screen>
KeyboardObservers observeKeyboard(const std::shared_ptr<Screen>& screen,
                                  void (Screen::*onShow)(const foundation::Notification&),
                                  void (Screen::*onHide)(const foundation::Notification&)) {
    std::weak_ptr<Screen> weak = screen;
    auto center = foundation::NotificationCenter::defaultCenter();
    auto forward = [weak](void (Screen::*handler)(const foundation::Notification&)) {
        return [weak, handler](const foundation::Notification& n) {
            if (auto self = weak.lock()) (self.get()->*handler)(n);
        };
    };
    return {center->addObserver(kKeyboardWillShowNotification, nullptr, nullptr, forward(onShow)),
            center->addObserver(kKeyboardWillHideNotification, nullptr, nullptr, forward(onHide))};
}

void postKeyboardWillShow(const QRect& endFrame = keyboardShownFrame());
void postKeyboardWillHide(const QRect& endFrame = keyboardHiddenFrame());

// Which input has the keyboard; the text inputs report to it.
class Keyboard {
  public:
    static Keyboard& shared();

    QWidget* activeInput() const { return active_; }
    bool isVisible() const { return visible_; }

    void inputBeganEditing(QWidget* input);
    void inputEndedEditing(QWidget* input);

  private:
    Keyboard() = default;
    void hideIfIdle();
    QPointer<QWidget> active_;
    bool visible_ = false;
    bool hidePending_ = false;
};

} // namespace ui
