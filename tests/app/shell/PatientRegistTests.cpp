#include <catch2/catch.hpp>

#include <QLabel>
#include <filesystem>

#include "platform/foundation/Log.h"
#include "platform/geo/Geocoder.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/app/store/DamagedDatabase.h"
#include "tests/support/ErrorAlert.h"
#include "tests/support/GrabFolder.h"

using registtest::RegistApp;
using registtest::type;
using C = ui::DatePicker::Component;

namespace {

std::string str(const QLabel* l) {
    return l->text().toStdString();
}
std::string str(const ui::TextField* f) {
    return f->stdText();
}

size_t rowCount(RegistApp& app, const char* table, const std::string& pid) {
    return app.probe().rows(std::string("SELECT * FROM ") + table + " WHERE pid = '" + pid + "'").size();
}

std::vector<std::string> patientRow(RegistApp& app, const std::string& pid) {
    auto rows = app.probe().rows(
        "SELECT t1.cid, t1.pid, name, kana, postal, state, address1, address2, tel1, tel2, biz, startdate, "
        "consultation, sex, birthday FROM patientMst t1 JOIN patientSrv t2 ON t1.pid = t2.pid WHERE t1.pid = "
        "'" +
        pid + "'");
    std::vector<std::string> out;
    if (rows.size() == 1)
        for (auto& v : rows[0])
            out.push_back(v.value_or("NULL"));
    return out;
}

} // namespace

