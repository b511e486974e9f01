#include <catch2/catch.hpp>

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "app/shell/StaticVariableHelper.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "app/store/PhotoAlbumSource.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/FrameAnimation.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Tag.h"
#include "platform/ui/TextView.h"

namespace {

QPixmap circleImage() {
    QPixmap p(20, 20);
    p.fill(Qt::red);
    return p;
}

template <class W> W* tagged(QWidget* parent, int tag) {
    auto* w = new W(parent);
    ui::setTag(w, tag);
    return w;
}

struct Albums : store::PhotoAlbumSource {
    std::vector<store::PhotoAlbum> userAlbums() override {
        return {{"A/L0/001", "ID_p1_normal"}, {"B/L0/001", "ID_p1"}, {"C/L0/001", "ID_p2"}};
    }
    std::vector<store::PhotoAsset> assetsInAlbum(const store::PhotoAlbum&) override { return {}; }
};

} // namespace

TEST_CASE("The delegate's form operations write the shared dictionaries", "[shell][formops]") {
    zurarerizIvaDadadavu d;
    QWidget page;
    REQUIRE_FALSE(d.inputItems().has_value());

    SECTION("circles: the questionnaire's items come into being with the first tap") {
        auto* a = tagged<QPushButton>(&page, 421);
        auto* b = tagged<QPushButton>(&page, 423);
        auto* m = tagged<QPushButton>(&page, 4301);
        d.onCircleSingle(a, &page, circleImage());
        REQUIRE(d.inputItems().has_value());
        CHECK(*d.inputItems() == store::FormData{{"421", "on"}});
        CHECK_FALSE(a->icon().isNull());
        d.onCircleSingle(b, &page, circleImage());
        d.onCircleMulti(m, &page, circleImage());
        CHECK(*d.inputItems() == store::FormData{{"423", "on"}, {"4301", "on"}});
        CHECK(a->icon().isNull());
        CHECK_FALSE(m->icon().isNull());
    }
    SECTION("text items take the field's or text view's text under its tag") {
        auto* field = tagged<QLineEdit>(&page, 21);
        auto* view = tagged<ui::TextView>(&page, 95);
        field->setText("2");
        view->setPlainText("睡眠導入剤\n朝のみ");
        d.inputTextItem(field, &page);
        d.inputTextItem(view, &page);
        CHECK(*d.inputItems() == store::FormData{{"21", "2"}, {"95", "睡眠導入剤\n朝のみ"}});
    }
    SECTION("check labels write the certificate's list") {
        tagged<QLabel>(&page, 511);
        tagged<QLabel>(&page, 512);
        tagged<QLabel>(&page, 8101);
        d.onCheckLabelSingle(511, &page, "■");
        d.onCheckLabelSingle(512, &page, "■");
        d.onCheckLabelMulti(8101, &page, "●");
        CHECK(d.certifiDataList() == store::FormData{{"512", "■"}, {"8101", "●"}});
        CHECK_FALSE(d.inputItems().has_value());
    }
    SECTION("character check and time stamps") {
        CHECK(d.checkDigit("090-1234", "0123456789-"));
        CHECK_FALSE(d.checkDigit("090-12a4", "0123456789-"));
        CHECK(d.checkDigit("", "0123456789-"));
        double now = 1412000000.5;
        d.setTimestampClock([&] { return now; });
        const std::string first = d.timestamp();
        CHECK(first == "1412000000500");
        now += 1;
        CHECK(d.timestamp() == first);
        CHECK(d.newTimestamp() == "1412000001500");
        d.clearTimestamp();
        CHECK(d.timestamp() == "1412000001500");
    }
}

TEST_CASE("Keyboard notifications shift a page up twice and back", "[shell][formops][keyboard]") {
    zurarerizIvaDadadavu d;
    QWidget page;
    page.setGeometry(0, 0, 768, 1024);
    auto center = foundation::NotificationCenter::defaultCenter();
    auto show =
        center->addObserver(ui::kKeyboardWillShowNotification, nullptr, nullptr,
                            [&](const foundation::Notification& n) { d.viewPositionChange(n, &page, true); });
    auto hide = center->addObserver(
        ui::kKeyboardWillHideNotification, nullptr, nullptr,
        [&](const foundation::Notification& n) { d.viewPositionChange(n, &page, false); });

    ui::postKeyboardWillShow();
    CHECK(ui::runningFrameAnimation(&page) == "keyboardShow");
    ui::postKeyboardWillShow(); // before the first shift has ended
    CHECK(ui::modelFrame(&page) == QRect(0, -2 * ui::kKeyboardHeight, 768, 1024));
    ui::AnimationClock::shared().finishAnimations();
    CHECK(page.geometry() == QRect(0, -2 * ui::kKeyboardHeight, 768, 1024));

    ui::postKeyboardWillShow(QRect(0, 624, 768, 400)); // a taller keyboard lifts by its own height
    ui::AnimationClock::shared().finishAnimations();
    CHECK(page.y() == -2 * ui::kKeyboardHeight - 400);

    ui::postKeyboardWillHide();
    ui::AnimationClock::shared().finishAnimations();
    CHECK(page.geometry() == QRect(0, 0, 768, 1024));
}

TEST_CASE("Process-wide settings start absent and hold what is set", "[shell][settings]") {
    StaticVariableHelper::reset();
    CHECK_FALSE(StaticVariableHelper::inquiryLanguage());
    CHECK_FALSE(StaticVariableHelper::certificatePrintLanguage());
    CHECK_FALSE(StaticVariableHelper::certificatePrint());
    CHECK_FALSE(StaticVariableHelper::targetAlbumForOnePageImageEditor());

    StaticVariableHelper::setInquiryLanguage("English");
    StaticVariableHelper::setCertificatePrintLanguage("");
    StaticVariableHelper::setCertificatePrint("FillOut");
    CHECK(StaticVariableHelper::inquiryLanguage() == "English");
    CHECK(StaticVariableHelper::certificatePrintLanguage() == ""); // empty is a value: filling out
    CHECK(StaticVariableHelper::certificatePrint() == "FillOut");

    SECTION("the patient album walk names the photo editor's album") {
        zurarerizIvaDadadavu d;
        d.setPhotoAlbumSource(std::make_shared<Albums>());
        d.patientID() = "p1";
        d.getLetterPhotoInfo();
        REQUIRE(StaticVariableHelper::targetAlbumForOnePageImageEditor());
        CHECK(StaticVariableHelper::targetAlbumForOnePageImageEditor()->localizedTitle == "ID_p1");
    }
    StaticVariableHelper::reset();
}
