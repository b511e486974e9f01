#include <catch2/catch.hpp>

#include <QComboBox>
#include <QTest>

#include "platform/ui/DatePicker.h"

using ui::DatePicker;
using C = ui::DatePicker::Component;

namespace {
QList<int> values(QComboBox* box) {
    QList<int> out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemData(i).toInt();
    return out;
}
} // namespace

TEST_CASE("The date picker offers minutes in steps of its interval", "[ui][datepicker]") {
    DatePicker picker;
    picker.setMinuteInterval(10);
    picker.show();
    int changes = 0;
    QObject::connect(&picker, &DatePicker::valueChanged, [&] { ++changes; });

    CHECK(values(picker.wheel(C::Minute)) == QList<int>{0, 10, 20, 30, 40, 50});
    CHECK(picker.date().time().minute() % 10 == 0);

    SECTION("a date set in code lands on a step, silently") {
        picker.setDate(QDateTime(QDate(2014, 10, 27), QTime(10, 37, 12)));
        CHECK(picker.date() == QDateTime(QDate(2014, 10, 27), QTime(10, 30)));
        CHECK(picker.wheel(C::Minute)->currentText() == "30");
        CHECK(changes == 0);
    }
    SECTION("turning the minute wheel moves ten minutes and reports") {
        picker.setDate(QDateTime(QDate(2014, 10, 27), QTime(10, 30)));
        picker.wheel(C::Minute)->setFocus();
        QTest::keyClick(picker.wheel(C::Minute), Qt::Key_Down);
        CHECK(picker.date() == QDateTime(QDate(2014, 10, 27), QTime(10, 40)));
        CHECK(changes == 1);
    }
    SECTION("a day past the month's end becomes its last day") {
        picker.setDate(QDateTime(QDate(2015, 3, 31), QTime(9, 0)));
        auto* month = picker.wheel(C::Month);
        month->setCurrentIndex(month->findData(4));
        emit month->activated(month->currentIndex());
        CHECK(picker.date().date() == QDate(2015, 4, 30));
        CHECK(values(picker.wheel(C::Day)).size() == 30);
    }
    SECTION("a date-only picker hides the time wheels") {
        picker.setDatePickerMode(ui::DatePickerMode::Date);
        CHECK_FALSE(picker.wheel(C::Hour)->isVisible());
        CHECK(picker.wheel(C::Year)->isVisible());
    }
    SECTION("an interval that does not divide the hour is refused") {
        picker.setMinuteInterval(7);
        CHECK(picker.minuteInterval() == 10);
    }
}
