// The referral letter's start screen and container: the patient gate without a questionnaire, the two
// ways out with the photo lists, the main menu's button, paging, and register and cancel with what
// they leave in the database.
#include <catch2/catch.hpp>

#include "app/shell/zaruvedezViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "tests/app/documents/letter/LetterTestSupport.h"

using lettertest::LetterApp;

TEST_CASE("the letter's start screen", "[documents][letter]") {
    LetterApp s;
    CHECK(s.top->title() == "患者紹介状登録");

    SECTION("an empty ID or an unknown patient stops at the gate") {
        QTest::mouseClick(s.button("LetterStartButton"), Qt::LeftButton);
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->title() == "エラー");
        CHECK(s.app.alert()->message() == "患者IDを入力してください");
        REQUIRE(s.app.alert()->tapAction("OK"));
        s.enter("424242");
        QTest::mouseClick(s.button("printLetterButton"), Qt::LeftButton);
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->message() == "入力されたIDの患者情報はありません");
        CHECK(s.app.top() == s.top);
        CHECK(s.delegate().patientID() == std::optional<std::string>("424242"));
    }
    SECTION("a patient without a questionnaire may have a letter; Return starts it") {
        s.app.probe().exec("INSERT INTO patientMst VALUES ('10000', '123', '試験　花子', '', '', '', '', '', "
                           "'', '', '', '', 0)");
        s.enter("123");
        QTest::keyClick(s.top->patientIDBox(), Qt::Key_Return);
        s.app.launched.settle(10);
        REQUIRE(std::dynamic_pointer_cast<LetterBaseView>(s.app.top()));
        CHECK(s.delegate().touchMode());
        // The photo lists were rebuilt for the letter, with the patient's own album among the kinds.
        CHECK(s.delegate().allAssetsList().count("noselect") == 1);
    }
    SECTION("print opens the preview read-only") {
        s.delegate().setTouchMode(true);
        auto preview = s.openPreview();
        REQUIRE(preview);
        CHECK_FALSE(s.delegate().touchMode());
        CHECK(s.delegate().allAssetsList().count("noselect") == 1);
        preview->cancelButton()->trigger();
        s.app.launched.settle(10);
        CHECK(s.app.top() == s.top);
    }
}

TEST_CASE("the main menu's letter button follows Use_Letter", "[documents][letter]") {
    const bool useLetter = GENERATE(false, true);
    testsupport::TempHome home;
    photos::PhotoLibrary::setAuthorizationStatus(photos::AuthorizationStatus::Authorized);
    if (useLetter) foundation::UserDefaults::standard()->setBool(true, "Use_Letter");
    shelltest::LaunchedApp launched;
    launched.launch();
    auto menu =
        std::dynamic_pointer_cast<zaruvedezViewController>(launched.navigation()->viewControllers().front());
    REQUIRE(menu);
    CHECK(menu->LetterButton()->isVisibleTo(menu->view()) == !useLetter);
    if (!useLetter) {
        menu->LetterButton()->click();
        CHECK(std::dynamic_pointer_cast<LetterViewTop>(launched.navigation()->topViewController()));
    }
}

TEST_CASE("the letter's container", "[documents][letter]") {
    LetterApp s;
    auto base = s.openLetter();
    REQUIRE(base);
    CHECK(base->title() == "札幌　太郎 様");
    CHECK(base->navigationItem().leftBarButtonItem() == base->cancelButton());
    CHECK(base->navigationItem().rightBarButtonItems() ==
          std::vector<ui::BarButtonItemPtr>{base->nextButton(), base->registButton()});
    CHECK(base->registButton()->title() == "登録  ");

    SECTION("paging by the bar items and by swipes stops at either end") {
        // A finger's quick stroke across the screen.
        auto swipe = [&](int dx) {
            const QPoint from(dx < 0 ? 700 : 100, 130);
            QTest::mousePress(base->view(), Qt::LeftButton, {}, from);
            QTest::mouseMove(base->view(), from + QPoint(dx / 2, 0));
            QTest::mouseRelease(base->view(), Qt::LeftButton, {}, from + QPoint(dx, 0));
            ui::AnimationClock::shared().finishAnimations();
        };
        const int SwipeLeft = -300, SwipeRight = 300;
        swipe(SwipeRight); // nothing before page 1
        CHECK(base->dispPage() == 1);
        CHECK(base->Letter1Container()->x() == 0);
        swipe(SwipeLeft);
        CHECK(base->dispPage() == 2);
        CHECK(base->Letter2Container()->x() == 0);
        CHECK(base->Letter1Container()->x() == -768);
        CHECK(base->navigationItem().leftBarButtonItem() == base->backButton());
        CHECK(base->navigationItem().rightBarButtonItems() ==
              std::vector<ui::BarButtonItemPtr>{base->registButton()});
        swipe(SwipeLeft); // nothing after page 2
        CHECK(base->dispPage() == 2);
        base->backButton()->trigger();
        ui::AnimationClock::shared().finishAnimations();
        CHECK(base->dispPage() == 1);
        CHECK(base->Letter1Container()->x() == 0);
        CHECK(base->navigationItem().leftBarButtonItem() == base->cancelButton());
    }
    SECTION("register stores the letter and the one shared referral target, then goes to the menu") {
        s.delegate().medicalList()["cname"] = "O'Brien Dental";
        s.delegate().letterDataList()["81018"] = "患者さんの'希望'あり";
        base->registButton()->trigger();
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->title() == "メッセージ");
        CHECK(s.app.alert()->message() == "登録しました");
        REQUIRE(s.app.alert()->tapAction("OK"));
        s.app.launched.settle(10);
        CHECK(s.app.launched.navigation()->viewControllers().size() == 1);
        auto probe = s.app.probe();
        CHECK(probe.value("SELECT cname FROM medicalMst WHERE cid = '80000'") == "O'Brien Dental");
        CHECK(probe.count("medicalMst") == 1);
        CHECK(probe.value("SELECT result FROM letterMst WHERE pid = '999999'").find("患者さんの'希望'あり") !=
              std::string::npos);
    }
    SECTION("a referral target that can't be stored keeps the letter unstored and the form open") {
        auto probe = s.app.probe();
        probe.exec(
            "CREATE TRIGGER refuse BEFORE INSERT ON medicalMst BEGIN SELECT RAISE(ABORT, 'full'); END");
        s.delegate().letterDataList()["81011"] = "歯周病";
        base->registButton()->trigger();
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->title() == "エラー");
        CHECK(s.app.alert()->message() != "登録しました");
        REQUIRE(s.app.alert()->tapAction("OK"));
        s.app.launched.settle(10);
        CHECK(s.app.top() == base);
        CHECK(probe.count("letterMst") == 0); // one transaction: neither row
        CHECK(s.delegate().letterDataList().at("81011") == "歯周病");
    }
    SECTION("cancel asks; its OK goes to the menu and stores nothing") {
        auto probe = s.app.probe();
        const auto before = probe.dump();
        s.delegate().letterDataList()["81011"] = "changed";
        s.delegate().medicalList()["cname"] = "changed";
        base->cancelButton()->trigger();
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->message() == "登録せずに終了しますか？");
        REQUIRE(s.app.alert()->tapAction("キャンセル"));
        CHECK(s.app.top() == base);
        base->cancelButton()->trigger();
        REQUIRE(s.app.alert()->tapAction("OK"));
        s.app.launched.settle(10);
        CHECK(s.app.launched.navigation()->viewControllers().size() == 1);
        CHECK(probe.dump() == before);
    }
}
