// The one-page certificate filled out for the seed patient: the seed's marks and faces, the
// judgement cycle, the dates, the two photo slots and their list, register (with its failure),
// cancel, the list rebuilt when the screen appears again, and the editor opened from the list.
#include <QDir>
#include <QListWidget>
#include <QTest>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "app/photos/editing/moveObject.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "app/store/FormJson.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/ui/Window.h"
#include "tests/app/documents/certificate/OnePageTestSupport.h"

using onepagetest::OnePageApp;
using onepagetest::tagged;

namespace {

std::vector<std::string> listed(const onePageCertificateView& page) {
    std::vector<std::string> ids;
    for (const auto& asset : page.assetsList())
        ids.push_back(asset.localIdentifier);
    return ids;
}

bool hasPicture(QLabel* slot) {
    return slot && !slot->pixmap().isNull();
}

store::FormData storedCertificate(OnePageApp& a) {
    return store::formDataFromJSON(a.app.probe().value("SELECT result FROM certifMst WHERE pid = '999999'"));
}

} // namespace

TEST_CASE("the one-page form opened for the seed patient", "[documents][onepage]") {
    OnePageApp a;
    foundation::LogCapture log;
    auto page = a.openForm();
    REQUIRE(page);
    const QDate today = QDate::currentDate();

    CHECK(log.contains("you click one page certification fill out button"));
    CHECK(a.app.delegate().touchMode());
    CHECK(StaticVariableHelper::certificatePrint() == std::optional<std::string>("FillOut"));
    CHECK(page->title() == "札幌　太郎 様");
    CHECK(page->navigationItem().rightBarButtonItems() ==
          std::vector<ui::BarButtonItemPtr>{page->registButton()});
    CHECK(page->registButton()->title() == "登録  ");
    CHECK(page->navigationItem().leftBarButtonItem() == page->cancelButton());
    CHECK(onepagetest::showsBundleImage(page->label("onePageCertificateImageView")->pixmap(),
                                        "onePage_certificate.png"));

    // The seed's marks and their faces; the check marks this form shares with page 2.
    CHECK(tagged(page, 11)->text() == "●");
    CHECK(tagged(page, 22)->text() == "●");
    CHECK(onepagetest::showsBundleImage(tagged(page, 1)->pixmap(), "icon_11.png"));
    CHECK(onepagetest::showsBundleImage(tagged(page, 2)->pixmap(), "icon_22.png"));
    for (int mark : {411, 422, 511, 522})
        CHECK(tagged(page, mark)->text() == "■");
    CHECK(tagged(page, 30)->text() == "2015年 10月 16日");
    CHECK(tagged(page, 32)->text() == "（月）");

    // No examination date yet: today, in the record's Japanese form, with its weekday.
    const QString todayText = today.toString("yyyy年 M月 d日");
    CHECK(a.record().at("34") == todayText.toStdString());
    CHECK(tagged(page, 34)->text() == todayText);
    static const char* const kDays[] = {"日", "月", "火", "水", "木", "金", "土"};
    CHECK(tagged(page, 36)->text() == QString("（%1）").arg(QString::fromUtf8(kDays[today.dayOfWeek() % 7])));
    CHECK(a.record().at("36") == tagged(page, 36)->text().toStdString());

    CHECK(page->label("karteLabel")->text() == "999999-1");
    CHECK(page->label("sexLabel")->text() == "男性");
    CHECK(page->label("ageLabel")->text().endsWith("歳"));
    CHECK(page->label("birthLabel")->text() == "1975年 4月 12日");
    CHECK(qobject_cast<ui::TextView*>(ui::viewWithTag(page->formView(), 90001))->stdText() == "無し");
    CHECK(a.record().at("90001") == "無し");
    CHECK(page->formView()->findChild<QWidget*>("destView")->isHidden());
    CHECK(page->label("dateLabel")->isHidden());

    SECTION("judgements: a label chooses; a tap on the face moves the mark 3 → 1") {
        QTest::mouseClick(tagged(page, 13), Qt::LeftButton);
        CHECK(a.record().at("13") == "●");
        CHECK(a.record().count("11") == 0);
        CHECK(tagged(page, 11)->text().isEmpty());
        CHECK(onepagetest::showsBundleImage(tagged(page, 1)->pixmap(), "icon_13.png"));
        QTest::mouseClick(tagged(page, 1), Qt::LeftButton);
        CHECK(a.record().at("11") == "●");
        CHECK(a.record().count("13") == 0);
        CHECK(onepagetest::showsBundleImage(tagged(page, 1)->pixmap(), "icon_11.png"));
        QTest::mouseClick(tagged(page, 2), Qt::LeftButton);
        CHECK(a.record().at("23") == "●");
        CHECK(a.record().count("22") == 0);
    }
    SECTION("a check mark is one of its group") {
        QTest::mouseClick(tagged(page, 412), Qt::LeftButton);
        CHECK(a.record().at("412") == "■");
        CHECK(a.record().count("411") == 0);
        CHECK(tagged(page, 411)->text().isEmpty());
    }
    SECTION("the next visit's date from the picker, with its weekday; a weekday opens no picker") {
        QTest::mouseClick(tagged(page, 36), Qt::LeftButton);
        CHECK_FALSE(page->pop());
        QTest::mouseClick(tagged(page, 30), Qt::LeftButton);
        auto picker = std::dynamic_pointer_cast<datePickerView>(page->pop());
        REQUIRE(picker);
        CHECK(picker->pickerType() == "date");
        CHECK(picker->defaultDateStr() == "2015年 10月 16日");
        registtest::turnWheel(picker->datePicker(), ui::DatePicker::Component::Day, 20);
        CHECK(a.record().at("30") == "2015年 10月 20日");
        CHECK(a.record().at("32") == "（火）");
        CHECK(tagged(page, 32)->text() == "（火）");
        a.app.tapOutsidePopover();
        a.app.launched.settle(10);
        QTest::mouseClick(tagged(page, 31), Qt::LeftButton);
        REQUIRE(std::dynamic_pointer_cast<datePickerView>(page->pop()));
        CHECK(std::dynamic_pointer_cast<datePickerView>(page->pop())->pickerType() == "dateAndTime");
    }
}

