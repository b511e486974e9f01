#pragma once
// A one-line text input with a delegate in the tablet's manner: asked whether editing may begin
// (a "no" keeps the field from taking focus, so a screen can show a picker instead), told when it
// began and ended, asked what Return does and whether each change of the text may happen. Editing
// also drives the keyboard notifications (see Keyboard.h). Designer forms use it as a custom widget.
#include <QLineEdit>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/EditingSession.h"

namespace ui {

class TextField;

enum class ReturnKeyType { Default = 0, Go = 1, Next = 4, Search = 6, Done = 9 };

// A change of an input's text: `length` characters from `location` replaced by `replacement`
// (UTF-16 positions, as the input counts them).
struct TextRange {
    int location = 0;
    int length = 0;
};
// The one edit turning `before` into `after` (the common head and tail left out).
TextRange changedRange(const QString& before, const QString& after, QString* replacement);
// Runs a user's edit of an input whose text `text` reads, and asks `mayChange` about the one change
// it made; a refused change is handed to `undo` with the text as it was. True when the text changed
// and the change stands.
bool runUserEdit(const std::function<QString()>& text, const std::function<void()>& edit,
                 const std::function<bool(TextRange, const std::string&)>& mayChange,
                 const std::function<void(const QString& before)>& undo);

class TextFieldDelegate {
  public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& /*field*/) { return true; }
    virtual void textFieldDidBeginEditing(TextField& /*field*/) {}
    virtual void textFieldDidEndEditing(TextField& /*field*/) {}
    virtual bool textFieldShouldReturn(TextField& /*field*/) { return true; }
    virtual bool textFieldShouldChangeCharactersInRange(TextField& /*field*/, TextRange /*range*/,
                                                        const std::string& /*replacement*/) {
        return true;
    }
};

class TextField : public QLineEdit {
    Q_OBJECT
  public:
    explicit TextField(QWidget* parent = nullptr);
    ~TextField() override;

    // Held weakly: a screen that goes away leaves the field without a delegate.
    void setDelegate(std::weak_ptr<TextFieldDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }

    std::string stdText() const { return text().toStdString(); }
    void setStdText(const std::string& text) { setText(QString::fromStdString(text)); }

    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }

    bool isEditing() const { return editing_.isEditing(); }
    // Starts editing (asking the delegate first); false when refused.
    bool becomeFirstResponder() { return editing_.becomeFirstResponder(); }
    // Ends editing; the field keeps its text.
    bool resignFirstResponder() { return editing_.resignFirstResponder(); }

  signals:
    // After the delegate allowed a user's change.
    void editingChangedText(const QString& text);

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

  private:
    // Runs a user's edit and asks the delegate about the change it made; a refused change is undone.
    void userEdit(const std::function<void()>& edit);

    std::weak_ptr<TextFieldDelegate> delegate_;
    ReturnKeyType returnKeyType_ = ReturnKeyType::Default;
    EditingSession editing_;
};

} // namespace ui
