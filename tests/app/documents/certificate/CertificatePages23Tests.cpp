// The certificate's second and third pages: tooth count and tooth age, check marks, the photo slots
// filled from the patient's photographs by position, the face judgement and the comment.
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <catch2/catch.hpp>

#include "app/documents/certificate/certificateView2.h"
#include "app/documents/certificate/certificateView3.h"
#include "app/documents/certificate/selectPhotoCell3.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/Bundle.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/Tag.h"
#include "tests/app/shell/RegistTestSupport.h"
#include "tests/support/SamePicture.h"

namespace {

foundation::Data jpeg(const QColor& colour) {
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return foundation::Data(bytes.begin(), bytes.end());
}

template <class Page> struct Pages {
    registtest::RegistApp app;
    std::shared_ptr<Page> page;

    explicit Pages(const std::string& language, bool touchMode = true) {
        StaticVariableHelper::setCertificatePrintLanguage(language);
        app.delegate().patientID() = "999999";
        REQUIRE(app.delegate().setPatientInfoData());
        app.delegate().setTouchMode(touchMode);
    }
    ~Pages() { StaticVariableHelper::reset(); }
    void show() {
        page = std::make_shared<Page>();
        app.launched.navigation()->pushViewController(page, false);
        app.launched.settle(10);
    }
    store::FormData& record() { return app.delegate().certifiDataList(); }
    QWidget* view(int tag) { return ui::viewWithTag(page->formView(), tag); }
    QString text(int tag) {
        if (auto* l = qobject_cast<QLabel*>(view(tag))) return l->text();
        if (auto* t = qobject_cast<ui::TextView*>(view(tag))) return t->toPlainText();
        return "<none>";
    }
    // Three photographs of the patient, at positions 5, 2 and 8 of the kind.
    std::vector<std::string> photographs(const std::string& kind) {
        std::vector<std::string> ids;
        auto library = photos::PhotoLibrary::shared();
        REQUIRE_FALSE(library->performChangesAndWait([&](photos::ChangeRequest& change) {
            for (QColor c : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)})
                ids.push_back(change.createImageAsset(jpeg(c)));
        }));
        auto& state = app.delegate().state();
        state.allAssetsList[kind].clear();
        for (const std::string& id : ids) {
            state.allAssetsList[kind].push_back({id});
            state.allAssetsListForStep4.push_back({id});
            state.assetLocalIDList[id] = {id};
        }
        state.allPhotoNoList[kind] = {{"5", ids[0]}, {"2", ids[1]}, {"8", ids[2]}};
        return ids;
    }
};

bool sameImage(const QPixmap& shown, const char* bundleFile) {
    const auto path = foundation::Bundle::main()->pathForResource(
        std::string(bundleFile).substr(0, std::strlen(bundleFile) - 4), "png");
    return path && picturecheck::samePicture(QImage(QString::fromStdString(*path)), shown.toImage());
}

} // namespace

TEST_CASE("the tooth age of a tooth count", "[documents][certificate]") {
    const std::pair<int, int> cases[] = {{28, 2}, {27, 3}, {26, 4}, {25, 4}, {11, 8},
                                         {10, 9}, {0, 9},  {32, 9}, {-3, 9}};
    for (const auto& [teeth, tens] : cases) {
        INFO(teeth);
        CHECK(certificateView2::toothAgeTens(teeth) == tens);
    }
}