TEST_CASE("the one-page form's photo slots and list", "[documents][onepage]") {
    OnePageApp a;
    const auto normal = a.album("ID_999999_normal", {Qt::red, Qt::green});
    const auto velscope = a.album("ID_999999_velscope", {Qt::blue});
    const auto own = a.album("ID_999999", {Qt::yellow});
    a.album("ID_123_normal", {Qt::black}); // another patient's: never offered
    auto page = a.openForm();
    REQUIRE(page);
    QListWidget* list = page->collectionView();

    // Every kind's photographs, in kind order.
    CHECK(listed(*page) == std::vector<std::string>{normal[0], normal[1], velscope[0], own[0]});
    CHECK(list->count() == 4);
    CHECK(list->isHidden());

    SECTION("two photographs placed and one replaced; placed ones leave the list and come back") {
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        CHECK(page->selectTagNo() == 50001);
        CHECK(tagged(page, 50001)->styleSheet().contains("red"));
        CHECK(list->isVisible());
        CHECK(page->labellabel()->isVisible());
        CHECK_FALSE(page->deselectBtn()->isEnabled());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        CHECK(a.record().at("50001") == velscope[0]);
        CHECK(page->deselectBtn()->isEnabled());
        CHECK(listed(*page) == std::vector<std::string>{normal[0], normal[1], own[0]});
        CHECK(list->count() == 3);
        CHECK(a.waitUntil([&] { return hasPicture(tagged(page, 50001)); }));
        // The delegate's lists are left whole.
        CHECK(a.app.delegate().allAssetsList()["velscope"].size() == 1);
        if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
            page->formView()->grab().save(QDir(dir).filePath("onepage-fillout.png"));

        // The selected slot tapped again: no selection, the list still open.
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        CHECK(page->selectTagNo() == 0);
        CHECK(tagged(page, 50001)->styleSheet().isEmpty());
        CHECK(list->isVisible());

        QTest::mouseClick(tagged(page, 50002), Qt::LeftButton);
        CHECK(listed(*page) == std::vector<std::string>{normal[0], normal[1], own[0]});
        page->didSelectItem(0);
        CHECK(a.record().at("50002") == normal[0]);
        QTest::mouseClick(page->closeCollectionBtn(), Qt::LeftButton);
        CHECK(list->isHidden());
        CHECK(page->selectTagNo() == 0);

        // Replacing: the old photograph goes back to the end of the list.
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        CHECK(page->deselectBtn()->isEnabled());
        page->didSelectItem(0); // normal[1]
        CHECK(a.record().at("50001") == normal[1]);
        CHECK(listed(*page) == std::vector<std::string>{own[0], velscope[0]});
        CHECK(list->count() == 2);

        // Taken out: the slot empties, its key goes, the photograph is offered again.
        QTest::mouseClick(page->deselectBtn(), Qt::LeftButton);
        CHECK(a.record().count("50001") == 0);
        CHECK_FALSE(hasPicture(tagged(page, 50001)));
        CHECK(listed(*page).back() == normal[1]);
        CHECK_FALSE(page->deselectBtn()->isEnabled());
    }
    SECTION("choices faster than their pictures: the list and the slot follow the last choice") {
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        page->didSelectItem(0); // normal[0], its picture still on its way
        page->didSelectItem(0); // normal[1] takes the slot at once
        CHECK(a.record().at("50001") == normal[1]);
        CHECK(listed(*page) == std::vector<std::string>{velscope[0], own[0], normal[0]});
        QTest::mouseClick(page->deselectBtn(), Qt::LeftButton); // emptied before any picture came
        a.app.launched.settle(100);
        CHECK(a.record().count("50001") == 0);
        CHECK_FALSE(hasPicture(tagged(page, 50001)));
    }
    SECTION("a photograph's identifier is never written over the comment") {
        auto* comment = qobject_cast<ui::TextView*>(ui::viewWithTag(page->formView(), 90001));
        REQUIRE(comment);
        page->touchesEnded(comment);
        CHECK(page->selectTagNo() == 0);
        CHECK(list->isHidden());
        page->didSelectItem(0);
        CHECK(a.record().at("90001") == "無し");
        CHECK_FALSE(onePageCertificateView::isPhotoSlot(comment));
        CHECK(onePageCertificateView::isPhotoSlot(tagged(page, 50002)));
        CHECK_FALSE(onePageCertificateView::isPhotoSlot(tagged(page, 1)));
    }
}

