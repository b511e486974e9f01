#pragma once
// A multi-line text input with a delegate, the counterpart of TextField: asked whether editing may
// begin and whether each change may happen (Return arrives as a change to "\n"), told when editing
// began and ended and after each change. Editing drives the keyboard notifications (see Keyboard.h).
#include <QPlainTextEdit>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"

namespace ui {

class TextView;

class TextViewDelegate {
  public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(TextView& /*view*/) { return true; }
    virtual void textViewDidBeginEditing(TextView& /*view*/) {}
    virtual void textViewDidEndEditing(TextView& /*view*/) {}
    virtual bool textViewShouldChangeTextInRange(TextView& /*view*/, TextRange /*range*/,
                                                 const std::string& /*replacement*/) {
        return true;
    }
    virtual void textViewDidChange(TextView& /*view*/) {}
};

class TextView : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TextView(QWidget* parent = nullptr);
    ~TextView() override;

    void setDelegate(std::weak_ptr<TextViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }

    std::string stdText() const { return toPlainText().toStdString(); }
    void setStdText(const std::string& text) { setPlainText(QString::fromStdString(text)); }

    bool isEditing() const { return editing_.isEditing(); }
    bool becomeFirstResponder() { return editing_.becomeFirstResponder(); }
    bool resignFirstResponder() { return editing_.resignFirstResponder(); }
    // Ends editing on the event loop's next turn: a delegate refusing a typed line break ends editing
    // this way, once the refused change is undone, so the text it then reads never holds the break.
    void resignFirstResponderLater();

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    void userEdit(const std::function<void()>& edit);

    std::weak_ptr<TextViewDelegate> delegate_;
    EditingSession editing_;
};

} // namespace ui
