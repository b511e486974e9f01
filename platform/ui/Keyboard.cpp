#include "platform/ui/Keyboard.h"

#include <QTimer>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Screen.h"

namespace ui {

QRect keyboardShownFrame() {
    return QRect(0, kMainScreenHeight - kKeyboardHeight, kMainScreenWidth, kKeyboardHeight);
}

QRect keyboardHiddenFrame() {
    return QRect(0, kMainScreenHeight, kMainScreenWidth, kKeyboardHeight);
}

foundation::Dictionary rectDictionary(const QRect& r) {
    return {{"X", foundation::Value(double(r.x()))},
            {"Y", foundation::Value(double(r.y()))},
            {"Width", foundation::Value(double(r.width()))},
            {"Height", foundation::Value(double(r.height()))}};
}

QRect rectFromDictionary(const foundation::Value& v) {
    if (!v.isDictionary()) return {};
    return QRect(int(v["X"].doubleValue()), int(v["Y"].doubleValue()), int(v["Width"].doubleValue()),
                 int(v["Height"].doubleValue()));
}

QRect keyboardEndFrame(const foundation::Dictionary& userInfo) {
    auto it = userInfo.find(kKeyboardFrameEndUserInfoKey);
    return it == userInfo.end() ? QRect() : rectFromDictionary(it->second);
}

namespace {
void postKeyboard(const char* name, const QRect& beginFrame, const QRect& endFrame) {
    foundation::NotificationCenter::defaultCenter()->post(
        name, nullptr,
        {{kKeyboardFrameBeginUserInfoKey, foundation::Value(rectDictionary(beginFrame))},
         {kKeyboardFrameEndUserInfoKey, foundation::Value(rectDictionary(endFrame))},
         {kKeyboardAnimationDurationUserInfoKey, foundation::Value(kKeyboardAnimationDuration)}});
}
} // namespace

void postKeyboardWillShow(const QRect& endFrame) {
    postKeyboard(kKeyboardWillShowNotification, keyboardHiddenFrame(), endFrame);
}
void postKeyboardWillHide(const QRect& endFrame) {
    postKeyboard(kKeyboardWillHideNotification, keyboardShownFrame(), endFrame);
}

Keyboard& Keyboard::shared() {
    static Keyboard keyboard;
    return keyboard;
}

void Keyboard::inputBeganEditing(QWidget* input) {
    active_ = input;
    hidePending_ = false;
    visible_ = true;
    postKeyboardWillShow();
}

void Keyboard::inputEndedEditing(QWidget* input) {
    if (active_ && active_ != input) return; // another input has already taken over
    active_ = nullptr;
    if (hidePending_) return;
    // Focus moving from one input to the next ends one before the other begins: wait a turn.
    hidePending_ = true;
    QTimer::singleShot(0, [] { shared().hideIfIdle(); });
}

void Keyboard::hideIfIdle() {
    if (!hidePending_) return;
    hidePending_ = false;
    if (active_ || !visible_) return;
    visible_ = false;
    postKeyboardWillHide();
}

} // namespace ui
