#include <catch2/catch.hpp>

#include <QLabel>

#include "platform/geo/Geocoder.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/FrameAnimation.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/SegmentedControl.h"
#include "tests/app/shell/RegistTestSupport.h"

using registtest::RegistApp;

namespace {

std::string message(const patientRegistView& form) {
    return form.errorMsgText()->text().toStdString();
}

size_t rows(RegistApp& app, const char* table) {
    return app.probe().rows(std::string("SELECT * FROM ") + table + " WHERE pid = 'P-7'").size();
}

void fillAll(patientRegistView& f) {
    f.name1Text()->setStdText("山田");
    f.name2Text()->setStdText("花子");
    f.kana1Text()->setStdText("やまだ");
    f.kana2Text()->setStdText("はなこ");
    f.birthText()->setStdText("1980年 4月 1日");
    f.postalText()->setStdText("0600000");
    f.stateText()->setStdText("北海道");
    f.address1Text()->setStdText("札幌市中央区");
    f.tel11Text()->setStdText("011");
    f.tel12Text()->setStdText("123");
    f.tel13Text()->setStdText("4567");
    f.startText()->setStdText("2024年 4月 1日");
}

} // namespace

TEST_CASE("The input check reports the first failure in its order and writes nothing",
          "[shell][regist][check]") {
    RegistApp app;
    auto form = app.openForm("P-7");
    REQUIRE(form);
    auto refused = [&](const std::string& expected) {
        app.tapRegister();
        CHECK(message(*form) == expected);
        CHECK_FALSE(app.alert());
        CHECK(rows(app, "patientMst") == 0);
        CHECK(rows(app, "patientSrv") == 0);
    };

    SECTION("an empty form asks for the name first") {
        refused("氏名を入力してください");
    }

    SECTION("character checks come right after the first subview, before the required fields") {
        form->postalText()->setStdText("06a0000");
        refused("郵便番号の入力値が不正です");
        form->postalText()->setStdText("0600000");
        form->tel12Text()->setStdText("12-3"); // a hyphen typed into a part
        refused("自宅電話番号の入力値が不正です");
        form->tel12Text()->setStdText("123");
        form->tel22Text()->setStdText("x");
        refused("携帯電話番号の入力値が不正です");
        form->tel22Text()->setStdText("*#"); // keypad signs are allowed
        refused("氏名を入力してください");
    }

    SECTION("each required field, in screen order, names its caption") {
        struct Case {
            ui::TextField* field;
            const char* message;
        };
        const Case cases[] = {
            {form->name1Text(), "氏名を入力してください"},
            {form->name2Text(), "氏名を入力してください"},
            {form->kana1Text(), "ふりがなを入力してください"},
            {form->kana2Text(), "ふりがなを入力してください"},
            {form->birthText(), "生年月日を入力してください"},
            {form->postalText(), "郵便番号を入力してください"},
            {form->stateText(), "都道府県を入力してください"},
            {form->address1Text(), "住所を入力してください"},
            {form->tel11Text(), "自宅電話番号を入力してください"},
            {form->tel12Text(), "自宅電話番号を入力してください"},
            {form->tel13Text(), "自宅電話番号を入力してください"},
            {form->startText(), "初診日を入力してください"},
        };
        for (const Case& c : cases) {
            fillAll(*form);
            c.field->setStdText("");
            INFO(c.message);
            refused(c.message);
        }
        // Two gaps: the one higher on the screen is named.
        fillAll(*form);
        form->stateText()->setStdText("");
        form->tel13Text()->setStdText("");
        refused("都道府県を入力してください");
    }

    SECTION("optional fields may stay empty, and a passing check clears the message") {
        refused("氏名を入力してください");
        fillAll(*form);
        app.tapRegister();
        CHECK(message(*form).empty());
        REQUIRE(app.alert());
        CHECK(app.alert()->message() == "登録しました");
        auto stored = app.probe().rows("SELECT address2, tel2, biz FROM patientMst WHERE pid = 'P-7'");
        REQUIRE(stored.size() == 1);
        // The mobile number's three empty parts are joined like any other.
        CHECK(stored[0] == storetest::ClinicDbProbe::Row{"", "--", ""});
    }
}

