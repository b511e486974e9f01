// The letter's first page: the patient's and the clinic's headers, the date, the referral target and
// the eight texts as typed and stored, the keyboard shift, and the read-only print mode.
#include <QInputMethodEvent>
#include <catch2/catch.hpp>

#include "platform/foundation/Log.h"
#include "platform/ui/Keyboard.h"
#include "tests/app/documents/letter/LetterTestSupport.h"

using lettertest::LetterApp;

namespace {

QString text(const std::shared_ptr<LetterView1>& page, const char* name) {
    return page->label(name)->text();
}

// Types into a text view as a finger would: a tap, everything selected, the text committed.
void typeInto(ui::TextView* view, const QString& text) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton);
    QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QCoreApplication::sendEvent(view, &commit);
}

const QString kToday = QDate::currentDate().toString("yyyy年 M月 d日");

} // namespace

TEST_CASE("the age and the clinic's telephone line", "[documents][letter]") {
    CHECK(LetterView1::ageText("1975年 4月 12日", QDate(2026, 4, 11)) == "50");
    CHECK(LetterView1::ageText("1975年 4月 12日", QDate(2026, 4, 12)) == "51");
    CHECK(LetterView1::ageText("2000年 2月 29日", QDate(2001, 2, 28)) == "0");
    for (const char* unreadable : {"", "(null)", "1975-04-12", "unknown", "2030年 1月 1日"}) {
        INFO(unreadable);
        CHECK(LetterView1::ageText(unreadable, QDate(2026, 4, 11)).empty());
    }
    CHECK(LetterView1::clinicTelText("011-111-2222", "011-111-3333") == "011-111-2222 ／ (FAX)011-111-3333");
    CHECK(LetterView1::clinicTelText("011-111-2222", "") == "011-111-2222");
}

