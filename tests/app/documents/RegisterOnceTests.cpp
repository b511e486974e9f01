// Each document's "登録" runs once at a time: a second tap that arrives while a register is still
// running (here, as its outcome alert comes up) is ignored, so the record is written once and the
// outcome is said once.
#include <QPushButton>
#include <catch2/catch.hpp>

#include "app/documents/certificate/certificateViewTop.h"
#include "app/documents/certificate/onePageCertificateView.h"
#include "app/documents/letter/LetterBaseView.h"
#include "app/documents/letter/LetterViewTop.h"
#include "app/documents/pages/PagedFormView.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AnimationClock.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

struct Document {
    const char* name;
    const char* startScene;
    const char* table;
    // Opens the form from its start screen for the seed patient; the form's register item.
    ui::BarButtonItemPtr (*open)(registtest::RegistApp& app, ui::ViewControllerPtr start);
};

QPushButton* button(const ui::ViewControllerPtr& screen, const char* name) {
    return screen->view()->findChild<QPushButton*>(name);
}

ui::BarButtonItemPtr pagedRegister(registtest::RegistApp& app) {
    auto form = std::dynamic_pointer_cast<PagedFormView>(app.top());
    return form ? form->registButton() : nullptr;
}

const Document kDocuments[] = {
    {"questionnaire", inquiryViewTop::kSceneIdentifier, "inquiryMst",
     [](registtest::RegistApp& app, ui::ViewControllerPtr start) {
         QTest::mouseClick(button(start, "inquiryStartButton"), Qt::LeftButton);
         QTest::mouseClick(button(start, "JapaneseVersionButton"), Qt::LeftButton);
         return pagedRegister(app);
     }},
    {"three-page certificate", certificateViewTop::kSceneIdentifier, "certifMst",
     [](registtest::RegistApp& app, ui::ViewControllerPtr start) {
         QTest::mouseClick(button(start, "certificateStartButton"), Qt::LeftButton);
         QTest::mouseClick(button(start, "threePageCertificateButton"), Qt::LeftButton);
         return pagedRegister(app);
     }},
    {"one-page certificate", certificateViewTop::kSceneIdentifier, "certifMst",
     [](registtest::RegistApp& app, ui::ViewControllerPtr start) {
         QTest::mouseClick(button(start, "certificateStartButton"), Qt::LeftButton);
         QTest::mouseClick(button(start, "onePageCertificateButton"), Qt::LeftButton);
         auto form = std::dynamic_pointer_cast<onePageCertificateView>(app.top());
         return form ? form->registButton() : nullptr;
     }},
    {"letter", LetterViewTop::kSceneIdentifier, "letterMst",
     [](registtest::RegistApp& app, ui::ViewControllerPtr start) {
         QTest::mouseClick(button(start, "LetterStartButton"), Qt::LeftButton);
         return pagedRegister(app);
     }},
};

} // namespace

TEST_CASE("a document's register tapped while one runs is ignored", "[documents][regist]") {
    const Document& document = GENERATE(from_range(std::begin(kDocuments), std::end(kDocuments)));
    INFO(document.name);
    registtest::RegistApp app;
    auto start = app.openStartScreen(document.startScene);
    REQUIRE(start);
    auto registItem = document.open(app, start);
    app.launched.settle(20);
    ui::AnimationClock::shared().finishAnimations();
    REQUIRE(registItem);

    auto probe = app.probe();
    registtest::countWrites(probe, document.table);
    foundation::LogCapture log;
    registtest::TapWhileAlertComesUp again([&] { registItem->trigger(); });
    registItem->trigger();
    CHECK(again.tapped());
    CHECK(registtest::writesTo(probe, document.table) == 1);
    REQUIRE(app.alert());
    CHECK(app.alert()->message() == "登録しました");
    CHECK_FALSE(log.contains("Attempt to present"));
    StaticVariableHelper::reset();
}