TEST_CASE("certificate page 2", "[documents][certificate]") {
    Pages<certificateView2> p("");
    SECTION("a tooth count sets the tooth age; letters are refused with one alert") {
        p.show();
        auto* count = qobject_cast<ui::TextView*>(p.view(61));
        REQUIRE(count);
        CHECK(count->stdText() == "23"); // the seed's count
        QTest::mouseClick(count->viewport(), Qt::LeftButton);
        QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(count, "25");
        QTest::keyClick(count, Qt::Key_Return);
        p.app.launched.settle(10);
        CHECK(p.record().at("61") == "25");
        CHECK(
            sameImage(p.page->formView()->findChild<QLabel*>("toothAgeImage1")->pixmap(), "icon_num_4.png"));
        CHECK(
            sameImage(p.page->formView()->findChild<QLabel*>("toothAgeImage2")->pixmap(), "icon_num_0.png"));

        QTest::mouseClick(count->viewport(), Qt::LeftButton);
        QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(count, "2a");
        QTest::keyClick(count, Qt::Key_Return);
        p.app.launched.settle(10);
        auto alert = p.app.alert();
        REQUIRE(alert);
        CHECK(alert->message() == "数字のみ入力してください");
        CHECK(count->stdText().empty());
        CHECK(p.record().at("61") == "25");
        REQUIRE(alert->tapAction("OK"));
        p.app.launched.settle(10);
        CHECK_FALSE(p.app.alert()); // the focus came back once, with no second alert
    }
    SECTION("Return in the tooth count keeps the count in sight") {
        p.show();
        auto* count = qobject_cast<ui::TextView*>(p.view(61));
        REQUIRE(count);
        QTest::mouseClick(count->viewport(), Qt::LeftButton);
        QTest::keyClick(count, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(count, "26");
        QTest::keyClick(count, Qt::Key_Return);

        p.app.launched.settle(10);
        CHECK(p.record().at("61") == "26");
        CHECK(count->verticalScrollBar()->value() == 0);
        CHECK(count->horizontalScrollBar()->value() == 0);
    }
    SECTION("check marks of each kind") {
        p.show();
        // The seed marks 411 and 601; a neighbour of the group takes the mark.
        QTest::mouseClick(p.view(412), Qt::LeftButton);
        QTest::mouseClick(p.view(602), Qt::LeftButton);
        QTest::mouseClick(p.view(5201), Qt::LeftButton);
        QTest::mouseClick(p.view(5203), Qt::LeftButton);
        CHECK(p.record().at("412") == "■");
        CHECK(p.record().count("411") == 0);
        CHECK(p.record().at("602") == "●");
        CHECK(p.record().count("601") == 0);
        CHECK(p.record().at("5201") == "●");
        CHECK(p.record().at("5203") == "●");
    }
    SECTION("photo slots offer the photographs of their positions, once each") {
        const auto ids = p.photographs("normal");
        p.show();
        auto& page = *p.page;
        QTest::mouseClick(p.view(10001), Qt::LeftButton); // slot 1: position 5
        CHECK(page.selectTagNo() == 10001);
        REQUIRE(page.assetsList().size() == 1);
        CHECK(page.assetsList()[0].localIdentifier == ids[0]);
        CHECK(page.collectionView()->isVisible());
        page.didSelectItem(0);
        CHECK(p.app.launched.settleUntil(
            [&] { return !qobject_cast<QLabel*>(p.view(10001))->pixmap().isNull(); }));
        CHECK(p.record().at("10001") == ids[0]);
        CHECK(page.deselectBtn()->isEnabled());
        CHECK(p.app.delegate().allAssetsList()["normal"].size() == 2);

        QTest::mouseClick(page.closeCollectionBtn(), Qt::LeftButton);
        CHECK(page.selectTagNo() == 0);
        QTest::mouseClick(p.view(10002), Qt::LeftButton); // slot 2: positions 2 and 8
        REQUIRE(page.assetsList().size() == 2);
        CHECK(page.assetsList()[0].localIdentifier == ids[1]);

        QTest::mouseClick(page.closeCollectionBtn(), Qt::LeftButton);
        QTest::mouseClick(p.view(10001), Qt::LeftButton);
        QTest::mouseClick(page.deselectBtn(), Qt::LeftButton);
        CHECK(p.record().count("10001") == 0);
        CHECK(qobject_cast<QLabel*>(p.view(10001))->pixmap().isNull());
        CHECK(p.app.delegate().allAssetsList()["normal"].back().localIdentifier == ids[0]);
    }
    SECTION("the fluorescence slots have their own positions and photographs") {
        const auto ids = p.photographs("velscope");
        p.show();
        QTest::mouseClick(p.view(20002), Qt::LeftButton); // positions 2 and 8
        REQUIRE(p.page->assetsList().size() == 2);
        CHECK(p.page->showPhotoType() == "velscope");
        p.page->didSelectItem(1);
        CHECK(p.record().at("20002") == ids[2]);
        // Placed once, a photograph is offered to no other slot of the kind.
        QTest::mouseClick(p.page->closeCollectionBtn(), Qt::LeftButton);
        QTest::mouseClick(p.view(20002), Qt::LeftButton);
        CHECK(p.page->assetsList().size() == 1);
    }
    SECTION("a stored slot shows its photograph again") {
        const auto ids = p.photographs("roentgen");
        p.record()["30001"] = ids[0];
        p.show();
        p.app.launched.settle(30);
        CHECK_FALSE(qobject_cast<QLabel*>(p.view(30001))->pixmap().isNull());
    }
}

TEST_CASE("certificate page 3", "[documents][certificate]") {
    SECTION("the face judgement cycles from the second face on") {
        Pages<certificateView3> p("");
        p.show();
        QTest::mouseClick(p.view(70), Qt::LeftButton);
        CHECK(p.record().at("70") == "72");
        QTest::mouseClick(p.view(70), Qt::LeftButton);
        CHECK(p.record().at("70") == "73");
        CHECK(sameImage(qobject_cast<QLabel*>(p.view(70))->pixmap(), "icon_73.png"));
    }
    SECTION("no comment: the language's none, stored; a stored none shows translated") {
        Pages<certificateView3> fill("");
        fill.show();
        CHECK(fill.text(90001) == "無し");
        CHECK(fill.record().at("90001") == "無し");
    }
    SECTION("in English and Chinese prints") {
        const bool english = GENERATE(true, false);
        Pages<certificateView3> p(english ? "English" : "Chinese", false);
        p.record()["90001"] = "無し";
        p.show();
        CHECK(p.text(90001) == (english ? "N/A" : "无"));
        CHECK(p.record().at("90001") == "無し");
        CHECK(p.page->formView()->findChild<QLabel*>("commentLabel")->text() ==
              (english ? "Comment" : "注释"));
        QTest::mouseClick(p.view(70), Qt::LeftButton);
        CHECK(p.record().count("70") == 0); // print mode takes no taps
    }
    SECTION("its two slots take the photographs at positions 2 and 8, shown in their own cells") {
        Pages<certificateView3> p("");
        const auto ids = p.photographs("normal");
        p.show();
        QTest::mouseClick(p.view(40002), Qt::LeftButton);
        REQUIRE(p.page->assetsList().size() == 1);
        CHECK(p.page->assetsList()[0].localIdentifier == ids[2]);
        auto* cell = qobject_cast<selectPhotoCell3*>(
            p.page->collectionView()->itemWidget(p.page->collectionView()->item(0)));
        REQUIRE(cell);
        // The cell's photograph is decoded off the GUI thread: wait for it, however busy the machine.
        CHECK(p.app.launched.settleUntil([&] { return !cell->imageView()->pixmap().isNull(); }));
        p.page->didSelectItem(0);
        CHECK(p.record().at("40002") == ids[2]);
        CHECK(p.app.delegate().allAssetsListForStep4().size() == 2);
    }
    SECTION("the comment is not a photo slot") {
        Pages<certificateView3> p("");
        p.show();
        QTest::mouseClick(qobject_cast<ui::TextView*>(p.view(90001))->viewport(), Qt::LeftButton);
        CHECK(p.page->selectTagNo() == 0);
    }
}
