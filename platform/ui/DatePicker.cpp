#include "platform/ui/DatePicker.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <algorithm>

namespace ui {

namespace {
constexpr int kFirstYear = 1900;
constexpr int kLastYear = 2100;

// A drop-down list whose open list stays inside the window. Qt places the list by the monitor's
// bounds, and some styles show every entry (two hundred years): in a window scaled onto a small
// monitor that list would run off the window and be cut.
class Wheel : public QComboBox {
  public:
    using QComboBox::QComboBox;

    void showPopup() override {
        QComboBox::showPopup();
        QWidget* list = view() ? view()->window() : nullptr;
        QWidget* canvas = window();
        if (!list || list == canvas || !canvas) return;
        // In the window's own points, whatever its scale on the monitor.
        const QRect bounds = canvas->rect();
        QRect r(canvas->mapFromGlobal(list->mapToGlobal(QPoint(0, 0))), list->size());
        r.setWidth(std::min(r.width(), bounds.width()));
        r.setHeight(std::min(r.height(), bounds.height()));
        if (r.right() > bounds.right()) r.moveRight(bounds.right());
        if (r.bottom() > bounds.bottom()) r.moveBottom(bounds.bottom());
        if (r.left() < bounds.left()) r.moveLeft(bounds.left());
        if (r.top() < bounds.top()) r.moveTop(bounds.top());
        // The list is a window of its own: its geometry is in the monitor's coordinates.
        list->setGeometry(QRect(canvas->mapToGlobal(r.topLeft()), r.size()));
        view()->scrollTo(view()->currentIndex(), QAbstractItemView::PositionAtCenter);
    }
};

// A wheel and its unit, side by side in the grid's row.
QComboBox* makeWheel(QWidget* parent, QGridLayout* grid, int row, int column, const char* name,
                     const QString& unit) {
    auto* box = new Wheel(parent);
    box->setObjectName(name);
    // A list of at most this many entries, whatever the style would show.
    box->setStyleSheet("QComboBox { combobox-popup: 0; }");
    box->setMaxVisibleItems(12);
    box->setMinimumContentsLength(2);
    grid->addWidget(box, row, column * 2);
    auto* label = new QLabel(unit, parent);
    label->setObjectName(QString(name) + "Unit");
    grid->addWidget(label, row, column * 2 + 1);
    return box;
}
} // namespace

DatePicker::DatePicker(QWidget* parent) : QWidget(parent) {
    // The date on one row, the time below it: both fit a popover a finger wide.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(8);
    year_ = makeWheel(this, grid, 0, 0, "year", "年");
    month_ = makeWheel(this, grid, 0, 1, "month", "月");
    day_ = makeWheel(this, grid, 0, 2, "day", "日");
    hour_ = makeWheel(this, grid, 1, 1, "hour", "時");
    minute_ = makeWheel(this, grid, 1, 2, "minute", "分");
    grid->setColumnStretch(6, 1);
    for (QComboBox* box : {year_, month_, day_, hour_, minute_})
        connect(box, &QComboBox::activated, this, [this] { userPicked(); });
    date_ = snapped(QDateTime::currentDateTime());
    rebuild();
}

QComboBox* DatePicker::wheel(Component c) const {
    switch (c) {
    case Component::Year:
        return year_;
    case Component::Month:
        return month_;
    case Component::Day:
        return day_;
    case Component::Hour:
        return hour_;
    case Component::Minute:
        return minute_;
    }
    return nullptr;
}

void DatePicker::setDatePickerMode(DatePickerMode mode) {
    mode_ = mode;
    rebuild();
}

void DatePicker::setMinuteInterval(int interval) {
    if (interval < 1 || interval > 30 || 60 % interval != 0) return;
    minuteInterval_ = interval;
    date_ = snapped(date_);
    rebuild();
}

void DatePicker::setDate(const QDateTime& date) {
    if (!date.isValid()) return;
    date_ = snapped(date);
    rebuild();
}

QDateTime DatePicker::snapped(const QDateTime& d) const {
    const QTime t = d.time();
    const int minute = t.minute() - t.minute() % minuteInterval_;
    return QDateTime(d.date(), QTime(t.hour(), minute));
}

void DatePicker::rebuild() {
    filling_ = true;
    const QDate day = date_.date();
    auto fill = [](QComboBox* box, int from, int to, int step, int current, int width) {
        box->clear();
        for (int v = from; v <= to; v += step)
            box->addItem(QString("%1").arg(v, width, 10, QChar('0')), v);
        box->setCurrentIndex(box->findData(current));
    };
    fill(year_, kFirstYear, kLastYear, 1, day.year(), 4);
    fill(month_, 1, 12, 1, day.month(), 1);
    fill(day_, 1, day.daysInMonth(), 1, day.day(), 1);
    fill(hour_, 0, 23, 1, date_.time().hour(), 1);
    fill(minute_, 0, 59, minuteInterval_, date_.time().minute(), 2);
    const bool dates = mode_ != DatePickerMode::Time;
    const bool times = mode_ != DatePickerMode::Date;
    for (QComboBox* box : {year_, month_, day_}) {
        box->setVisible(dates);
        findChild<QLabel*>(box->objectName() + "Unit")->setVisible(dates);
    }
    for (QComboBox* box : {hour_, minute_}) {
        box->setVisible(times);
        findChild<QLabel*>(box->objectName() + "Unit")->setVisible(times);
    }
    filling_ = false;
}

void DatePicker::userPicked() {
    if (filling_) return;
    const int year = year_->currentData().toInt();
    const int month = month_->currentData().toInt();
    // A day past the new month's end becomes its last day (31 March → April 30).
    const int day = std::min(day_->currentData().toInt(), QDate(year, month, 1).daysInMonth());
    QDateTime picked(QDate(year, month, day),
                     QTime(hour_->currentData().toInt(), minute_->currentData().toInt()));
    if (picked == date_) return;
    date_ = snapped(picked);
    rebuild();
    emit valueChanged();
}

} // namespace ui