TEST_CASE("A save that fails keeps the form and its entries", "[shell][regist][fault]") {
    RegistApp app;
    app.probe().exec(
        "CREATE TRIGGER refuse BEFORE INSERT ON patientSrv BEGIN SELECT RAISE(ABORT, 'no'); END");
    auto form = app.openForm("P-7");
    REQUIRE(form);
    fillAll(*form);
    app.tapRegister();
    auto alert = app.alert();
    REQUIRE(alert);
    CHECK(alert->title() == "エラー");
    // SQLite's own words for a refusal it has no cause for, for whoever is called to look.
    CHECK(alert->message() == "登録できませんでした\n原因: データベースのエラーです（no）。");
    REQUIRE(alert->tapAction("OK"));
    CHECK(app.top() == form);
    CHECK(form->name2Text()->stdText() == "花子");
    CHECK(form->startText()->stdText() == "2024年 4月 1日");
    CHECK(rows(app, "patientMst") == 0); // not half-written
    CHECK(rows(app, "patientSrv") == 0);

    app.probe().exec("DROP TRIGGER refuse");
    app.tapRegister();
    REQUIRE(app.alert());
    CHECK(app.alert()->message() == "登録しました");
    CHECK(rows(app, "patientMst") == 1);
}

TEST_CASE("Unusual stored values load and save without failing", "[shell][regist][fault]") {
    RegistApp app;
    app.probe().exec(
        "INSERT INTO patientMst VALUES ('10000', 'P-7', '山田太郎', 'やまだ たろう', '12', '北海道', "
        "'札幌市', '', '0312345678', '090-1234', '', '2024年 4月 1日', 0)");
    app.probe().exec("INSERT INTO patientSrv VALUES ('10000', 'P-7', '男', '1980年 4月 1日')");
    auto form = app.openForm("P-7");
    REQUIRE(form);
    CHECK(form->name1Text()->stdText() == "山田太郎");
    CHECK(form->name2Text()->stdText().empty());
    CHECK(form->kana1Text()->stdText() == "やまだ");
    CHECK(form->kana2Text()->stdText() == "たろう");
    CHECK(form->postalText()->stdText() == "12");
    CHECK(form->tel11Text()->stdText() == "0312345678");
    CHECK(form->tel12Text()->stdText().empty());
    CHECK(form->tel21Text()->stdText() == "090");
    CHECK(form->tel22Text()->stdText() == "1234");
    CHECK(form->tel23Text()->stdText().empty());
    CHECK(form->sexSegument()->selectedSegmentIndex() == 0);

    // The check asks for what is missing; the short postal code and the short mobile number pass.
    app.tapRegister();
    CHECK(message(*form) == "氏名を入力してください");
    form->name2Text()->setStdText("太郎");
    app.tapRegister();
    CHECK(message(*form) == "自宅電話番号を入力してください");
    form->tel11Text()->setStdText("03");
    form->tel12Text()->setStdText("1234");
    form->tel13Text()->setStdText("5678");
    app.tapRegister();
    REQUIRE(app.alert());
    CHECK(app.alert()->message() == "登録しました");
    auto stored = app.probe().rows("SELECT name, postal, tel1, tel2 FROM patientMst WHERE pid = 'P-7'");
    REQUIRE(stored.size() == 1);
    CHECK(stored[0] == storetest::ClinicDbProbe::Row{"山田太郎　太郎", "12", "03-1234-5678", "090-1234-"});
}