TEST_CASE("a slot naming a photograph the library no longer has", "[documents][onepage]") {
    OnePageApp a;
    const auto normal = a.album("ID_999999_normal", {Qt::red});
    const std::string gone = "00000000-0000-0000-0000-000000000000/L0/001";
    // Stored with the certificate before the photograph was deleted.
    a.app.delegate().patientID() = "999999";
    REQUIRE(a.app.delegate().setPatientInfoData());
    a.record()["50001"] = gone;
    REQUIRE(a.app.delegate().registCertificate());
    auto page = a.openForm();
    REQUIRE(page);
    a.app.launched.settle(50);
    CHECK_FALSE(hasPicture(tagged(page, 50001)));
    CHECK(listed(*page) == std::vector<std::string>{normal[0]}); // no empty item
    CHECK(a.record().at("50001") == gone);

    SECTION("replaced: the new photograph takes the key, nothing comes back to the list") {
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        page->didSelectItem(0);
        CHECK(a.record().at("50001") == normal[0]);
        CHECK(listed(*page).empty());
    }
    SECTION("emptied: the key goes, nothing comes back to the list") {
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        REQUIRE(page->deselectBtn()->isEnabled());
        QTest::mouseClick(page->deselectBtn(), Qt::LeftButton);
        CHECK(a.record().count("50001") == 0);
        CHECK(listed(*page) == std::vector<std::string>{normal[0]});
        CHECK(page->collectionView()->count() == 1);
    }
}

