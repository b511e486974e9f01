// The questionnaire pages and container apart from the whole flow: print mode, page 3's date, the
// clinic logo, the keyboard shift, paging limits and a failed save.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <catch2/catch.hpp>

#include "app/documents/questionnaire/inquiryBaseView.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/WidgetFormPage.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Tag.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

// A clinic app with the seed patient loaded, as the start screen leaves it, in a language.
struct LoadedPatient {
    registtest::RegistApp app;
    explicit LoadedPatient(const char* language, bool touchMode = true) {
        StaticVariableHelper::setInquiryLanguage(std::string(language));
        app.delegate().inputItems() = store::FormData{};
        app.delegate().patientID() = "999999";
        REQUIRE(app.delegate().setPatientInfoData());
        app.delegate().setTouchMode(touchMode);
    }
    ~LoadedPatient() { StaticVariableHelper::setInquiryLanguage(std::nullopt); }

    template <class Page> std::shared_ptr<Page> show() {
        auto page = std::make_shared<Page>();
        app.launched.navigation()->pushViewController(page, false);
        app.launched.settle(10);
        return page;
    }
    std::shared_ptr<inquiryBaseView> showContainer() {
        auto base = std::make_shared<inquiryBaseView>();
        app.launched.navigation()->pushViewController(base, false);
        app.launched.settle(10);
        return base;
    }
};

