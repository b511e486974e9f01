#pragma once
// The rules of the form pages' shared inputs, apart from any widget: single- and multi-choice circles
// (written into the questionnaire's items), single- and multi-choice check labels (written into the
// certificate's list), the page shift for the keyboard, the character check of input fields and the
// millisecond time stamps. The delegate forwards its operations here with a FormPage over the real
// page view (see WidgetFormPage).
#include <QRect>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/store/ClinicState.h"

namespace shell {

// A page's views as the rules see them, addressed by tag.
class FormPage {
  public:
    virtual ~FormPage() = default;
    virtual bool hasView(int tag) const = 0;
    // Shows or removes the circle image of the button with the tag.
    virtual void setCircle(int tag, bool shown) = 0;
    virtual std::string labelText(int tag) const = 0;
    virtual void setLabelText(int tag, const std::string& text) = 0;
};

namespace forminput {

inline constexpr const char* kOn = "on";

// A tap on a single-choice circle: a chosen circle is cleared; otherwise it is chosen and every other
// circle of base+1 … base+10 (base = tag / 10 · 10) that the page has is cleared, key and image.
void onCircleSingle(int tag, store::FormData& items, FormPage& page);
// A tap on a multi-choice circle toggles it alone.
void onCircleMulti(int tag, store::FormData& items, FormPage& page);
// A tap on a single-choice check label: an empty label takes the mark and the rest of base+1 …
// base+10 are emptied; a marked one empties the whole group.
void onCheckLabelSingle(int tag, store::FormData& list, FormPage& page, const std::string& mark);
// A tap on a multi-choice check label toggles its mark alone.
void onCheckLabelMulti(int tag, store::FormData& list, FormPage& page, const std::string& mark);

// The page frame for the keyboard: opening lifts the page's top by the keyboard's height, closing
// puts it back at the screen's top; as wide as the screen and at least as high (a taller page keeps
// its height).
QRect keyboardShiftFrame(const QRect& pageFrame, const QRect& keyboardEndFrame, bool open,
                         const QRect& screen);

// Whether every character of the text is one of the allowed ones (the empty text passes).
bool checkDigit(const std::string& text, const std::string& allowed);

// Milliseconds since 1970 as decimal text, the cached one kept until cleared.
class Timestamps {
  public:
    using Clock = std::function<double()>; // seconds since 1970
    Timestamps();
    explicit Timestamps(Clock clock) : clock_(std::move(clock)) {}

    const std::string& timestamp();
    void clearTimestamp() { cached_.reset(); }
    std::string newTimestamp() const;

  private:
    Clock clock_;
    std::optional<std::string> cached_;
};

} // namespace forminput
} // namespace shell
