#include "platform/ui/EditingSession.h"

#include <QFocusEvent>
#include <QWidget>

#include "platform/ui/Keyboard.h"

namespace ui {

EditingSession::~EditingSession() {
    if (editing_) Keyboard::shared().inputEndedEditing(input_);
}

bool EditingSession::becomeFirstResponder() {
    if (editing_) return true;
    input_->setFocus(Qt::OtherFocusReason);
    return editing_;
}

bool EditingSession::resignFirstResponder() {
    if (input_->hasFocus()) input_->clearFocus();
    if (editing_) end(); // focus had already left with the window
    return true;
}

void EditingSession::focusIn(QFocusEvent* event, const std::function<void()>& widgetHandler) {
    if (editing_) {
        widgetHandler();
        return;
    }
    // Nothing starts editing by itself when the window comes to the front; only a tap does.
    if (event->reason() == Qt::ActiveWindowFocusReason) {
        input_->clearFocus();
        return;
    }
    if (asking_) return;
    asking_ = true;
    const bool allowed = hooks_.shouldBegin ? hooks_.shouldBegin() : true;
    asking_ = false;
    if (!allowed) {
        if (input_->hasFocus()) input_->clearFocus();
        return;
    }
    editing_ = true;
    widgetHandler();
    Keyboard::shared().inputBeganEditing(input_);
    if (hooks_.didBegin) hooks_.didBegin();
}

void EditingSession::focusOut(QFocusEvent* event, const std::function<void()>& widgetHandler) {
    widgetHandler();
    // Another window or a popup menu taking the focus does not end the editing.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (editing_) end();
}

void EditingSession::end() {
    editing_ = false;
    Keyboard::shared().inputEndedEditing(input_);
    if (hooks_.didEnd) hooks_.didEnd();
}

} // namespace ui
