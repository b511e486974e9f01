#include <catch2/catch.hpp>

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <cstdlib>

#include "app/shell/datePickerView.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/ui/DatePicker.h"
#include "platform/ui/PopoverLayer.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Window.h"
#include "tests/app/shell/RegistTestSupport.h"

using C = ui::DatePicker::Component;

namespace {

struct Reports : datePiclerViewControllerDelegate {
    std::vector<std::pair<QDateTime, int32_t>> calls;
    void popoverClose(const QDateTime& date, int32_t tagNo) override { calls.push_back({date, tagNo}); }
};

struct PickerSetup {
    std::shared_ptr<Reports> reports = std::make_shared<Reports>();
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate = std::make_shared<zurarerizIvaDadadavu>();
    QLineEdit field;
    QLabel label;
    std::shared_ptr<datePickerView> picker = std::make_shared<datePickerView>();

    PickerSetup(const std::string& type, const std::string& tag, const std::string& start) {
        picker->setDelegate(reports);
        picker->setAppDelegate(appDelegate);
        picker->setPickerType(type);
        picker->setTagNoStr(tag);
        picker->setDefaultDateStr(start);
    }
    ui::DatePicker* wheels() { return picker->datePicker(); }
};

} // namespace

TEST_CASE("The date picker writes and reports every change", "[shell][datepicker]") {
    SECTION("an empty field is filled and reported the moment the picker opens") {
        PickerSetup s("date", "34", "");
        s.picker->setTargetText(&s.field);
        const QDateTime before = QDateTime::currentDateTime();
        s.picker->view();
        REQUIRE(s.reports->calls.size() == 1);
        CHECK(s.reports->calls[0].second == 34);
        CHECK(s.field.text() == QDate::currentDate().toString("yyyy年 M月 d日"));
        CHECK(std::abs(s.reports->calls[0].first.secsTo(before)) < 11 * 60);
        CHECK(s.appDelegate->certifiDataList().empty()); // a field is not the certificate
    }
    SECTION("a label target also goes into the certificate's list") {
        PickerSetup s("date", "30", "2015年 10月 16日");
        s.picker->setTargetLabel(&s.label);
        s.picker->view();
        CHECK(s.reports->calls.empty()); // a field with a date waits for the user
        CHECK(s.wheels()->date().date() == QDate(2015, 10, 16));
        registtest::turnWheel(s.wheels(), C::Day, 17);
        CHECK(s.label.text() == "2015年 10月 17日");
        CHECK(s.appDelegate->certifiDataList() == store::FormData{{"30", "2015年 10月 17日"}});
        REQUIRE(s.reports->calls.size() == 1);
        CHECK(s.reports->calls[0].second == 30);
    }
    SECTION("date and time: minutes in steps of ten, the time in the text") {
        PickerSetup s("dateAndTime", "31", "2014年 10月 27日　10:30 〜");
        s.picker->setTargetLabel(&s.label);
        s.picker->view();
        CHECK(s.wheels()->datePickerMode() == ui::DatePickerMode::DateAndTime);
        CHECK(s.wheels()->minuteInterval() == 10);
        QComboBox* minutes = s.wheels()->wheel(C::Minute);
        QStringList offered;
        for (int i = 0; i < minutes->count(); ++i)
            offered << minutes->itemText(i);
        CHECK(offered == QStringList{"00", "10", "20", "30", "40", "50"});
        CHECK(s.wheels()->date() == QDateTime(QDate(2014, 10, 27), QTime(10, 30)));
        registtest::turnWheel(s.wheels(), C::Minute, 40);
        CHECK(s.label.text() == "2014年 10月 27日　10:40 〜");
        registtest::turnWheel(s.wheels(), C::Hour, 9);
        CHECK(s.label.text() == "2014年 10月 27日　9:40 〜");
        CHECK(s.reports->calls.size() == 2);
        CHECK(s.reports->calls.back().first == QDateTime(QDate(2014, 10, 27), QTime(9, 40)));
    }
    SECTION("slashed dates") {
        PickerSetup s("dateSlash", "12", "2015/03/31");
        s.picker->setTargetText(&s.field);
        s.picker->view();
        CHECK(s.wheels()->datePickerMode() == ui::DatePickerMode::Date);
        registtest::turnWheel(s.wheels(), C::Month, 4);
        CHECK(s.field.text() == "2015/04/30");
    }
    SECTION("a start text in another format neither fails nor changes the field") {
        PickerSetup s("date", "12", "あした");
        s.field.setText("あした");
        s.picker->setTargetText(&s.field);
        s.picker->view();
        CHECK(s.reports->calls.empty());
        CHECK(s.field.text() == "あした");
        CHECK(s.wheels()->date().date() == QDate::currentDate());
    }
    SECTION("a stored date in the app's other forms starts the picker at that date") {
        // The questionnaire keeps "yyyy-MM-dd"; an English page shows and may store "MMM-dd-yyyy".
        const std::string stored = GENERATE(as<std::string>{}, "2014-10-13", "Oct-13-2014", "2014/10/13");
        INFO(stored);
        PickerSetup s("date", "93", stored);
        s.picker->setTargetLabel(&s.label);
        s.picker->view();
        CHECK(s.wheels()->date().date() == QDate(2014, 10, 13));
        CHECK(s.reports->calls.empty()); // nothing changes until a wheel turns
        registtest::turnWheel(s.wheels(), C::Day, 20);
        CHECK(s.label.text() == "2014年 10月 20日");
    }
    SECTION("a stored date without a time starts a date-and-time picker on that day") {
        PickerSetup s("dateAndTime", "31", "2014年 10月 27日");
        s.picker->setTargetLabel(&s.label);
        s.picker->view();
        CHECK(s.wheels()->date().date() == QDate(2014, 10, 27));
    }
    SECTION("without a target it still reports, and the tag is read as a number") {
        PickerSetup s("date", " 7x", "");
        s.picker->view();
        REQUIRE(s.reports->calls.size() == 1);
        CHECK(s.reports->calls[0].second == 7);
    }
}

