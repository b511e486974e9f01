#pragma once
// The form rules' view of a real page: views found by tag under the page view, circles shown as the
// image of transparent buttons, check marks as label texts.
#include <QPixmap>
#include <QPointer>
#include <string>

#include "app/shell/FormInput.h"

class QAbstractButton;
class QWidget;

namespace shell {

class WidgetFormPage : public FormPage {
  public:
    // `tapped` is the button the user touched (it carries the tag being toggled); `circle` the image
    // a chosen circle shows (a drawn ring when the image is missing).
    WidgetFormPage(QWidget* baseView, QPixmap circle = {}, QAbstractButton* tapped = nullptr);

    bool hasView(int tag) const override;
    void setCircle(int tag, bool shown) override;
    std::string labelText(int tag) const override;
    void setLabelText(int tag, const std::string& text) override;

    // Whether a circle button shows its image.
    static bool showsCircle(const QAbstractButton* button);
    // The text of a field, text view or label; empty for other views.
    static std::string textOf(const QWidget* view);

  private:
    QPointer<QWidget> base_;
    QPixmap circle_;
    QPointer<QAbstractButton> tapped_;
};

} // namespace shell
