#include "platform/ui/TextView.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QTextCursor>

#include "platform/ui/Keyboard.h"

namespace ui {

TextView::TextView(QWidget* parent) : QPlainTextEdit(parent) {
    setContextMenuPolicy(Qt::NoContextMenu); // every change must pass the delegate
    setTabChangesFocus(true);
}

TextView::~TextView() {
    if (editing_) Keyboard::shared().inputEndedEditing(this);
}

bool TextView::becomeFirstResponder() {
    if (editing_) return true;
    setFocus(Qt::OtherFocusReason);
    return editing_;
}

bool TextView::resignFirstResponder() {
    if (hasFocus()) clearFocus();
    if (editing_) endEditing();
    return true;
}

void TextView::focusInEvent(QFocusEvent* event) {
    if (!editing_) {
        // Nothing starts editing by itself when the window comes to the front; only a tap does.
        if (event->reason() == Qt::ActiveWindowFocusReason) {
            clearFocus();
            return;
        }
        if (asking_) return;
        asking_ = true;
        auto d = delegate();
        const bool allowed = d ? d->textViewShouldBeginEditing(*this) : true;
        asking_ = false;
        if (!allowed || isReadOnly()) {
            if (hasFocus()) clearFocus();
            return;
        }
        editing_ = true;
        QPlainTextEdit::focusInEvent(event);
        Keyboard::shared().inputBeganEditing(this);
        if (auto d2 = delegate()) d2->textViewDidBeginEditing(*this);
        return;
    }
    QPlainTextEdit::focusInEvent(event);
}

void TextView::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (editing_) endEditing();
}

void TextView::endEditing() {
    editing_ = false;
    Keyboard::shared().inputEndedEditing(this);
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
}

void TextView::keyPressEvent(QKeyEvent* event) {
    userEdit([&] { QPlainTextEdit::keyPressEvent(event); });
}

void TextView::inputMethodEvent(QInputMethodEvent* event) {
    userEdit([&] { QPlainTextEdit::inputMethodEvent(event); });
}

void TextView::insertFromMimeData(const QMimeData* source) {
    userEdit([&] { QPlainTextEdit::insertFromMimeData(source); });
}

void TextView::userEdit(const std::function<void()>& edit) {
    const QString before = toPlainText();
    const int cursor = textCursor().position();
    edit();
    const QString after = toPlainText();
    if (after == before) return;
    QString replacement;
    const TextRange range = changedRange(before, after, &replacement);
    auto d = delegate();
    if (d && !d->textViewShouldChangeTextInRange(*this, range, replacement.toStdString())) {
        setPlainText(before);
        QTextCursor c = textCursor();
        c.setPosition(std::min<int>(cursor, int(before.size())));
        setTextCursor(c);
        return;
    }
    if (d) d->textViewDidChange(*this);
}

} // namespace ui
