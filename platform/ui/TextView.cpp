#include "platform/ui/TextView.h"

#include <QTimer>

#include <QFocusEvent>
#include <QKeyEvent>
#include <QScrollBar>
#include <QTextCursor>

namespace ui {

namespace {
// The delegate's say in the editing life (see EditingSession).
EditingSession::Hooks editingHooks(TextView* v) {
    return {[v] {
                auto d = v->delegate();
                const bool allowed = d ? d->textViewShouldBeginEditing(*v) : true;
                return allowed && !v->isReadOnly();
            },
            [v] {
                if (auto d = v->delegate()) d->textViewDidBeginEditing(*v);
            },
            [v] {
                if (auto d = v->delegate()) d->textViewDidEndEditing(*v);
            }};
}
} // namespace

TextView::TextView(QWidget* parent) : QPlainTextEdit(parent), editing_(this, editingHooks(this)) {
    setContextMenuPolicy(Qt::NoContextMenu); // every change must pass the delegate
    setTabChangesFocus(true);
}

TextView::~TextView() = default;

void TextView::focusInEvent(QFocusEvent* event) {
    editing_.focusIn(event, [&] { QPlainTextEdit::focusInEvent(event); });
}

void TextView::focusOutEvent(QFocusEvent* event) {
    editing_.focusOut(event, [&] { QPlainTextEdit::focusOutEvent(event); });
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
    const int anchor = textCursor().anchor(), cursor = textCursor().position();
    // The edit may scroll (a line break moves the cursor to a new line): a refused one must leave the
    // view showing what it showed, or a box one line high looks empty.
    const QPoint scrolled(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const bool changed =
        runUserEdit([this] { return toPlainText(); }, edit,
                    [this](TextRange range, const std::string& replacement) {
                        auto d = delegate();
                        return !d || d->textViewShouldChangeTextInRange(*this, range, replacement);
                    },
                    [this, anchor, cursor, scrolled](const QString& before) {
                        setPlainText(before);
                        QTextCursor c = textCursor();
                        c.setPosition(std::min<int>(anchor, int(before.size())));
                        c.setPosition(std::min<int>(cursor, int(before.size())), QTextCursor::KeepAnchor);
                        setTextCursor(c);
                        horizontalScrollBar()->setValue(scrolled.x());
                        verticalScrollBar()->setValue(scrolled.y());
                    });
    if (!changed) return;
    if (auto d = delegate()) d->textViewDidChange(*this);
}

void TextView::resignFirstResponderLater() {
    QTimer::singleShot(0, this, [this] { resignFirstResponder(); });
}

} // namespace ui