TEST_CASE("A receptionist registers a new patient, reopens and changes it", "[shell][regist]") {
    if (!geo::ZipCodeDictionary::shared()) {
        WARN("the postal-code dictionary (skkdic-extra) is missing");
        return;
    }
    RegistApp app;
    const std::string today = QDate::currentDate().toString("yyyy年 M月 d日").toStdString();

    auto form = app.openForm("120034");
    REQUIRE(form);
    CHECK(str(form->patientIDLabel()) == "120034");
    CHECK(str(form->name1Text()).empty());
    CHECK(form->sexSegument()->selectedSegmentIndex() == 0);
    CHECK(form->navigationItem().rightBarButtonItem() == app.delegate().registButton());
    CHECK(form->navigationItem().leftBarButtonItem()->title() == "キャンセル");

    type(form->name1Text(), "山田");
    type(form->name2Text(), "花子");
    type(form->kana1Text(), "やまだ");
    type(form->kana2Text(), "はなこ");
    QTest::mouseClick(form->sexSegument()->segmentButton(1), Qt::LeftButton);

    // Birthday: the picker starts at 1 January 1975 and leaves the field alone until a wheel turns.
    QTest::mouseClick(form->birthText(), Qt::LeftButton);
    auto picker = app.picker();
    REQUIRE(picker);
    CHECK(picker->defaultDateStr() == "1975年 1月 1日");
    CHECK(picker->datePicker()->date().date() == QDate(1975, 1, 1));
    CHECK(str(form->birthText()).empty());
    CHECK(form->nowTagNo() == 401);
    registtest::turnWheel(picker->datePicker(), C::Year, 1980);
    registtest::turnWheel(picker->datePicker(), C::Month, 4);
    CHECK(str(form->birthText()) == "1980年 4月 1日");
    app.tapOutsidePopover();
    CHECK_FALSE(app.picker());

    // Postal code: prefecture and city arrive from the geocoder when the field is left.
    type(form->postalText(), "0600000");
    type(form->address2Text(), "ABCビル3F");
    REQUIRE(QTest::qWaitFor([&] { return !form->stateText()->text().isEmpty(); }, 10000));
    CHECK(str(form->stateText()) == "北海道");
    CHECK(str(form->address1Text()) == "札幌市中央区");
    QTest::mouseClick(form->address1Text(), Qt::LeftButton);
    QTest::keyClick(form->address1Text(), Qt::Key_End);
    QInputMethodEvent more;
    more.setCommitString("北1条西2丁目");
    QCoreApplication::sendEvent(form->address1Text(), &more);

    type(form->tel11Text(), "011");
    type(form->tel12Text(), "123");
    type(form->tel13Text(), "4567");
    type(form->tel21Text(), "090");
    type(form->tel22Text(), "1234");
    type(form->tel23Text(), "5678");
    type(form->bizText(), "会社員");
    QTest::keyClick(form->bizText(), Qt::Key_Return);
    CHECK(form->nowTagNo() == 0);

    // First visit: an empty field takes today's date the moment the picker opens.
    QTest::mouseClick(form->startText(), Qt::LeftButton);
    REQUIRE(app.picker());
    CHECK(str(form->startText()) == today);
    app.tapOutsidePopover();

    form->view()->window()->grab().save(testsupport::grabPath("regist.png"));

    app.tapRegister();
    auto done = app.alert();
    REQUIRE(done);
    CHECK(done->title() == "メッセージ");
    CHECK(done->message() == "登録しました");
    CHECK(str(form->errorMsgText()).empty());
    REQUIRE(done->tapAction("OK"));
    CHECK(app.top() == app.launched.navigation()->viewControllers().front());

    CHECK(patientRow(app, "120034") ==
          std::vector<std::string>{"10000", "120034", "山田　花子", "やまだ　はなこ", "060-0000", "北海道",
                                   "札幌市中央区北1条西2丁目", "ABCビル3F", "011-123-4567", "090-1234-5678",
                                   "会社員", today, "0", "女", "1980年 4月 1日"});

    SECTION("reopened, every column is split back into its fields; a change is saved in place") {
        auto start = app.openTop();
        REQUIRE(start);
        CHECK(str(start->patientIDBox()) == "120034");
        QTest::mouseClick(start->patientIDBox(), Qt::LeftButton);
        QTest::keyClick(start->patientIDBox(), Qt::Key_Return);
        auto again = std::dynamic_pointer_cast<patientRegistView>(app.top());
        REQUIRE(again);
        CHECK(str(again->name1Text()) == "山田");
        CHECK(str(again->name2Text()) == "花子");
        CHECK(str(again->kana1Text()) == "やまだ");
        CHECK(str(again->kana2Text()) == "はなこ");
        CHECK(again->sexSegument()->selectedSegmentIndex() == 1);
        CHECK(str(again->birthText()) == "1980年 4月 1日");
        CHECK(str(again->postalText()) == "0600000");
        CHECK(str(again->stateText()) == "北海道");
        CHECK(str(again->address1Text()) == "札幌市中央区北1条西2丁目");
        CHECK(str(again->address2Text()) == "ABCビル3F");
        CHECK(str(again->tel11Text()) == "011");
        CHECK(str(again->tel12Text()) == "123");
        CHECK(str(again->tel13Text()) == "4567");
        CHECK(str(again->tel21Text()) == "090");
        CHECK(str(again->tel22Text()) == "1234");
        CHECK(str(again->tel23Text()) == "5678");
        CHECK(str(again->bizText()) == "会社員");
        CHECK(str(again->startText()) == today);

        // The birthday picker now starts at the stored date.
        QTest::mouseClick(again->birthText(), Qt::LeftButton);
        REQUIRE(app.picker());
        CHECK(app.picker()->datePicker()->date().date() == QDate(1980, 4, 1));
        registtest::turnWheel(app.picker()->datePicker(), C::Day, 2);
        app.tapOutsidePopover();

        type(again->name2Text(), "花");
        type(again->kana2Text(), "はな");
        QTest::mouseClick(again->sexSegument()->segmentButton(0), Qt::LeftButton);
        type(again->tel21Text(), "080");
        app.tapRegister();
        REQUIRE(app.alert());
        CHECK(app.alert()->message() == "登録しました");
        app.alert()->tapAction("OK");

        CHECK(rowCount(app, "patientMst", "120034") == 1);
        CHECK(rowCount(app, "patientSrv", "120034") == 1);
        auto row = patientRow(app, "120034");
        REQUIRE(row.size() == 15);
        CHECK(row[0] == "10000");
        CHECK(row[2] == "山田　花");
        CHECK(row[3] == "やまだ　はな");
        CHECK(row[9] == "080-1234-5678");
        CHECK(row[13] == "男");
        CHECK(row[14] == "1980年 4月 2日");
    }

    SECTION("cancel asks first; its キャンセル stays, its OK leaves without saving") {
        auto again = app.openForm("120034");
        REQUIRE(again);
        type(again->bizText(), "教員");
        again->navigationItem().leftBarButtonItem()->trigger();
        REQUIRE(app.alert());
        CHECK(app.alert()->title() == "メッセージ");
        CHECK(app.alert()->message() == "登録せずに終了しますか？");
        app.alert()->tapAction("キャンセル");
        CHECK(app.top() == again);
        again->navigationItem().leftBarButtonItem()->trigger();
        app.alert()->tapAction("OK");
        CHECK(app.top() == app.launched.navigation()->viewControllers().front());
        CHECK(patientRow(app, "120034")[10] == "会社員");
    }
}