TEST_CASE("The date picker popover closes only on a tap outside", "[shell][datepicker]") {
    registtest::RegistApp app;
    auto picker = std::dynamic_pointer_cast<datePickerView>(
        ui::Storyboard::named("Main")->instantiateViewController("datePickerContents"));
    REQUIRE(picker);
    QLineEdit field;
    picker->setTargetText(&field);
    picker->setPickerType("date");
    picker->setModalPresentationStyle(ui::PresentationStyle::Popover);
    picker->setPreferredContentSize(QSize(300, 150));
    auto menu = app.launched.navigation()->viewControllers().front();
    picker->popoverAnchor().sourceView = menu->view();
    menu->present(picker, true);
    REQUIRE(app.picker() == picker);
    CHECK_FALSE(field.text().isEmpty());
    for (int day : {2, 3, 4})
        registtest::turnWheel(picker->datePicker(), C::Day, day);
    CHECK(app.picker() == picker);
    auto* layer = app.launched.window().findChild<ui::PopoverLayer*>();
    REQUIRE(layer);
    CHECK(layer->frame()->size() == QSize(308, 158));
    app.tapOutsidePopover();
    CHECK_FALSE(app.picker());
}

TEST_CASE("The picker's wheels open their lists inside the window at every scale", "[shell][datepicker]") {
    // 546 x 728 is the window on a 1366 x 768 laptop screen.
    const double scale = GENERATE(1.0, 546.0 / 768.0, 0.5);
    INFO("scale " << scale);
    registtest::RegistApp app;
    ui::Window& window = app.launched.window();
    window.setScale(scale);
    app.launched.settle(10);
    auto form = app.openForm("9001");
    REQUIRE(form);
    // The lowest date field: its popover sits near the bottom of the window.
    QTest::mouseClick(form->startText(), Qt::LeftButton);
    REQUIRE(app.picker());
    for (C c : {C::Year, C::Month, C::Day}) {
        QComboBox* wheel = app.picker()->datePicker()->wheel(c);
        wheel->showPopup();
        app.launched.settle(5);
        QWidget* list = wheel->view()->window();
        REQUIRE(list->isVisible());
        const QRect shown(window.mapFromGlobal(list->mapToGlobal(QPoint(0, 0))), list->size());
        INFO("list " << shown.x() << "," << shown.y() << " " << shown.width() << "x" << shown.height());
        CHECK(window.rect().contains(shown));
        // The chosen entry is in sight.
        CHECK(wheel->view()
                  ->visualRect(wheel->view()->currentIndex())
                  .intersects(wheel->view()->viewport()->rect()));
        if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"); dir && c == C::Year)
            window.screenWidget()->grab().save(QDir(dir).filePath(QString("wheel-%1.png").arg(scale)));
        wheel->hidePopup();
        app.launched.settle(5);
    }
}