TEST_CASE("The ID screen refuses an empty ID and opens the seed patient", "[shell][regist]") {
    RegistApp app;
    auto start = app.openTop();
    REQUIRE(start);
    CHECK(start->title() == "患者情報登録");

    SECTION("an empty ID") {
        app.delegate().inputItems() = store::FormData{{"421", "on"}};
        QTest::mouseClick(start->patientIDBox(), Qt::LeftButton);
        QTest::keyClick(start->patientIDBox(), Qt::Key_Return);
        auto alert = app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() == "患者IDを入力してください");
        CHECK(app.top() == start);
        CHECK(app.delegate().inputItems() == store::FormData{});
        alert->tapAction("OK");
        CHECK_FALSE(app.alert());
    }
    SECTION("the seed patient's columns fill the form") {
        registtest::type(start->patientIDBox(), "999999");
        QTest::keyClick(start->patientIDBox(), Qt::Key_Return);
        auto form = std::dynamic_pointer_cast<patientRegistView>(app.top());
        REQUIRE(form);
        CHECK(app.delegate().patientID() == "999999");
        CHECK_FALSE(form->name1Text()->stdText().empty());
        CHECK_FALSE(form->name2Text()->stdText().empty());
        CHECK(form->postalText()->stdText().size() == 7);
        CHECK(form->bizText()->stdText() == "会社員");
        CHECK(form->startText()->stdText() == "2014年 10月 10日");
        CHECK(form->sexSegument()->selectedSegmentIndex() == 0);
    }
}

TEST_CASE("Fields low on the form lift it above the keyboard once", "[shell][regist][keyboard]") {
    RegistApp app;
    auto form = app.openForm("P-7");
    REQUIRE(form);
    QWidget* page = form->view();
    const int top = page->y();
    auto settle = [] {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        ui::AnimationClock::shared().finishAnimations();
    };

    QTest::mouseClick(form->name1Text(), Qt::LeftButton);
    settle();
    CHECK(page->y() == top);
    CHECK_FALSE(form->viewUpFlg());

    QTest::mouseClick(form->tel21Text(), Qt::LeftButton);
    CHECK(form->nowTagNo() == 1001);
    CHECK(ui::runningFrameAnimation(page) == "keyboardShow");
    settle();
    CHECK(page->y() == top - ui::kKeyboardHeight);
    CHECK(form->viewUpFlg());

    // The next field low down shows the keyboard again; the form stays lifted once.
    QTest::mouseClick(form->tel22Text(), Qt::LeftButton);
    settle();
    CHECK(page->y() == top - ui::kKeyboardHeight);
    ui::postKeyboardWillShow(); // as a test may post it
    settle();
    CHECK(page->y() == top - ui::kKeyboardHeight);

    QTest::keyClick(form->tel22Text(), Qt::Key_Return);
    settle();
    CHECK(form->nowTagNo() == 0);
    CHECK(page->y() == 0);
    CHECK_FALSE(form->viewUpFlg());
}

TEST_CASE("The postal look-up fills the prefecture, and the city only into an empty address",
          "[shell][regist][geo]") {
    if (!geo::ZipCodeDictionary::shared()) {
        WARN("the postal-code dictionary (skkdic-extra) is missing");
        return;
    }
    RegistApp app;
    auto form = app.openForm("P-7");
    REQUIRE(form);
    auto lookUp = [&](const QString& code) {
        registtest::type(form->postalText(), code);
        QTest::keyClick(form->postalText(), Qt::Key_Return); // leaving the field starts the look-up
        REQUIRE(form->geocoder());
        REQUIRE(QTest::qWaitFor([&] { return !form->geocoder()->isGeocoding(); }, 10000));
        QCoreApplication::processEvents();
    };

    form->stateText()->setStdText("北海道");
    form->address1Text()->setStdText("札幌市北区北8条西5丁目");
    lookUp("1000001");
    CHECK(form->stateText()->stdText() == "東京都");
    CHECK(form->address1Text()->stdText() == "札幌市北区北8条西5丁目"); // what was typed stays

    form->address1Text()->setStdText("");
    lookUp("1000001");
    CHECK(form->address1Text()->stdText() == "千代田区");

    // A code nobody has changes nothing and raises no alert.
    lookUp("0000000");
    CHECK(form->stateText()->stdText() == "東京都");
    CHECK(form->address1Text()->stdText() == "千代田区");
    CHECK_FALSE(app.alert());
}