TEST_CASE("the letter's first page for the seed patient", "[documents][letter]") {
    LetterApp s;
    lettertest::writeDocument("clinicInfo.json", lettertest::kClinicFile);
    auto base = s.openLetter();
    REQUIRE(base);
    auto page = base->page1();

    SECTION("the headers") {
        lettertest::grab(s, "letter-page1-fillout.png");
        CHECK(text(page, "patientIDLabel") == "999999-4");
        CHECK(text(page, "nameLabel") == "札幌　太郎　様");
        CHECK(text(page, "postLabel") == "〒060-0001");
        CHECK(text(page, "add1Label") == "北海道札幌市中央区北一条西2丁目1-1");
        CHECK(text(page, "tel1Label") == "011-222-3344");
        CHECK(text(page, "bizLabel") == "会社員");
        CHECK(text(page, "birthLabel") == "1975年 4月 12日");
        CHECK(text(page, "sexLabel") == "男性");
        CHECK(text(page, "ageLabel").toStdString() ==
              LetterView1::ageText("1975年 4月 12日", QDate::currentDate()));
        CHECK(text(page, "clinic_name") == "さくら歯科クリニック");
        CHECK(text(page, "clinic_tel") == "011-111-2222 ／ (FAX)011-111-3333");
        CHECK(text(page, "clinic_postal") == "〒060-0042");
        CHECK(text(page, "clinic_address1") == "北海道札幌市中央区大通西1丁目");
        CHECK(text(page, "clinic_address2") == "さくらビル3F");
        CHECK(text(page, "clinic_director") == "院長　桜井　一郎");
    }
    SECTION("a new letter: today's date in the header only, empty texts and the shared target") {
        CHECK(text(page, "dateSLabel") == kToday);
        CHECK(page->labelWithTag(34)->text() == LetterView1::kDatePlaceholder);
        auto& letter = s.delegate().letterDataList();
        CHECK(letter.count("34") == 0);
        for (int tag = 81011; tag <= 81018; ++tag) {
            INFO(tag);
            CHECK(letter.at(std::to_string(tag)).empty());
            CHECK(page->textViewWithTag(tag)->stdText().empty());
        }
        const store::FormData target = s.delegate().medicalList();
        CHECK(target ==
              store::FormData{{"cid", "80000"}, {"cname", ""}, {"departments", ""}, {"doctor", ""}});
    }
    SECTION("typed texts and target are stored on register, intact; Return ends a text unbroken") {
        registtest::type(page->textFieldWithTag(81001), "O'Brien Dental Clinic");
        QTest::keyClick(page->textFieldWithTag(81001), Qt::Key_Return);
        registtest::type(page->textFieldWithTag(81002), "口腔外科");
        registtest::type(page->textFieldWithTag(81003), "山田");
        const char* texts[] = {"右下8番 智歯周囲炎", "抜歯のお願い",        "高血圧（服薬中）",
                               "ペニシリン",         "3日前から腫脹",       "洗浄・抗菌薬投与",
                               "アムロジピン",       "患者さんの'希望'あり"};
        for (int i = 0; i < 8; ++i) {
            ui::TextView* view = page->textViewWithTag(81011 + i);
            typeInto(view, QString::fromUtf8(texts[i]));
            QTest::keyClick(view, Qt::Key_Return);
            s.app.launched.settle(5);
            INFO(texts[i]);
            CHECK_FALSE(view->isEditing());
            CHECK(view->stdText() == texts[i]);
            CHECK(s.delegate().letterDataList().at(std::to_string(81011 + i)) == texts[i]);
        }
        CHECK(s.delegate().medicalList().at("cname") == "O'Brien Dental Clinic");
        base->registButton()->trigger(); // the doctor's field hands its text over first
        REQUIRE(s.app.alert());
        CHECK(s.app.alert()->message() == "登録しました");
        auto probe = s.app.probe();
        CHECK(probe.value("SELECT cname FROM medicalMst WHERE cid = '80000'") == "O'Brien Dental Clinic");
        CHECK(probe.value("SELECT departments FROM medicalMst WHERE cid = '80000'") == "口腔外科");
        CHECK(probe.value("SELECT doctor FROM medicalMst WHERE cid = '80000'") == "山田");
        const std::string stored = probe.value("SELECT result FROM letterMst WHERE pid = '999999'");
        for (const char* t : texts) {
            INFO(t);
            CHECK(stored.find(t) != std::string::npos);
        }
        CHECK(stored.find("\\n") == std::string::npos);
    }
    SECTION("the date picker opens below the date and stores the letter's date under 34") {
        QTest::mouseClick(page->labelWithTag(34), Qt::LeftButton);
        auto picker = std::dynamic_pointer_cast<datePickerView>(page->pop());
        REQUIRE(picker);
        CHECK(picker->popoverAnchor().permittedArrowDirections == ui::ArrowUp);
        // An empty date starts the picker at today, which the letter takes at once.
        CHECK(s.delegate().letterDataList().at("34") == kToday.toStdString());
        registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Year, 2025);
        registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Month, 3);
        registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Day, 14);
        CHECK(s.delegate().letterDataList().at("34") == "2025年 3月 14日");
        CHECK(text(page, "dateSLabel") == "2025年 3月 14日");
        CHECK(page->labelWithTag(34)->text() == "2025年 3月 14日");
        s.app.tapOutsidePopover();
        s.app.launched.settle(10);
        // Reopened, the picker starts at the chosen date.
        QTest::mouseClick(page->labelWithTag(34), Qt::LeftButton);
        picker = std::dynamic_pointer_cast<datePickerView>(page->pop());
        REQUIRE(picker);
        CHECK(picker->defaultDateStr() == "2025年 3月 14日");
    }
    SECTION("only the text views move the page out of the keyboard's way, once") {
        QWidget* pageView = page->view();
        const int top = pageView->y();
        registtest::type(page->textFieldWithTag(81001), "A");
        ui::postKeyboardWillShow();
        ui::AnimationClock::shared().finishAnimations();
        CHECK(pageView->y() == top);
        QTest::mouseClick(page->textViewWithTag(81017)->viewport(), Qt::LeftButton);
        ui::postKeyboardWillShow();
        ui::postKeyboardWillShow();
        ui::AnimationClock::shared().finishAnimations();
        CHECK(page->KeyboardShowFlg());
        CHECK(pageView->y() == top - ui::keyboardShownFrame().height());
        ui::postKeyboardWillHide();
        ui::AnimationClock::shared().finishAnimations();
        CHECK(pageView->y() == top);
        CHECK_FALSE(page->KeyboardShowFlg());
    }
}

