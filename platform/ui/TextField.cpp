#include "platform/ui/TextField.h"

#include <QFocusEvent>
#include <QKeyEvent>

#include "platform/ui/Keyboard.h"

namespace ui {

TextRange changedRange(const QString& before, const QString& after, QString* replacement) {
    int head = 0;
    const int shorter = int(std::min(before.size(), after.size()));
    while (head < shorter && before[head] == after[head])
        ++head;
    int tail = 0;
    while (tail < shorter - head && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    if (replacement) *replacement = after.mid(head, after.size() - head - tail);
    return TextRange{head, int(before.size()) - head - tail};
}

TextField::TextField(QWidget* parent) : QLineEdit(parent) {
    // Every change must pass the delegate; a menu's paste would slip past it.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
}

TextField::~TextField() {
    if (editing_) Keyboard::shared().inputEndedEditing(this);
}

bool TextField::becomeFirstResponder() {
    if (editing_) return true;
    setFocus(Qt::OtherFocusReason);
    return editing_;
}

bool TextField::resignFirstResponder() {
    if (hasFocus()) clearFocus();
    if (editing_) endEditing(); // focus had already left with the window
    return true;
}

void TextField::focusInEvent(QFocusEvent* event) {
    if (!editing_) {
        // Nothing starts editing by itself when the window comes to the front; only a tap does.
        if (event->reason() == Qt::ActiveWindowFocusReason) {
            clearFocus();
            return;
        }
        if (asking_) return;
        asking_ = true;
        auto d = delegate();
        const bool allowed = d ? d->textFieldShouldBeginEditing(*this) : true;
        asking_ = false;
        if (!allowed) {
            if (hasFocus()) clearFocus();
            return;
        }
        editing_ = true;
        QLineEdit::focusInEvent(event);
        Keyboard::shared().inputBeganEditing(this);
        if (auto d2 = delegate()) d2->textFieldDidBeginEditing(*this);
        return;
    }
    QLineEdit::focusInEvent(event);
}

void TextField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // Another window or a popup menu taking the focus does not end the editing.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (editing_) endEditing();
}

void TextField::endEditing() {
    editing_ = false;
    Keyboard::shared().inputEndedEditing(this);
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
}

void TextField::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto d = delegate();
        const bool proceed = d ? d->textFieldShouldReturn(*this) : true;
        event->accept();
        if (proceed) emit returnPressed();
        return;
    }
    userEdit([&] { QLineEdit::keyPressEvent(event); });
}

void TextField::inputMethodEvent(QInputMethodEvent* event) {
    userEdit([&] { QLineEdit::inputMethodEvent(event); });
}

void TextField::userEdit(const std::function<void()>& edit) {
    const QString before = text();
    const int cursor = cursorPosition();
    edit();
    const QString after = text();
    if (after == before) return;
    QString replacement;
    const TextRange range = changedRange(before, after, &replacement);
    auto d = delegate();
    if (d && !d->textFieldShouldChangeCharactersInRange(*this, range, replacement.toStdString())) {
        setText(before);
        setCursorPosition(cursor);
        return;
    }
    emit editingChangedText(after);
}

} // namespace ui
