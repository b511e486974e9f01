#include "app/documents/questionnaire/inquiryView3.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLocale>

#include "app/assets/PageResources.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Tag.h"
#include "ui_inquiryView3.h"

namespace {
// The questionnaire's date in the shared answers.
constexpr const char* kInputDateKey = "inputdate";
} // namespace

inquiryView3::inquiryView3() : inquiryPageView(3), ui_(std::make_unique<Ui::inquiryView3>()) {}
inquiryView3::~inquiryView3() = default;

void inquiryView3::setupForm(QWidget* form) {
    ui_->setupUi(form);
}

ui::TextView* inquiryView3::patientName() const {
    return ui_->patientName;
}

QLabel* inquiryView3::inputDateLabel() const {
    return ui_->inputDateLabel;
}

std::string inquiryView3::displayDate(const QDate& date, const std::optional<std::string>& language) {
    if (language == "English")
        return QLocale(QLocale::English, QLocale::UnitedStates).toString(date, "MMM-dd-yyyy").toStdString();
    return date.toString("yyyy年 M月 d日").toStdString();
}

void inquiryView3::connectViews(bool touchMode) {
    for (QWidget* view : viewsOf(formView())) {
        const int t = ui::tag(view);
        auto* text = qobject_cast<ui::TextView*>(view);
        if (!text || t < 95 || t > 99) continue;
        assets::hideScrollBars(text);
        if (touchMode)
            text->setDelegate(std::dynamic_pointer_cast<inquiryView3>(shared_from_this()));
        else
            makeInert(text);
    }
    if (touchMode) {
        inquiryPageView::connectViews(true);
        return;
    }
    // Print mode: the circles stay without actions.
    for (QWidget* view : viewsOf(formView()))
        if (qobject_cast<QAbstractButton*>(view)) makeInert(view);
}

void inquiryView3::setInitialData() {
    if (!appDelegate_) return;
    if (!appDelegate_->inputItems()) appDelegate_->inputItems().emplace();
    store::FormData& items = *appDelegate_->inputItems();
    if (const auto& info = appDelegate_->patientInfo(); info) {
        const auto name = info->find("name");
        patientName()->setStdText(name != info->end() ? name->second : std::string());
    }
    inquiryPageView::setInitialData();
    // The free texts are answers like any other: back into their views (the name box too, when the
    // patient wrote it otherwise).
    for (int t = 95; t <= 99; ++t) {
        const auto text = items.find(std::to_string(t));
        if (text == items.end() || text->second.empty()) continue;
        if (auto* view = qobject_cast<ui::TextView*>(ui::viewWithTag(formView(), t)))
            view->setStdText(text->second);
    }

    const auto language = StaticVariableHelper::inquiryLanguage();
    const auto stored = items.find(kInputDateKey);
    if (stored != items.end() && stored->second != "(null)") {
        QDate date = QDate::fromString(QString::fromStdString(stored->second), "yyyy-MM-dd");
        if (!date.isValid()) date = QDate::currentDate();
        inputDateLabel()->setText(QString::fromStdString(displayDate(date, language)));
    } else {
        const QDate today = QDate::currentDate();
        inputDateLabel()->setText(QString::fromStdString(displayDate(today, language)));
        items[kInputDateKey] = today.toString("yyyy-MM-dd").toStdString();
    }
}

void inquiryView3::touchesBegan(QWidget* touched) {
    inquiryPageView::touchesBegan(touched);
    const int t = ui::tag(touched);
    // Only the date label opens the picker; a text view in the same range is typed into.
    if (appDelegate_ && appDelegate_->touchMode() && t >= 90 && t <= 99)
        if (auto* label = qobject_cast<QLabel*>(touched)) showDatePicker(label);
}

void inquiryView3::showDatePicker(QLabel* label) {
    auto picker = std::dynamic_pointer_cast<datePickerView>(
        ui::Storyboard::named("Main")->instantiateViewController(datePickerView::kSceneIdentifier));
    if (!picker || !label) return;
    auto self = std::dynamic_pointer_cast<inquiryView3>(shared_from_this());
    picker->setDelegate(self);
    picker->setParentView(self);
    picker->setTagNoStr(std::to_string(ui::tag(label)));
    picker->setTargetLabel(label);
    picker->setPickerType("date");
    // From the stored date: the label shows it in the page's language, which the picker may not read.
    std::string stored;
    if (appDelegate_ && appDelegate_->inputItems())
        if (const auto it = appDelegate_->inputItems()->find(kInputDateKey);
            it != appDelegate_->inputItems()->end() && it->second != "(null)")
            stored = it->second;
    picker->setDefaultDateStr(stored);
    picker->setModalPresentationStyle(ui::PresentationStyle::Popover);
    picker->setPreferredContentSize(QSize(300, 150));
    picker->popoverAnchor().sourceView = label;
    picker->popoverAnchor().sourceRect = label->rect();
    picker->popoverAnchor().permittedArrowDirections = ui::ArrowDown;
    pop_ = picker;
    present(picker, true);
}

void inquiryView3::popoverClose(const QDateTime& date, int32_t) {
    if (!appDelegate_) return;
    if (!appDelegate_->inputItems()) appDelegate_->inputItems().emplace();
    (*appDelegate_->inputItems())[kInputDateKey] = date.date().toString("yyyy-MM-dd").toStdString();
    // The picker writes its own format; the page shows the date in the questionnaire's language.
    inputDateLabel()->setText(
        QString::fromStdString(displayDate(date.date(), StaticVariableHelper::inquiryLanguage())));
}

bool inquiryView3::textViewShouldChangeTextInRange(ui::TextView& view, ui::TextRange,
                                                   const std::string& replacement) {
    if (replacement == "\n") {
        view.resignFirstResponderLater();
        return false;
    }
    return true;
}

bool inquiryView3::textViewShouldBeginEditing(ui::TextView& view) {
    touchViewTag_ = ui::tag(&view);
    return true;
}

void inquiryView3::textViewDidEndEditing(ui::TextView& view) {
    // Kept with the answers (saved as "text_<tag>"), not in the certificate's list where it was lost.
    if (appDelegate_) appDelegate_->inputTextItem(&view, formView());
}
