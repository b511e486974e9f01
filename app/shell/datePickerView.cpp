#include "app/shell/datePickerView.h"

#include <QLabel>
#include <QLineEdit>
#include <cctype>
#include <climits>

#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/DatePicker.h"
#include "ui_datePickerView.h"

namespace {

// The leading integer of a text, 0 without one, held within 32 bits ("34" → 34, " 7x" → 7).
int32_t integerValue(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return int32_t(negative ? -value : value);
}

} // namespace

datePickerView::datePickerView() : form_(std::make_unique<Ui::datePickerView>()) {}

datePickerView::~datePickerView() = default;

void datePickerView::loadView() {
    loadViewFromForm(*form_);
}

ui::DatePicker* datePickerView::datePicker() const {
    return form_->datePicker;
}

std::string datePickerView::displayFormat(const std::string& pickerType) {
    if (pickerType == "dateAndTime") return "yyyy年 M月 d日　H:mm 〜";
    if (pickerType == "dateSlash") return "yyyy/MM/dd";
    return "yyyy年 M月 d日";
}

std::string datePickerView::formattedDate() const {
    return datePicker()->date().toString(format_).toStdString();
}

void datePickerView::viewDidLoad() {
    if (!appDelegate_) appDelegate_ = zurarerizIvaDadadavu::shared();
    ui::DatePicker* picker = datePicker();
    picker->setMinuteInterval(10);
    connect(picker, &ui::DatePicker::valueChanged, this, &datePickerView::datePickerValueChange);
    picker->setDatePickerMode(pickerType_ == "dateAndTime" ? ui::DatePickerMode::DateAndTime
                                                           : ui::DatePickerMode::Date);
    format_ = QString::fromStdString(displayFormat(pickerType_));

    if (defaultDateStr_.empty()) {
        // The field receives the picker's first date without the user turning a wheel.
        datePickerValueChange();
        return;
    }
    // A text in another format leaves the picker at now and the field as it was.
    const QDateTime start = QDateTime::fromString(QString::fromStdString(defaultDateStr_), format_);
    if (start.isValid()) picker->setDate(start);
}

void datePickerView::datePickerValueChange() {
    const std::string text = formattedDate();
    if (targetLabel_) {
        targetLabel_->setText(QString::fromStdString(text));
        if (appDelegate_) appDelegate_->certifiDataList()[tagNoStr_] = text;
    } else if (targetText_) {
        targetText_->setText(QString::fromStdString(text));
    }
    if (auto d = delegate()) d->popoverClose(datePicker()->date(), integerValue(tagNoStr_));
}