TEST_CASE("the letter's first page in its other states", "[documents][letter]") {
    LetterApp s;
    SECTION("a clinic file without fax shows the telephone alone") {
        lettertest::writeDocument("clinicInfo.json",
                                  R"({"clinicInfo":[{"name":"A","tel":"011-1","postal":"1","state":"S"}]})");
        auto base = s.openLetter();
        REQUIRE(base);
        CHECK(text(base->page1(), "clinic_tel") == "011-1");
        CHECK(text(base->page1(), "clinic_address1") == "S");
    }
    SECTION("a member that is not text is logged; without a postal code there is no postal mark") {
        const bool malformed = GENERATE(false, true);
        lettertest::writeDocument("clinicInfo.json", malformed
                                                         ? R"({"clinicInfo":[{"name":"A","postal":600042}]})"
                                                         : R"({"clinicInfo":[{"name":"A"}]})");
        foundation::LogCapture log;
        auto base = s.openLetter();
        REQUIRE(base);
        CHECK(log.contains("Not ClinicInfo File.") == malformed);
        CHECK(text(base->page1(), "clinic_name") == "A");
        CHECK(text(base->page1(), "clinic_postal").isEmpty());
    }
    SECTION("no clinic file, or one that isn't one, leaves the layout's header") {
        const bool broken = GENERATE(false, true);
        if (broken) lettertest::writeDocument("clinicInfo.json", "{\"clinicInfo\": [");
        foundation::LogCapture log;
        auto base = s.openLetter();
        REQUIRE(base);
        CHECK(log.contains("Not ClinicInfo File."));
        CHECK(text(base->page1(), "clinic_name").isEmpty());
        CHECK(text(base->page1(), "clinic_tel").isEmpty());
    }
    SECTION("a patient without a birthday has no age") {
        s.app.probe().exec("INSERT INTO patientMst VALUES ('10000', '123', '試験　花子', '', '', '', '', '', "
                           "'', '', '', '', 0)");
        auto base = s.openLetter("123");
        REQUIRE(base);
        CHECK(text(base->page1(), "ageLabel").isEmpty());
        CHECK(text(base->page1(), "nameLabel") == "試験　花子　様");
    }
    SECTION("a patient whose sex is not recorded shows none") {
        s.app.probe().exec("DELETE FROM patientSrv WHERE pid = '999999'");
        auto base = s.openLetter();
        REQUIRE(base);
        CHECK(text(base->page1(), "sexLabel").isEmpty());
    }
    SECTION("a stored letter and target come back; print mode shows them, black and inert") {
        auto& d = s.delegate();
        d.patientID() = "999999";
        REQUIRE(d.setPatientInfoData());
        d.letterDataList() = {{"34", "2025年 3月 14日"}, {"81011", "智歯周囲炎"}, {"81018", "よろしく"}};
        d.medicalList() = {
            {"cid", "80000"}, {"cname", "市立病院"}, {"departments", "口腔外科"}, {"doctor", "山田"}};
        REQUIRE(d.registLetter());
        auto preview = s.openPreview();
        REQUIRE(preview);
        auto page = preview->page1();
        REQUIRE(page);
        CHECK(text(page, "dateSLabel") == "2025年 3月 14日");
        CHECK(page->labelWithTag(34)->text() == "2025年 3月 14日");
        CHECK(page->textViewWithTag(81011)->stdText() == "智歯周囲炎");
        CHECK(page->textFieldWithTag(81001)->stdText() == "市立病院");
        for (QWidget* field : {static_cast<QWidget*>(page->textFieldWithTag(81001)),
                               static_cast<QWidget*>(page->textViewWithTag(81011))}) {
            CHECK(field->isEnabled()); // a disabled field would print grey
            CHECK(field->focusPolicy() == Qt::NoFocus);
            CHECK(field->palette().color(QPalette::Text) == QColor(Qt::black));
        }
        CHECK(page->textViewWithTag(81011)->isReadOnly());
        CHECK(page->textFieldWithTag(81001)->isReadOnly());
        QTest::mouseClick(page->labelWithTag(34), Qt::LeftButton);
        CHECK_FALSE(page->pop());
        CHECK(d.letterDataList().at("34") == "2025年 3月 14日");
    }
}