TEST_CASE("A register tapped while one runs is ignored", "[shell][regist]") {
    RegistApp app;
    auto form = app.openForm("999999"); // the seed patient, complete
    REQUIRE(form);
    auto probe = app.probe();
    registtest::countWrites(probe, "patientMst");
    foundation::LogCapture log;
    registtest::TapWhileAlertComesUp again([&] { app.tapRegister(); });
    app.tapRegister();
    CHECK(again.tapped());
    CHECK(registtest::writesTo(probe, "patientMst") == 1);
    REQUIRE(app.alert());
    CHECK(app.alert()->message() == "登録しました");
    CHECK_FALSE(log.contains("Attempt to present"));
    // Once it has run, the next register runs as before.
    app.alert()->tapAction("OK");
    form = app.openForm("999999");
    REQUIRE(form);
    app.tapRegister();
    CHECK(registtest::writesTo(probe, "patientMst") == 2);
}

TEST_CASE("A patient that cannot be read is not opened as a new one", "[shell][regist]") {
    RegistApp app;
    const std::string path = store::ClinicDatabase::databasePath();
    // What a form opened empty and registered would replace.
    const auto stored = app.probe().rows("SELECT tel2, biz FROM patientMst WHERE pid = '999999'");
    REQUIRE(stored.size() == 1);
    // Another program's lock is met at once instead of after the handle's two seconds of retries.
    app.delegate().db()->setMaxBusyRetryTimeInterval(0);

    // The ID screen says why and stays, with the ID still typed in.
    auto refused = [&](const std::string& cause, const QString& shot) {
        auto start = app.openTop();
        REQUIRE(start);
        type(start->patientIDBox(), "999999");
        QTest::keyClick(start->patientIDBox(), Qt::Key_Return);
        CHECK(app.top() == start);
        auto alert = app.alert();
        CHECK(testsupport::errorAlertMessage(alert) == "患者情報を読み込めませんでした。\n原因: " + cause);
        app.launched.window().grab().save(testsupport::grabPath(shot));
        CHECK(alert->tapAction("OK"));
        CHECK(app.top() == start);
        CHECK(str(start->patientIDBox()) == "999999");
    };

    SECTION("the database is locked by another program") {
        storetest::ClinicDbProbe other(path);
        other.exec("BEGIN EXCLUSIVE");
        refused("他のプログラムがデータベースを使用中です。", "regist-locked.png");
        other.exec("ROLLBACK");
    }
    SECTION("the database file is damaged") {
        storetest::DamagedDatabase damage(path);
        refused("データベースのファイルが破損しています。", "regist-damaged.png");
        CHECK(storetest::fileBytes(path) == damage.damaged());
        damage.repair();
    }
    CHECK(app.probe().rows("SELECT tel2, biz FROM patientMst WHERE pid = '999999'") == stored);
}

TEST_CASE("A save refused because another program uses the database says so", "[shell][regist]") {
    RegistApp app;
    auto form = app.openForm("999999");
    REQUIRE(form);
    const auto stored = app.probe().rows("SELECT tel2, biz FROM patientMst WHERE pid = '999999'");
    app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once
    type(form->bizText(), "教員");
    {
        auto other = app.probe();
        other.exec("BEGIN EXCLUSIVE");
        app.tapRegister();
        auto alert = app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() == "登録できませんでした\n原因: 他のプログラムがデータベースを使用中です。");
        app.launched.window().grab().save(testsupport::grabPath("regist-save-locked.png"));
        CHECK(alert->tapAction("OK"));
        CHECK(app.top() == form); // with what was typed
        CHECK(str(form->bizText()) == "教員");
        other.exec("ROLLBACK");
    }
    CHECK(app.probe().rows("SELECT tel2, biz FROM patientMst WHERE pid = '999999'") == stored);
    app.tapRegister();
    REQUIRE(app.alert());
    CHECK(app.alert()->message() == "登録しました");
}

TEST_CASE("A save after the database file has gone says so and makes no file", "[shell][regist]") {
    RegistApp app;
    auto form = app.openForm("999999");
    REQUIRE(form);
    const std::string path = store::ClinicDatabase::databasePath();
    REQUIRE(std::filesystem::remove(path));
    type(form->bizText(), "教員");
    app.tapRegister();
    auto alert = app.alert();
    CHECK(testsupport::errorAlertMessage(alert) ==
          "登録できませんでした\n原因: データベースのファイルが見つかりません。");
    CHECK(alert->tapAction("OK"));
    CHECK(app.top() == form); // with what was typed
    CHECK(str(form->bizText()) == "教員");
    CHECK_FALSE(std::filesystem::exists(path));
}
