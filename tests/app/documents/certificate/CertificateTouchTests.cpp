// The certificates filled out by touches on the window as it stands on the monitor: at 1:1, fitted to a
// laptop screen and above 1:1, each touch at the pixel where its target is drawn. The judgement marks,
// the faces, the recall check boxes, the dates with their wheels, the treatment list, the photo slots,
// paging by swipe, register and its alert must act as at 1:1, and the stored row must say so.
#include <QAbstractItemView>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <catch2/catch.hpp>

#include "app/MainStoryboard.h"
#include "app/documents/certificate/certificateBaseView.h"
#include "app/documents/certificate/certificateView1.h"
#include "app/documents/certificate/certificateViewTop.h"
#include "app/documents/certificate/onePageCertificateView.h"
#include "app/documents/certificate/tableListView.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "app/shell/StaticVariableHelper.h"
#include "app/store/FormJson.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/PopoverLayer.h"
#include "platform/ui/Storyboard.h"
#include "tests/app/documents/certificate/OnePageTestSupport.h"
#include "tests/support/ScreenTouches.h"

namespace {

// The certificate's start screen on the main menu, in a window shown at `scale`.
struct TouchedCertificate {
    onepagetest::OnePageApp a;
    testsupport::ScreenTouches touches{a.app.launched.window()};

    explicit TouchedCertificate(double scale) {
        a.app.launched.window().setScale(scale);
        settle();
    }

    void settle() {
        ui::AnimationClock::shared().finishAnimations();
        a.app.launched.settle(10);
    }
    store::FormData& record() { return a.record(); }

    // The patient's number typed into the field tapped, then the start button and the form's button.
    void open(QPushButton* (certificateViewTop::*button)() const) {
        certificateViewTop& top = *a.top;
        touches.tap(top.patientIDBox());
        QTest::keyClicks(top.patientIDBox(), "999999");
        touches.tap(top.view()->findChild<QPushButton*>("certificateStartButton"));
        settle();
        touches.tap((top.*button)());
        settle();
    }

    // The wheel's list opened by a tap, and the entry of `value` tapped.
    void pick(QComboBox* wheel, int value) {
        REQUIRE(wheel);
        touches.tap(wheel);
        QAbstractItemView* list = wheel->view();
        REQUIRE(QTest::qWaitFor([&] { return list->isVisible(); }, 5000));
        const QModelIndex index = list->model()->index(wheel->findData(value), wheel->modelColumn());
        list->scrollTo(index);
        touches.tap(list->viewport(), QRectF(list->visualRect(index)).center());
        settle();
    }
    // A tap beside the popover puts it away.
    void tapBesidePopover() {
        auto* layer = a.app.launched.window().findChild<ui::PopoverLayer*>();
        REQUIRE(layer);
        touches.tap(layer, QPointF(6, layer->height() - 6));
        settle();
    }
    // A row of the list popover tapped.
    void tapRow(QListWidget* list, int row) {
        REQUIRE(list);
        touches.tap(list->viewport(), QRectF(list->visualItemRect(list->item(row))).center());
        settle();
    }
    // Register tapped on the bar, and the alert it brings answered with OK; its message.
    std::string registerAndConfirm() {
        ui::NavigationBar* bar = a.app.launched.navigation()->navigationBar();
        touches.tap(bar->button("登録  "));
        settle();
        auto alert = a.app.alert();
        REQUIRE(alert);
        const std::string message = alert->message();
        touches.tap(alert->actionButton("OK"));
        settle();
        CHECK_FALSE(a.app.alert());
        return message;
    }
    store::FormData stored() {
        return store::formDataFromJSON(
            a.app.probe().value("SELECT result FROM certifMst WHERE pid = '999999'"));
    }
};

// The long press on a view that was tapped saw the tap end: none is left waiting to fire.
void tapEnded(QWidget* tapped) {
    auto* r = tapped->findChild<ui::LongPressGestureRecognizer*>(QString(), Qt::FindDirectChildrenOnly);
    REQUIRE(r);
    CHECK(r->state() == ui::GestureState::Failed);
}

} // namespace

