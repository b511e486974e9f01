// The delegate's shared form input operations: each finds the page's views and hands the rule in
// FormInput.cpp the dictionary it writes.
#include <QAbstractButton>
#include <QPixmap>

#include "app/shell/WidgetFormPage.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/FrameAnimation.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Tag.h"

namespace {
// The questionnaire's items come into being with the first input.
store::FormData& items(store::ClinicState& state) {
    if (!state.inputItems) state.inputItems.emplace();
    return *state.inputItems;
}
} // namespace

void zurarerizIvaDadadavu::onCircleSingle(QAbstractButton* button, QWidget* baseView, const QPixmap& image) {
    if (!button) return;
    shell::WidgetFormPage page(baseView, image, button);
    shell::forminput::onCircleSingle(ui::tag(button), items(state_), page);
}

void zurarerizIvaDadadavu::onCircleMulti(QAbstractButton* button, QWidget* baseView, const QPixmap& image) {
    if (!button) return;
    shell::WidgetFormPage page(baseView, image, button);
    shell::forminput::onCircleMulti(ui::tag(button), items(state_), page);
}

void zurarerizIvaDadadavu::inputTextItem(QWidget* field, QWidget*) {
    if (!field) return;
    items(state_)[std::to_string(ui::tag(field))] = shell::WidgetFormPage::textOf(field);
}

void zurarerizIvaDadadavu::onCheckLabelSingle(int tag, QWidget* baseView, const std::string& mark) {
    shell::WidgetFormPage page(baseView);
    shell::forminput::onCheckLabelSingle(tag, state_.certifiDataList, page, mark);
}

void zurarerizIvaDadadavu::onCheckLabelMulti(int tag, QWidget* baseView, const std::string& mark) {
    shell::WidgetFormPage page(baseView);
    shell::forminput::onCheckLabelMulti(tag, state_.certifiDataList, page, mark);
}

void zurarerizIvaDadadavu::viewPositionChange(const foundation::Notification& notification, QWidget* baseView,
                                              bool keyboardOpen) {
    if (!baseView) return;
    // The page's top as it will be once a running shift ends, so two shifts in a row add up.
    const QRect frame = shell::forminput::keyboardShiftFrame(ui::modelFrame(baseView),
                                                             ui::keyboardEndFrame(notification.userInfo),
                                                             keyboardOpen, ui::mainScreenBounds());
    auto duration = notification.userInfo.find(ui::kKeyboardAnimationDurationUserInfoKey);
    ui::animateFrame(baseView, frame,
                     duration != notification.userInfo.end() ? duration->second.doubleValue()
                                                             : ui::kKeyboardAnimationDuration,
                     "keyboardShow");
}

bool zurarerizIvaDadadavu::checkDigit(const std::string& text, const std::string& checkStr) const {
    return shell::forminput::checkDigit(text, checkStr);
}

std::string zurarerizIvaDadadavu::timestamp() {
    return timestamps_.timestamp();
}
void zurarerizIvaDadadavu::clearTimestamp() {
    timestamps_.clearTimestamp();
}
std::string zurarerizIvaDadadavu::newTimestamp() const {
    return timestamps_.newTimestamp();
}
