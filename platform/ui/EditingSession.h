#pragma once
// The editing life the text inputs share: editing begins when a tap (not a window coming to the
// front) gives the input focus and its delegate agrees, and ends when the focus leaves for another
// widget (not for another window or a popup menu). Each begin and end is reported to the keyboard
// (see Keyboard.h) and then to the input's delegate through the hooks.
#include <functional>

class QFocusEvent;
class QWidget;

namespace ui {

class EditingSession {
  public:
    struct Hooks {
        std::function<bool()> shouldBegin; // false keeps the input from editing
        std::function<void()> didBegin;
        std::function<void()> didEnd;
    };

    EditingSession(QWidget* input, Hooks hooks) : input_(input), hooks_(std::move(hooks)) {}
    // An input that goes away while editing lets the keyboard go (its delegate is not told).
    ~EditingSession();
    EditingSession(const EditingSession&) = delete;
    EditingSession& operator=(const EditingSession&) = delete;

    bool isEditing() const { return editing_; }
    // Starts editing (asking the delegate first); false when refused.
    bool becomeFirstResponder();
    // Ends editing; the input keeps its text.
    bool resignFirstResponder();

    // The input's focus events; `widgetHandler` runs the input widget's own handling of the event.
    void focusIn(QFocusEvent* event, const std::function<void()>& widgetHandler);
    void focusOut(QFocusEvent* event, const std::function<void()>& widgetHandler);

  private:
    void end();

    QWidget* input_;
    Hooks hooks_;
    bool editing_ = false;
    bool asking_ = false; // the delegate is being asked: a focus it causes is not a new tap
};

} // namespace ui