QImage grabOf(QWidget* view) {
    return view->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

TEST_CASE("print mode: the pages take no input and look as when filling out", "[documents][inquiry]") {
    QImage filling, printing;
    QRect circleFrame, fieldText;
    {
        LoadedPatient p("Japanese", true);
        auto page = p.show<inquiryView1>();
        auto* circle = qobject_cast<QAbstractButton*>(ui::viewWithTag(page->formView(), 111));
        REQUIRE(circle);
        circleFrame = circle->geometry();
        auto* field = ui::viewWithTag(page->formView(), 32);
        fieldText = field->geometry().adjusted(0, 0, -field->width() / 2, 0);
        filling = grabOf(page->formView());
    }
    LoadedPatient p("Japanese", false);
    auto page = p.show<inquiryView1>();
    auto* circle = qobject_cast<QAbstractButton*>(ui::viewWithTag(page->formView(), 112));
    auto* field = qobject_cast<ui::TextField*>(ui::viewWithTag(page->formView(), 32));
    REQUIRE(circle);
    REQUIRE(field);
    printing = grabOf(page->formView());
    // The stored answers show in full colour, not greyed.
    CHECK(filling.copy(circleFrame) == printing.copy(circleFrame));
    // The typed text prints black (in the document font), never a disabled grey.
    int darkest = 255;
    for (int y = fieldText.top(); y <= fieldText.bottom(); ++y)
        for (int x = fieldText.left(); x <= fieldText.right(); ++x)
            darkest = std::min(darkest, qGray(printing.pixel(x, y)));
    CHECK(darkest < 40);
    CHECK(circle->isEnabled());
    CHECK(field->isEnabled());

    const store::FormData before = *p.app.delegate().inputItems();
    QTest::mouseClick(circle, Qt::LeftButton);
    CHECK_FALSE(shell::WidgetFormPage::showsCircle(circle));
    registtest::type(field, "typed");
    CHECK(field->stdText() == "睡眠導入剤");
    CHECK(*p.app.delegate().inputItems() == before);

    SECTION("page 3 neither opens the picker nor takes text") {
        auto third = p.show<inquiryView3>();
        QTest::mouseClick(third->inputDateLabel(), Qt::LeftButton);
        CHECK_FALSE(third->pop());
        auto* remarks = qobject_cast<ui::TextView*>(ui::viewWithTag(third->formView(), 95));
        QTest::mouseClick(remarks->viewport(), Qt::LeftButton);
        QTest::keyClicks(remarks, "x");
        CHECK(remarks->stdText().empty());
    }
}

TEST_CASE("page 3's input date", "[documents][inquiry]") {
    SECTION("without a stored date it is today, and today is what a save would store") {
        const char* stored = GENERATE("", "(null)");
        LoadedPatient p("Japanese");
        if (*stored)
            (*p.app.delegate().inputItems())["inputdate"] = stored;
        else
            p.app.delegate().inputItems()->erase("inputdate");
        auto page = p.show<inquiryView3>();
        const QDate today = QDate::currentDate();
        CHECK(page->inputDateLabel()->text() == today.toString("yyyy年 M月 d日"));
        CHECK(p.app.delegate().inputItems()->at("inputdate") == today.toString("yyyy-MM-dd").toStdString());
    }
    SECTION("English shows the month's abbreviation, day and year") {
        LoadedPatient p("English");
        (*p.app.delegate().inputItems())["inputdate"] = "2014-10-13";
        CHECK(p.show<inquiryView3>()->inputDateLabel()->text() == "Oct-13-2014");
        CHECK(inquiryView3::displayDate(QDate(2015, 1, 2), std::string("English")) == "Jan-02-2015");
        CHECK(inquiryView3::displayDate(QDate(2015, 1, 2), std::string("Chinese")) == "2015年 1月 2日");
    }
    SECTION("an unreadable stored date shows today and is kept as it was") {
        LoadedPatient p("Chinese");
        (*p.app.delegate().inputItems())["inputdate"] = "13/10/2014";
        auto page = p.show<inquiryView3>();
        CHECK(page->inputDateLabel()->text() == QDate::currentDate().toString("yyyy年 M月 d日"));
        CHECK(p.app.delegate().inputItems()->at("inputdate") == "13/10/2014");
    }
}

TEST_CASE("the pages' backgrounds and clinic logo", "[documents][inquiry]") {
    CHECK(inquiryPageView::backgroundImageName(1, std::string("Japanese")) == "inquiry_1.png");
    CHECK(inquiryPageView::backgroundImageName(2, std::string("Chinese")) == "inquiry_2_Chinese.png");
    CHECK(inquiryPageView::backgroundImageName(3, std::string("English")) == "inquiry_3_English.png");
    CHECK(inquiryPageView::backgroundImageName(3, std::nullopt) == "inquiry_3_English.png");

    foundation::LogCapture log;
    LoadedPatient p("Japanese");
    const QDir documents(QString::fromStdString(foundation::home::documents()));
    auto writeInfo = [&](const QByteArray& json) {
        QFile file(documents.filePath("clinicInfo.json"));
        REQUIRE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json);
    };
    SECTION("no clinic file: logged, no logo") {
        auto page = p.show<inquiryView1>();
        CHECK(page->clinicLogoImage()->pixmap().isNull());
        CHECK(log.contains("Not ClinicInfo File."));
    }
    SECTION("the logo the file names") {
        QImage logo(300, 100, QImage::Format_RGB32);
        logo.fill(Qt::darkCyan);
        REQUIRE(logo.save(documents.filePath("logo.png")));
        writeInfo(R"({"clinicInfo":[{"name":"デンタルクリニック","logo":"logo.png"}]})");
        for (auto page : std::vector<std::shared_ptr<inquiryPageView>>{
                 p.show<inquiryView1>(), p.show<inquiryView2>(), p.show<inquiryView3>()})
            CHECK_FALSE(page->clinicLogoImage()->pixmap().isNull());
    }
    SECTION("a named logo that is missing, or that points outside the folder") {
        const char* json = GENERATE(R"({"clinicInfo":[{"logo":"gone.png"}]})",
                                    R"({"clinicInfo":[{"logo":"../outside.png"}]})");
        writeInfo(json);
        CHECK(p.show<inquiryView1>()->clinicLogoImage()->pixmap().isNull());
        CHECK(log.contains("Not Logo Image."));
    }
    SECTION("a file without clinic details, or not JSON at all") {
        writeInfo(GENERATE(QByteArray(R"({"clinicInfo":[]})"), QByteArray("{}"), QByteArray("not json"),
                           QByteArray(R"({"clinicInfo":{"logo":"logo.png"}})")));
        CHECK(p.show<inquiryView1>()->clinicLogoImage()->pixmap().isNull());
        // Logged as a missing file: the clinic can tell why its details are not on the forms.
        CHECK(log.contains("Not ClinicInfo File."));
    }
}

