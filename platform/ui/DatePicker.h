#pragma once
// A date picker: wheels (drop-down lists here) for year, month and day, and for hour and minute in
// date-and-time mode. Minutes are offered in steps of the minute interval only, and the date it holds
// always sits on such a step. A user's change reports valueChanged; setting the date in code does not.
#include <QDateTime>
#include <QWidget>

class QComboBox;

namespace ui {

enum class DatePickerMode { Time = 0, Date = 1, DateAndTime = 2 };

class DatePicker : public QWidget {
    Q_OBJECT
  public:
    enum class Component { Year, Month, Day, Hour, Minute };

    explicit DatePicker(QWidget* parent = nullptr);

    DatePickerMode datePickerMode() const { return mode_; }
    void setDatePickerMode(DatePickerMode mode);
    // A divisor of 60 from 1 to 30; others are ignored.
    int minuteInterval() const { return minuteInterval_; }
    void setMinuteInterval(int interval);

    // Local time, seconds dropped and minutes rounded down to the interval.
    QDateTime date() const { return date_; }
    void setDate(const QDateTime& date);

    // The wheel of a component (tests turn it like a user).
    QComboBox* wheel(Component c) const;

  signals:
    void valueChanged();

  private:
    void rebuild();
    void userPicked();
    QDateTime snapped(const QDateTime& d) const;

    DatePickerMode mode_ = DatePickerMode::DateAndTime;
    int minuteInterval_ = 1;
    QDateTime date_;
    QComboBox* year_;
    QComboBox* month_;
    QComboBox* day_;
    QComboBox* hour_;
    QComboBox* minute_;
    bool filling_ = false;
};

} // namespace ui
