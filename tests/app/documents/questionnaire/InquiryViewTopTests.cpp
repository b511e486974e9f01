#include <catch2/catch.hpp>

#include "app/MainStoryboard.h"
#include "app/documents/questionnaire/inquiryBaseView.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/documents/questionnaire/printInquiryView.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Storyboard.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

// The start screen on the main storyboard for one test, pushed on the main menu.
struct InquiryStart {
    registtest::RegistApp app;
    ui::StoryboardPtr board = ui::Storyboard::named(app::kMainStoryboardName);
    std::shared_ptr<inquiryViewTop> top;

    InquiryStart() {
        top = std::static_pointer_cast<inquiryViewTop>(
            board->instantiateViewController(inquiryViewTop::kSceneIdentifier));
        app.launched.navigation()->pushViewController(top, false);
        app.launched.settle(20);
    }
    ~InquiryStart() { StaticVariableHelper::setInquiryLanguage(std::nullopt); }
    bool arrived() const {
        return std::dynamic_pointer_cast<printInquiryView>(app.top()) ||
               std::dynamic_pointer_cast<inquiryBaseView>(app.top());
    }
};

} // namespace

TEST_CASE("the questionnaire's start screen gates on the patient and the language", "[shell][inquiry]") {
    InquiryStart s;
    auto& top = *s.top;
    CHECK(top.title() == "問診票登録");
    for (QPushButton* b :
         {top.JapaneseVersionButton(), top.EnglishVersionButton(), top.ChineseVersionButton(),
          top.JapanesePrintButton(), top.EnglishPrintButton(), top.ChinesePrintButton()})
        CHECK(b->isHidden());

    SECTION("the start button and Return toggle the three fill-out buttons together") {
        top.inquiryStart();
        CHECK(top.EnglishVersionButton()->isVisible());
        CHECK(top.ChineseVersionButton()->isVisible());
        CHECK(top.JapanesePrintButton()->isHidden());
        registtest::type(top.patientIDBox(), "");
        QTest::keyClick(top.patientIDBox(), Qt::Key_Return);
        CHECK(top.JapaneseVersionButton()->isHidden());
        CHECK(top.ChineseVersionButton()->isHidden());
        top.printInquiry();
        CHECK(top.ChinesePrintButton()->isVisible());
        CHECK(top.JapaneseVersionButton()->isHidden());
    }
    SECTION("an empty ID is refused with an alert, and the answers are cleared") {
        s.app.delegate().inputItems() = store::FormData{{"11", "on"}};
        top.inquiryStart();
        QTest::mouseClick(top.EnglishVersionButton(), Qt::LeftButton);
        auto alert = s.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() == "患者IDを入力してください");
        CHECK(s.app.delegate().inputItems()->empty());
        CHECK_FALSE(s.arrived());
        CHECK(StaticVariableHelper::inquiryLanguage() == std::optional<std::string>("English"));
    }
    SECTION("an ID without a patient is refused with an alert") {
        registtest::type(top.patientIDBox(), "123456");
        top.inquiryStart();
        QTest::mouseClick(top.ChineseVersionButton(), Qt::LeftButton);
        auto alert = s.app.alert();
        REQUIRE(alert);
        CHECK(alert->message() == "入力されたIDの患者情報はありません");
        CHECK_FALSE(s.arrived());
    }
    SECTION("the seed patient opens the questionnaire in touch mode, in the chosen language") {
        foundation::LogCapture log;
        registtest::type(top.patientIDBox(), "999999");
        top.inquiryStart();
        QTest::mouseClick(top.ChineseVersionButton(), Qt::LeftButton);
        CHECK_FALSE(s.app.alert());
        CHECK(s.arrived());
        CHECK(s.app.delegate().touchMode());
        CHECK(s.app.delegate().patientID() == std::optional<std::string>("999999"));
        CHECK(StaticVariableHelper::inquiryLanguage() == std::optional<std::string>("Chinese"));
        CHECK(log.contains("inquiryViewTop, getPatientInfo and inquiry start"));
    }
    SECTION("a print action opens the preview with touch mode off") {
        registtest::type(top.patientIDBox(), "999999");
        s.app.delegate().setTouchMode(true);
        top.printInquiry();
        QTest::mouseClick(top.JapanesePrintButton(), Qt::LeftButton);
        CHECK(s.arrived());
        CHECK_FALSE(s.app.delegate().touchMode());
        CHECK(StaticVariableHelper::inquiryLanguage() == std::optional<std::string>("Japanese"));
    }
}