TEST_CASE("the questionnaire container", "[documents][inquiry]") {
    LoadedPatient p("English");
    auto base = p.showContainer();
    ui::AnimationClock::shared().finishAnimations();

    SECTION("pages wait to the right, and paging stops at either end") {
        CHECK(base->inquiry2Container()->geometry() == QRect(768, 63, 768, 1024));
        CHECK(base->inquiry3Container()->geometry() == QRect(768, 70, 768, 1024));
        base->dispBackPage();
        CHECK(base->dispPage() == 1);
        CHECK(base->inquiry1Container()->x() == 0);
        base->dispNextPage();
        base->dispNextPage();
        ui::AnimationClock::shared().finishAnimations();
        CHECK(base->dispPage() == 3);
        CHECK(base->inquiry3Container()->pos() == QPoint(0, 70));
        base->dispBackPage();
        ui::AnimationClock::shared().finishAnimations();
        CHECK(base->navigationItem().rightBarButtonItems() ==
              std::vector<ui::BarButtonItemPtr>{base->nextButton(), base->registButton()});
        CHECK(base->navigationItem().leftBarButtonItem() == base->backButton());
    }
    SECTION("the keyboard lifts pages 1 and 3, not page 2") {
        auto* field = ui::viewWithTag(base->page(1)->formView(), 32);
        QTest::mouseClick(field, Qt::LeftButton);
        ui::AnimationClock::shared().finishAnimations();
        CHECK(base->page(1)->view()->y() == -ui::kKeyboardHeight);
        CHECK(base->page(2)->view()->y() == 0);
        QTest::keyClick(field, Qt::Key_Return);
        p.app.launched.settle(10);
        ui::AnimationClock::shared().finishAnimations();
        CHECK(base->page(1)->view()->y() == 0);
    }
    SECTION("a failed save says so and keeps the answers on screen") {
        (*p.app.delegate().inputItems())["111"] = "on";
        p.app.delegate().state().db = SQDatabase::databaseWithPath("/nonexistent-folder/clinic.sqlite");
        base->registButton()->trigger();
        auto alert = p.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() == "登録できませんでした\n原因: データベースのファイルが見つかりません。");
        REQUIRE(alert->tapAction("OK"));
        CHECK(p.app.top() == base);
        CHECK(p.app.delegate().inputItems()->at("111") == "on");
    }
    SECTION("a save after the database file has gone says so and makes no file") {
        (*p.app.delegate().inputItems())["111"] = "on";
        const std::string path = store::ClinicDatabase::databasePath();
        REQUIRE(QFile::remove(QString::fromStdString(path)));
        base->registButton()->trigger();
        auto alert = p.app.alert();
        REQUIRE(alert);
        CHECK(alert->message() == "登録できませんでした\n原因: データベースのファイルが見つかりません。");
        REQUIRE(alert->tapAction("OK"));
        CHECK(p.app.top() == base);
        CHECK_FALSE(QFile::exists(QString::fromStdString(path)));
        // The next patient open says the same, not that a table is missing.
        const store::PatientRead read = p.app.delegate().setPatientInfoData();
        REQUIRE(read.isFailed());
        CHECK(read.failure.systemError == ENOENT);
        CHECK_FALSE(QFile::exists(QString::fromStdString(path)));
    }
    SECTION("cancel asks first; OK leaves for the main menu") {
        base->cancelButton()->trigger();
        REQUIRE(p.app.alert());
        CHECK(p.app.alert()->message() == "登録せずに終了しますか？");
        REQUIRE(p.app.alert()->tapAction("キャンセル"));
        CHECK(p.app.top() == base);
        base->cancelButton()->trigger();
        REQUIRE(p.app.alert()->tapAction("OK"));
        p.app.launched.settle(10);
        CHECK(p.app.launched.navigation()->viewControllers().size() == 1);
    }
}