TEST_CASE("the three-page certificate filled out by touches at every window scale",
          "[documents][certificate][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    TouchedCertificate t(scale);
    t.open(&certificateViewTop::threePageCertificateButton);
    auto base = std::dynamic_pointer_cast<certificateBaseView>(t.a.app.top());
    REQUIRE(base);
    auto page = std::static_pointer_cast<certificateView1>(base->page(1));
    const qint64 toothFace = page->labelWithTag(2)->pixmap().cacheKey();

    // A judgement circle, the tooth's face (its mark moves on from 22), a recall box.
    t.touches.tap(page->labelWithTag(13));
    CHECK(page->labelWithTag(13)->text() == "●");
    CHECK(page->labelWithTag(11)->text().isEmpty());
    t.touches.tap(page->labelWithTag(2));
    CHECK(t.record().count("22") == 0);
    CHECK(t.record().at("23") == "●");
    CHECK(page->labelWithTag(2)->pixmap().cacheKey() != toothFace);
    t.touches.tap(page->labelWithTag(102));
    CHECK(page->labelWithTag(102)->text() == "■");

    // The next visit's date: its label opens the picker, a wheel's entry sets the day.
    t.touches.tap(page->labelWithTag(30));
    auto picker = std::dynamic_pointer_cast<datePickerView>(page->pop());
    REQUIRE(picker);
    t.pick(picker->datePicker()->wheel(ui::DatePicker::Component::Day), 20);
    CHECK(page->labelWithTag(30)->text() == "2015年 10月 20日");
    CHECK(page->labelWithTag(32)->text() == "（火）");
    t.tapBesidePopover();
    CHECK_FALSE(t.a.app.picker());

    // A treatment from the list.
    t.touches.tap(page->textViewWithTag(44)->viewport());
    auto list = std::dynamic_pointer_cast<tableListView>(page->pop());
    REQUIRE(list);
    t.tapRow(list->contentsTable(), 2);
    CHECK(page->textViewWithTag(44)->stdText() == "歯石除去");

    // Paging by swipe across the page, and back.
    QWidget* paged = base->view();
    const double y = paged->height() * 0.6;
    t.touches.drag(paged, QPointF(600, y), QPointF(250, y));
    t.settle();
    CHECK(base->dispPage() == 2);
    t.touches.drag(paged, QPointF(250, y), QPointF(600, y));
    t.settle();
    CHECK(base->dispPage() == 1);

    CHECK(t.registerAndConfirm() == "登録しました");
    CHECK(t.a.app.top() == t.a.top);
    const store::FormData row = t.stored();
    CHECK(row.at("13") == "●");
    CHECK(row.count("11") == 0);
    CHECK(row.at("23") == "●");
    CHECK(row.count("22") == 0);
    CHECK(row.at("102") == "■");
    CHECK(row.at("30") == "2015年 10月 20日");
    CHECK(row.at("32") == "（火）");
    CHECK(row.at("44") == "歯石除去");
}

TEST_CASE("the one-page certificate filled out by touches at every window scale",
          "[documents][onepage][touch]") {
    const double scale = GENERATE(1.0, testsupport::laptopWindowScale(), 1.5);
    INFO("scale " << scale);
    TouchedCertificate t(scale);
    const auto normal = t.a.album("ID_999999_normal", {Qt::red, Qt::green});
    t.open(&certificateViewTop::onePageCertificateButton);
    auto page = std::dynamic_pointer_cast<onePageCertificateView>(t.a.app.top());
    REQUIRE(page);

    t.touches.tap(page->labelWithTag(12));
    CHECK(page->labelWithTag(12)->text() == "●");
    CHECK(page->labelWithTag(11)->text().isEmpty());
    t.touches.tap(page->labelWithTag(2));
    CHECK(t.record().at("23") == "●");
    t.touches.tap(page->labelWithTag(412));
    CHECK(page->labelWithTag(412)->text() == "■");
    CHECK(page->labelWithTag(411)->text().isEmpty());

    t.touches.tap(page->labelWithTag(30));
    auto picker = std::dynamic_pointer_cast<datePickerView>(page->pop());
    REQUIRE(picker);
    t.pick(picker->datePicker()->wheel(ui::DatePicker::Component::Day), 20);
    CHECK(page->labelWithTag(30)->text() == "2015年 10月 20日");
    t.tapBesidePopover();

    // A photo slot, then a photograph of the list: the slot takes it.
    t.touches.tap(page->labelWithTag(50001));
    CHECK(page->selectTagNo() == 50001);
    QListWidget* photos = page->collectionView();
    REQUIRE(photos->isVisible());
    t.tapRow(photos, 1);
    CHECK(t.record().at("50001") == normal[1]);
    tapEnded(photos->viewport());

    // A long press on a photograph of the list opens it in the editor, and places nothing.
    t.touches.tap(page->labelWithTag(50002));
    CHECK(page->selectTagNo() == 50002);
    const QRectF held = photos->visualItemRect(photos->item(0));
    auto editorShown = [&] {
        return bool(std::dynamic_pointer_cast<ImageEditorViewController>(
            t.a.app.launched.window().topPresentedViewController()));
    };
    CHECK(t.touches.longPress(photos->viewport(), editorShown, held.center()));
    t.settle();
    CHECK(t.record().count("50002") == 0);
    REQUIRE(editorShown());
    t.a.app.launched.window().topPresentedViewController()->dismiss(false);
    t.settle();

    CHECK(t.registerAndConfirm() == "登録しました");
    const store::FormData row = t.stored();
    CHECK(row.at("12") == "●");
    CHECK(row.count("11") == 0);
    CHECK(row.at("23") == "●");
    CHECK(row.at("412") == "■");
    CHECK(row.count("411") == 0);
    CHECK(row.at("30") == "2015年 10月 20日");
    CHECK(row.at("50001") == normal[1]);
}