TEST_CASE("the one-page form registered, reopened and cancelled", "[documents][onepage]") {
    OnePageApp a;
    const auto photos = a.album("ID_999999_normal", {Qt::red, Qt::blue});
    auto page = a.openForm();
    REQUIRE(page);

    SECTION("register stores the slots beside the three-page form's keys; reopened, all is back") {
        QTest::mouseClick(tagged(page, 12), Qt::LeftButton);
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        page->didSelectItem(1);
        QTest::mouseClick(tagged(page, 50002), Qt::LeftButton);
        page->didSelectItem(0);
        auto* comment = qobject_cast<ui::TextView*>(ui::viewWithTag(page->formView(), 90001));
        QTest::mouseClick(comment->viewport(), Qt::LeftButton);
        QTest::keyClick(comment, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(comment, "see you soon");
        page->registButton()->trigger(); // ends the comment's editing first
        auto alert = a.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "メッセージ");
        CHECK(alert->message() == "登録しました");
        REQUIRE(alert->tapAction("OK"));
        a.app.launched.settle(10);
        CHECK(a.app.top() == a.top);

        const store::FormData stored = storedCertificate(a);
        CHECK(stored.at("50001") == photos[1]);
        CHECK(stored.at("50002") == photos[0]);
        CHECK(stored.at("12") == "●");
        CHECK(stored.at("90001") == "see you soon");
        CHECK(stored.at("41") == "虫歯治療"); // the three-page form's keys stay beside them
        CHECK(stored.at("61") == "23");

        a.record().clear();
        auto again = a.openForm();
        REQUIRE(again);
        CHECK(again != page);
        CHECK(tagged(again, 12)->text() == "●");
        CHECK(a.waitUntil(
            [&] { return hasPicture(tagged(again, 50001)) && hasPicture(tagged(again, 50002)); }));
        CHECK(listed(*again).empty());
        CHECK(qobject_cast<ui::TextView*>(ui::viewWithTag(again->formView(), 90001))->stdText() ==
              "see you soon");
    }
    SECTION("a register that stores nothing says so, and the form stays") {
        auto db = a.app.delegate().state().db;
        a.app.delegate().state().db.reset();
        page->registButton()->trigger();
        a.app.delegate().state().db = db;
        auto alert = a.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        REQUIRE(alert->tapAction("OK"));
        a.app.launched.settle(10);
        CHECK(a.app.top() == page);
    }
    SECTION("a register refused because another program uses the database says so") {
        a.app.delegate().db()->setMaxBusyRetryTimeInterval(0); // the lock is met at once
        auto other = a.app.probe();
        other.exec("BEGIN EXCLUSIVE");
        page->registButton()->trigger();
        other.exec("ROLLBACK");
        auto alert = a.app.alert();
        REQUIRE(alert);
        CHECK(alert->message() == "登録できませんでした\n原因: 他のプログラムがデータベースを使用中です。");
        REQUIRE(alert->tapAction("OK"));
        a.app.launched.settle(10);
        CHECK(a.app.top() == page);
    }
    SECTION("cancel asks; OK leaves without storing") {
        const std::string before = a.app.probe().value("SELECT result FROM certifMst WHERE pid = '999999'");
        QTest::mouseClick(tagged(page, 13), Qt::LeftButton);
        page->cancelButton()->trigger();
        REQUIRE(a.app.alert());
        CHECK(a.app.alert()->message() == "登録せずに終了しますか？");
        REQUIRE(a.app.alert()->tapAction("キャンセル"));
        a.app.launched.settle(10);
        CHECK(a.app.top() == page);
        page->cancelButton()->trigger();
        REQUIRE(a.app.alert()->tapAction("OK"));
        a.app.launched.settle(10);
        CHECK(a.app.top() == a.top);
        CHECK(a.app.probe().value("SELECT result FROM certifMst WHERE pid = '999999'") == before);
    }
}

TEST_CASE("the one-page form's list is rebuilt when the form appears again", "[documents][onepage]") {
    OnePageApp a;
    const auto first = a.album("ID_999999", {Qt::red});
    auto page = a.openForm();
    REQUIRE(page);
    REQUIRE(listed(*page) == first);

    SECTION("after a screen it presented is dismissed") {
        auto modal = std::make_shared<ui::ViewController>();
        page->present(modal, false);
        a.app.launched.settle(10);
        const auto added = a.album("ID_999999", {Qt::green}); // as the editor saves one
        modal->dismiss(false);
        a.app.launched.settle(10);
        CHECK(listed(*page) == std::vector<std::string>{first[0], added[0]});
        CHECK(page->collectionView()->count() == 2);
    }
}

