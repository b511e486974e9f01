#include "app/shell/datePickerView.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
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
    // A text that is no date leaves the picker at now and the field as it was.
    if (const auto start = startDate(defaultDateStr_, pickerType_)) picker->setDate(*start);
}

std::optional<QDateTime> datePickerView::startDate(const std::string& text, const std::string& pickerType) {
    const QString value = QString::fromStdString(text).trimmed();
    const QDateTime inFormat =
        QDateTime::fromString(value, QString::fromStdString(displayFormat(pickerType)));
    if (inFormat.isValid()) return inFormat;
    // The forms a stored date may have besides the picker's own: the stored Japanese date (a date and
    // time picker opened on a plain date), the questionnaire's "yyyy-MM-dd", an English page's
    // "MMM-dd-yyyy" and a slashed date. Each starts the picker on its day.
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    for (const char* format : {"yyyy年 M月 d日", "yyyy-MM-dd", "MMM-dd-yyyy", "yyyy/MM/dd"}) {
        const QDate date = english.toDate(value, QString::fromUtf8(format));
        if (date.isValid()) return QDateTime(date, QTime(0, 0));
    }
    return std::nullopt;
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
