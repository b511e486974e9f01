// The questionnaire filled in as at the clinic: from the main menu, through the start screen, the three
// pages by bar items and by swipes, the date picker, to registering and reopening.
#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <catch2/catch.hpp>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "app/documents/questionnaire/inquiryBaseView.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryView1.h"
#include "app/documents/questionnaire/inquiryView2.h"
#include "app/documents/questionnaire/inquiryView3.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/shell/WidgetFormPage.h"
#include "app/store/InquiryResult.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/Tag.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

struct Language {
    const char* name;
    const char* buttonName;
    const char* seedDate; // the seed's 2014-10-13 as page 3 shows it
    const char* typed;
};

const Language kLanguages[] = {
    {"Japanese", "JapaneseVersionButton", "2014年 10月 13日", "特になし"},
    {"English", "EnglishVersionButton", "Oct-13-2014", "None in particular"},
    {"Chinese", "ChineseVersionButton", "2014年 10月 13日", "没有特别的"},
};

QAbstractButton* circle(inquiryPageView& page, int tag) {
    return qobject_cast<QAbstractButton*>(ui::viewWithTag(page.formView(), tag));
}

bool shows(inquiryPageView& page, int tag) {
    return shell::WidgetFormPage::showsCircle(circle(page, tag));
}

// With ZARUVEDEZ_GRAB_DIR set, the screens and whole pages are kept as PNG files to look at.
void keep(QWidget* view, const std::string& name) {
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        view->grab().save(QDir(QString::fromLocal8Bit(dir)).filePath(QString::fromStdString(name + ".png")));
}

// A finger's quick stroke across the screen, starting over whatever view lies at `from`.
void swipe(QWidget* over, QPoint from, int dx) {
    QTest::mousePress(over, Qt::LeftButton, {}, from);
    QTest::mouseMove(over, from + QPoint(dx / 2, 0));
    QTest::mouseRelease(over, Qt::LeftButton, {}, from + QPoint(dx, 0));
    ui::AnimationClock::shared().finishAnimations();
}

struct Questionnaire {
    registtest::RegistApp app;

    // Main menu → start screen → the language's button.
    std::shared_ptr<inquiryBaseView> open(const Language& language) {
        auto menu = app.launched.navigation()->viewControllers().front();
        menu->view()->findChild<QPushButton*>("inquiryButton")->click();
        auto top = std::dynamic_pointer_cast<inquiryViewTop>(app.top());
        if (!top) return nullptr;
        registtest::type(top->patientIDBox(), "999999");
        QTest::mouseClick(top->view()->findChild<QPushButton*>("inquiryStartButton"), Qt::LeftButton);
        QTest::mouseClick(top->view()->findChild<QPushButton*>(language.buttonName), Qt::LeftButton);
        app.launched.settle(20);
        ui::AnimationClock::shared().finishAnimations();
        return std::dynamic_pointer_cast<inquiryBaseView>(app.top());
    }
};

} // namespace

