// A stored questionnaire, certificate or letter whose text is damaged: the start screen says so before
// the form or its preview opens, and the stored row is replaced only when the form is registered.
#include <QDir>
#include <catch2/catch.hpp>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

#include "app/documents/certificate/certificateViewTop.h"
#include "app/documents/certificate/onePageCertificateView.h"
#include "app/documents/letter/LetterViewTop.h"
#include "app/documents/pages/PagedFormView.h"
#include "app/documents/pages/PrintPreview.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/ui/AnimationClock.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

struct Opening {
    const char* name;
    const char* startScene;
    const char* table;
    const char* form;                 // as the alert names it
    std::vector<const char*> buttons; // tapped in turn on the start screen
    bool preview;
};

const Opening kOpenings[] = {
    {"questionnaire",
     inquiryViewTop::kSceneIdentifier,
     "inquiryMst",
     "問診票",
     {"inquiryStartButton", "EnglishVersionButton"},
     false},
    {"questionnaire's preview",
     inquiryViewTop::kSceneIdentifier,
     "inquiryMst",
     "問診票",
     {"printInquiryButton", "EnglishPrintButton"},
     true},
    {"three-page certificate",
     certificateViewTop::kSceneIdentifier,
     "certifMst",
     "診断書",
     {"certificateStartButton", "threePageCertificateButton"},
     false},
    {"one-page certificate",
     certificateViewTop::kSceneIdentifier,
     "certifMst",
     "診断書",
     {"certificateStartButton", "onePageCertificateButton"},
     false},
    {"certificate's preview",
     certificateViewTop::kSceneIdentifier,
     "certifMst",
     "診断書",
     {"printThreePageCertificateButton", "englishThreePageCertificatePrintButton"},
     true},
    {"letter", LetterViewTop::kSceneIdentifier, "letterMst", "患者紹介状", {"LetterStartButton"}, false},
    {"letter's preview",
     LetterViewTop::kSceneIdentifier,
     "letterMst",
     "患者紹介状",
     {"printLetterButton"},
     true},
};

constexpr const char* kDamaged = "{\"11\": [\"1\"";

} // namespace

TEST_CASE("a damaged stored form is said before its form or preview opens", "[documents][stored]") {
    const Opening& opening = GENERATE(from_range(std::begin(kOpenings), std::end(kOpenings)));
    INFO(opening.name);
    registtest::RegistApp app;
    auto probe = app.probe();
    if (std::string(opening.table) == "letterMst")
        probe.exec(std::string("INSERT INTO letterMst VALUES ('999999', '") + kDamaged +
                   "', '', '2024-05-06', '0', '0', '0')");
    else
        probe.exec(std::string("UPDATE ") + opening.table + " SET result = '" + kDamaged + "'");

    auto start = app.openFromStartScreen(opening.startScene, opening.buttons);
    REQUIRE(start);

    // Nothing opens yet: the start screen says what was found.
    CHECK(app.top() == start);
    auto alert = app.alert();
    REQUIRE(alert);
    CHECK(alert->title() == "エラー");
    const std::string form = opening.form;
    CHECK(alert->message() == "保存されている" + form + "を読み取れませんでした。\n空の" + form +
                                  "として開きます。登録すると、保存されている" + form +
                                  "は置き換えられます。");
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        app.launched.window().grab().save(
            QDir(dir).filePath(QString("damaged-%1.png").arg(QString::fromUtf8(opening.name))));

    SECTION("キャンセル stays on the start screen") {
        REQUIRE(alert->tapAction("キャンセル"));
        app.launched.settle(20);
        CHECK(app.top() == start);
        CHECK_FALSE(app.alert());
    }
    SECTION("OK opens it; the stored row changes only when the form is registered") {
        REQUIRE(alert->tapAction("OK"));
        app.launched.settle(50);
        ui::AnimationClock::shared().finishAnimations();
        REQUIRE(app.top() != start);
        CHECK(bool(std::dynamic_pointer_cast<PrintPreview>(app.top())) == opening.preview);
        CHECK(probe.value(std::string("SELECT result FROM ") + opening.table + " WHERE pid = '999999'") ==
              kDamaged);
        if (!opening.preview) {
            ui::BarButtonItemPtr regist;
            if (auto paged = std::dynamic_pointer_cast<PagedFormView>(app.top()))
                regist = paged->registButton();
            if (auto onePage = std::dynamic_pointer_cast<onePageCertificateView>(app.top()))
                regist = onePage->registButton();
            REQUIRE(regist);
            regist->trigger();
            REQUIRE(app.alert());
            CHECK(app.alert()->message() == "登録しました");
            const std::string stored =
                probe.value(std::string("SELECT result FROM ") + opening.table + " WHERE pid = '999999'");
            CHECK(nlohmann::json::parse(stored, nullptr, false).is_object());
        }
    }
    StaticVariableHelper::reset();
}

TEST_CASE("a readable stored form opens at once", "[documents][stored]") {
    registtest::RegistApp app;
    auto start = app.openFromStartScreen(LetterViewTop::kSceneIdentifier, {"LetterStartButton"});
    CHECK_FALSE(app.alert());
    CHECK(app.top() != start);
}