TEST_CASE("a long press on a listed photograph opens it in the editor", "[documents][onepage][editor]") {
    OnePageApp a;
    const auto normal = a.album("ID_999999_normal", {Qt::green});
    const auto own = a.album("ID_999999", {Qt::red});
    auto page = a.openForm();
    REQUIRE(page);
    REQUIRE(listed(*page) == std::vector<std::string>{normal[0], own[0]});
    QListWidget* list = page->collectionView();
    QTest::mouseClick(tagged(page, 50001), Qt::LeftButton); // the list is shown
    auto editorShown = [&] {
        return std::dynamic_pointer_cast<ImageEditorViewController>(
            a.app.launched.window().topPresentedViewController());
    };

    SECTION("a short tap opens nothing") {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(1)).center());
        a.app.launched.settle(700);
        CHECK_FALSE(editorShown());
    }
    SECTION("held: the editor on that photograph, upright and unturned; what it saves joins the list") {
        const QPoint at = list->visualItemRect(list->item(1)).center();
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
        REQUIRE(a.waitUntil([&] { return bool(editorShown()); }));
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
        a.app.launched.settle(10);
        CHECK(a.record().count("50001") == 0); // opened, not placed
        auto editor = editorShown();
        CHECK(editor->targetAsset().localIdentifier == own[0]);
        CHECK(editor->rotateType() == 0);
        CHECK_FALSE(editor->reversalVertical());
        CHECK_FALSE(editor->reversalHorizontal());
        CHECK(editor->rotateModeFlg());
        CHECK(editor->imageView()->image().size() == QSize(160, 120));
        REQUIRE(StaticVariableHelper::targetAlbumForOnePageImageEditor());
        CHECK(StaticVariableHelper::targetAlbumForOnePageImageEditor()->localizedTitle == "ID_999999");

        PhotoEditorBase::setSettleSeconds(0);
        PhotoEditorBase::setSuccessPauseSeconds(0);
        editor->saveNewImage();
        REQUIRE(a.waitUntil([&] { return bool(a.app.alert()); }));
        REQUIRE(a.app.alert()->tapAction("OK"));
        REQUIRE(a.waitUntil([&] { return !editorShown(); }));
        // Back in view, the form offers the edited copy too, as the patient's own photograph.
        CHECK(listed(*page).size() == 3);
        CHECK(listed(*page)[1] == own[0]);
        CHECK(list->count() == 3);
        // A tap places again: the edited copy into the selected slot.
        const std::string edited = listed(*page)[2];
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(2)).center());
        CHECK(a.record().at("50001") == edited);
    }
}

TEST_CASE("switching patients leaves the editor no album of the previous one",
          "[documents][onepage][editor]") {
    OnePageApp a;
    a.album("ID_999999", {Qt::red});
    auto probe = a.app.probe();
    probe.exec(
        "INSERT INTO patientMst VALUES ('10000', '123', '試験　花子', 'しけん　はなこ', '', '', '', '', "
        "'', '', '', '', 0)");
    probe.exec("INSERT INTO patientSrv VALUES ('10000', '123', '女', '1980年 1月 1日')");
    probe.exec("INSERT INTO inquiryMst VALUES ('123', '{}', 1, 1, 1, 1, 1, '2020-01-01')");
    auto first = a.openForm();
    REQUIRE(first);
    REQUIRE(StaticVariableHelper::targetAlbumForOnePageImageEditor());
    first->cancelButton()->trigger();
    REQUIRE(a.app.alert()->tapAction("OK"));
    a.app.launched.settle(10);
    auto second = a.openForm("123");
    REQUIRE(second);
    CHECK(second->title() == "試験　花子 様");
    CHECK(second->assetsList().empty());
    CHECK_FALSE(StaticVariableHelper::targetAlbumForOnePageImageEditor());
}