TEST_CASE("a questionnaire filled in, registered and reopened in each language", "[documents][inquiry]") {
    const Language& language = GENERATE(from_range(std::begin(kLanguages), std::end(kLanguages)));
    INFO(language.name);
    Questionnaire q;
    auto base = q.open(language);
    REQUIRE(base);
    CHECK(base->title() == "札幌　太郎 様");
    CHECK(base->navigationItem().leftBarButtonItem() == base->cancelButton());
    CHECK(base->navigationItem().rightBarButtonItems() ==
          std::vector<ui::BarButtonItemPtr>{base->nextButton(), base->registButton()});
    auto& page1 = *base->page(1);
    auto& page2 = *std::static_pointer_cast<inquiryView2>(base->page(2));
    auto& page3 = *std::static_pointer_cast<inquiryView3>(base->page(3));

    // The seed answers are on the pages, over the language's backgrounds.
    CHECK(std::static_pointer_cast<inquiryView1>(base->page(1))->patientIDLabel()->text() == "999999");
    for (auto* page : {&page1, static_cast<inquiryPageView*>(&page2), static_cast<inquiryPageView*>(&page3)})
        CHECK_FALSE(page->backgroundImage()->pixmap().isNull());
    CHECK(shows(page1, 111));
    CHECK(shows(page1, 122));
    CHECK(shows(page2, 7101));
    CHECK(shows(page2, 4311));
    CHECK_FALSE(shows(page2, 7102));
    auto* medicine = qobject_cast<ui::TextField*>(ui::viewWithTag(page1.formView(), 32));
    REQUIRE(medicine);
    CHECK(medicine->stdText() == "睡眠導入剤");
    CHECK(page3.inputDateLabel()->text().toStdString() == language.seedDate);
    CHECK(page3.patientName()->stdText() == "札幌　太郎");

    keep(&q.app.launched.window(), std::string("inquiry-screen1-") + language.name);

    // Page 1: a new visit reason replaces the old, floss joins the cleaning aids, the medicine is retyped.
    QTest::mouseClick(circle(page1, 112), Qt::LeftButton);
    QTest::mouseClick(circle(page1, 1503), Qt::LeftButton);
    CHECK(shows(page1, 112));
    CHECK_FALSE(shows(page1, 111));
    registtest::type(medicine, language.typed);
    CHECK(medicine->isClearButtonEnabled()); // only while editing
    QTest::keyClick(medicine, Qt::Key_Return);
    CHECK_FALSE(medicine->isClearButtonEnabled());

    // To page 2 by the bar item, on to page 3 by a swipe, and back and forth once more.
    base->nextButton()->trigger();
    ui::AnimationClock::shared().finishAnimations();
    CHECK(base->dispPage() == 2);
    CHECK(base->inquiry2Container()->x() == 0);
    CHECK(base->inquiry1Container()->x() == -768);
    CHECK(base->navigationItem().leftBarButtonItem() == base->backButton());
    keep(&q.app.launched.window(), std::string("inquiry-screen2-") + language.name);
    QTest::mouseClick(circle(page2, 7102), Qt::LeftButton);
    CHECK(shows(page2, 7101));
    swipe(base->view(), QPoint(600, 500), -200);
    CHECK(base->dispPage() == 3);
    CHECK(base->navigationItem().rightBarButtonItems() ==
          std::vector<ui::BarButtonItemPtr>{base->registButton()});
    swipe(base->view(), QPoint(100, 500), 200);
    CHECK(base->dispPage() == 2);
    swipe(base->view(), QPoint(600, 500), -200);
    CHECK(base->dispPage() == 3);
    base->nextButton()->trigger(); // no page 4
    CHECK(base->dispPage() == 3);
    CHECK(base->inquiry3Container()->x() == 0);

    // Page 3: a free text ended by Return, a treatment wish, a new date from the picker.
    auto* remarks = qobject_cast<ui::TextView*>(ui::viewWithTag(page3.formView(), 95));
    REQUIRE(remarks);
    QTest::mouseClick(remarks->viewport(), Qt::LeftButton);
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8(language.typed));
    QCoreApplication::sendEvent(remarks, &commit);
    CHECK_FALSE(page3.pop()); // a text view is typed into, not dated
    QTest::keyClick(remarks, Qt::Key_Return);
    q.app.launched.settle(10);
    CHECK_FALSE(remarks->hasFocus());
    CHECK(remarks->stdText() == language.typed);
    CHECK(q.app.delegate().inputItems()->at("95") == language.typed);
    QTest::mouseClick(circle(page3, 9102), Qt::LeftButton);
    QTest::mouseClick(page3.inputDateLabel(), Qt::LeftButton);
    auto picker = page3.pop();
    REQUIRE(picker);
    REQUIRE(picker->datePicker());
    // It starts at the stored date, whatever the language shows.
    CHECK(picker->datePicker()->date().date() == QDate(2014, 10, 13));
    registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Year, 2026);
    registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Month, 3);
    registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Day, 9);
    CHECK(q.app.delegate().inputItems()->at("inputdate") == "2026-03-09");
    CHECK(page3.inputDateLabel()->text().toStdString() ==
          inquiryView3::displayDate(QDate(2026, 3, 9), std::string(language.name)));
    q.app.tapOutsidePopover();
    q.app.launched.settle(20);
    ui::AnimationClock::shared().finishAnimations();
    keep(&q.app.launched.window(), std::string("inquiry-screen3-") + language.name);
    for (int n = 1; n <= 3; ++n)
        keep(base->page(n)->formView(), "inquiry-filled" + std::to_string(n) + "-" + language.name);

    // Register: the stored row holds the answers by question and the scores they give.
    base->registButton()->trigger();
    auto alert = q.app.alert();
    REQUIRE(alert);
    CHECK(alert->title() == "メッセージ");
    CHECK(alert->message() == "登録しました");
    auto probe = q.app.probe();
    const auto result =
        nlohmann::ordered_json::parse(probe.value("SELECT result FROM inquiryMst WHERE pid = '999999'"));
    CHECK(result["11"] == "2");
    CHECK(result["15"] == nlohmann::ordered_json::array({"3"}));
    CHECK(result["text_32"] == language.typed);
    CHECK(result["text_95"] == language.typed);
    CHECK(result["71"] == nlohmann::ordered_json::array({"1", "2"}));
    CHECK(result["91"] == nlohmann::ordered_json::array({"2"}));
    const store::InquiryScores scores = store::inquiryScores(result);
    CHECK(probe.value(
              "SELECT graph1 || graph2 || graph3 || graph4 || graph5 FROM inquiryMst WHERE pid = '999999'") ==
          std::to_string(scores.graph1) + std::to_string(scores.graph2) + std::to_string(scores.graph3) +
              std::to_string(scores.graph4) + std::to_string(scores.graph5));
    CHECK(probe.value("SELECT inputdate FROM inquiryMst WHERE pid = '999999'") == "2026-03-09");
    REQUIRE(alert->tapAction("OK"));
    q.app.launched.settle(20);
    REQUIRE(q.app.launched.navigation()->viewControllers().size() == 1);

    // Reopened, the pages show what was registered.
    auto again = q.open(language);
    REQUIRE(again);
    CHECK(shows(*again->page(1), 112));
    CHECK_FALSE(shows(*again->page(1), 111));
    CHECK(shows(*again->page(1), 1503));
    CHECK(shows(*again->page(2), 7102));
    CHECK(shows(*again->page(3), 9102));
    auto& reopened3 = *std::static_pointer_cast<inquiryView3>(again->page(3));
    CHECK(qobject_cast<ui::TextView*>(ui::viewWithTag(reopened3.formView(), 95))->stdText() ==
          language.typed);
    CHECK(qobject_cast<ui::TextField*>(ui::viewWithTag(again->page(1)->formView(), 32))->stdText() ==
          language.typed);
    CHECK(reopened3.inputDateLabel()->text().toStdString() ==
          inquiryView3::displayDate(QDate(2026, 3, 9), std::string(language.name)));
}
