#include "platform/ui/TextField.h"

#include <QFocusEvent>
#include <QKeyEvent>

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

bool runUserEdit(const std::function<QString()>& text, const std::function<void()>& edit,
                 const std::function<bool(TextRange, const std::string&)>& mayChange,
                 const std::function<void(const QString& before)>& undo) {
    const QString before = text();
    edit();
    const QString after = text();
    if (after == before) return false;
    QString replacement;
    const TextRange range = changedRange(before, after, &replacement);
    if (mayChange(range, replacement.toStdString())) return true;
    undo(before);
    return false;
}

namespace {
// The delegate's say in the editing life (see EditingSession).
EditingSession::Hooks editingHooks(TextField* f) {
    return {[f] {
                auto d = f->delegate();
                return d ? d->textFieldShouldBeginEditing(*f) : true;
            },
            [f] {
                if (auto d = f->delegate()) d->textFieldDidBeginEditing(*f);
            },
            [f] {
                if (auto d = f->delegate()) d->textFieldDidEndEditing(*f);
            }};
}
} // namespace

TextField::TextField(QWidget* parent) : QLineEdit(parent), editing_(this, editingHooks(this)) {
    // Every change must pass the delegate; a menu's paste would slip past it.
    setContextMenuPolicy(Qt::NoContextMenu);
    setAcceptDrops(false);
}

TextField::~TextField() = default;

void TextField::focusInEvent(QFocusEvent* event) {
    editing_.focusIn(event, [&] { QLineEdit::focusInEvent(event); });
}

void TextField::focusOutEvent(QFocusEvent* event) {
    editing_.focusOut(event, [&] { QLineEdit::focusOutEvent(event); });
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
    const int cursor = cursorPosition();
    const bool changed =
        runUserEdit([this] { return text(); }, edit,
                    [this](TextRange range, const std::string& replacement) {
                        auto d = delegate();
                        return !d || d->textFieldShouldChangeCharactersInRange(*this, range, replacement);
                    },
                    [this, cursor](const QString& before) {
                        setText(before);
                        setCursorPosition(cursor);
                    });
    if (changed) emit editingChangedText(text());
}

} // namespace ui
