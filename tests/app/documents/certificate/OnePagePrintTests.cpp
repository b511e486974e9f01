// The one-page certificate in print mode and its print preview: read-only, in each print language
// with its dates, captions and comment, the clinic's contact block; the exported PDF of one page with
// both photographs and the printed two, as a reader of the files sees them.
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QPrinter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/ui/PrintInteraction.h"
#include "tests/app/documents/certificate/OnePageTestSupport.h"
#include "tests/app/documents/pages/PdfProbe.h"

using onepagetest::OnePageApp;
using onepagetest::tagged;

namespace {

void writeClinicFile(const std::string& json) {
    QFile file(QDir(QString::fromStdString(foundation::home::documents())).filePath("clinicInfo.json"));
    REQUIRE(file.open(QIODevice::WriteOnly));
    file.write(json.data(), qint64(json.size()));
}

// The seed patient's certificate with an examination date and two photographs, stored.
std::vector<std::string> storeWithPhotographs(OnePageApp& a) {
    const auto ids = a.album("ID_999999_normal", {Qt::red, Qt::blue});
    a.app.delegate().patientID() = "999999";
    REQUIRE(a.app.delegate().setPatientInfoData());
    a.record()["34"] = "2020年 3月 5日";
    a.record()["50001"] = ids[0];
    a.record()["50002"] = ids[1];
    REQUIRE(a.app.delegate().registCertificate());
    return ids;
}

} // namespace

TEST_CASE("the one-page form in print mode", "[documents][onepage][print]") {
    OnePageApp a;
    SECTION("English: dates as MMM-dd-yyyy, the stored none as N/A, captions; taps and typing do nothing") {
        a.app.delegate().patientID() = "999999";
        REQUIRE(a.app.delegate().setPatientInfoData());
        a.record()["34"] = "2020年 3月 5日";
        a.record()["90001"] = "無し";
        REQUIRE(a.app.delegate().registCertificate());
        auto preview = a.openPreview(&certificateViewTop::englishCertificatePrintButton);
        REQUIRE(preview);
        auto page = preview->page();
        CHECK_FALSE(a.app.delegate().touchMode());
        CHECK(onepagetest::showsBundleImage(page->label("onePageCertificateImageView")->pixmap(),
                                            "onePage_certificate_English.png"));
        CHECK(tagged(page, 34)->text() == "Mar-05-2020");
        CHECK(tagged(page, 30)->text() == "Oct-16-2015");
        CHECK(page->label("birthLabel")->text() == "Apr-12-1975");
        CHECK(page->label("sexLabel")->text() == "Male");
        CHECK(page->label("ageLabel")->text().toInt() >= 45);
        CHECK(page->label("nameLabel")->text() == "札幌　太郎");
        CHECK(page->label("reportLabel")->text() == "Stomavue Report");
        CHECK(page->label("examinationDateLabel")->text() == "Examination Date :");
        CHECK(page->label("contactAt")->text() == "Contact At");
        CHECK(page->label("commentLabel")->text() == "Comment");
        CHECK(page->label("examinationDateJapanLabel")->isHidden());
        CHECK(page->label("nextExaminationDateJapanLabel")->isHidden());
        auto* comment = qobject_cast<ui::TextView*>(ui::viewWithTag(page->formView(), 90001));
        CHECK(comment->stdText() == "N/A");
        CHECK(a.record().at("90001") == "無し");
        CHECK(a.record().at("34") == "2020年 3月 5日");
        CHECK(comment->isReadOnly());
        CHECK(comment->focusPolicy() == Qt::NoFocus);
        QTest::mouseClick(tagged(page, 13), Qt::LeftButton);
        QTest::mouseClick(tagged(page, 50001), Qt::LeftButton);
        CHECK(a.record().at("11") == "●");
        CHECK(page->selectTagNo() == 0);
        CHECK(page->collectionView()->isHidden());
    }
    SECTION("Chinese: its captions and none; a missing icon file and birthday show nothing") {
        a.app.delegate().patientID() = "999999";
        REQUIRE(a.app.delegate().setPatientInfoData());
        a.record().erase("11");
        a.record()["1"] = "19";
        a.record().erase("90001");
        REQUIRE(a.app.delegate().registCertificate());
        a.app.probe().exec("UPDATE patientSrv SET birthday = '' WHERE pid = '999999'");
        auto preview = a.openPreview(&certificateViewTop::chineseCertificatePrintButton);
        REQUIRE(preview);
        auto page = preview->page();
        CHECK(tagged(page, 1)->pixmap().isNull());
        CHECK(page->label("ageLabel")->text().isEmpty());
        CHECK(page->label("birthLabel")->text().isEmpty());
        CHECK(page->label("reportLabel")->text() == "口腔癌检查结果报告书");
        CHECK(page->label("examinationDateLabel")->text() == "本次受诊日 :");
        CHECK(page->label("sexLabel")->text() == "男性");
        CHECK(qobject_cast<ui::TextView*>(ui::viewWithTag(page->formView(), 90001))->stdText() == "无");
        CHECK(a.record().at("90001") == "無し");
    }
    SECTION("a patient whose sex is not recorded prints none, in every language") {
        a.app.probe().exec("DELETE FROM patientSrv WHERE pid = '999999'");
        for (auto button : {&certificateViewTop::japaneseCertificatePrintButton,
                            &certificateViewTop::englishCertificatePrintButton,
                            &certificateViewTop::chineseCertificatePrintButton}) {
            auto preview = a.openPreview(button);
            REQUIRE(preview);
            CHECK(preview->page()->label("sexLabel")->text().isEmpty());
            CHECK(preview->page()->label("ageLabel")->text().isEmpty());
            preview->tapCancelButton();
            a.app.launched.settle(10);
        }
    }
    SECTION("English without a next visit hides its box; the clinic's telephone alone without a fax") {
        a.app.delegate().patientID() = "999999";
        REQUIRE(a.app.delegate().setPatientInfoData());
        a.record().erase("30");
        REQUIRE(a.app.delegate().registCertificate());
        writeClinicFile(R"({"clinicInfo":[{"name":"さくら歯科","tel":"011-111-1111","postal":"060-0001"}]})");
        foundation::LogCapture log;
        auto preview = a.openPreview(&certificateViewTop::englishCertificatePrintButton);
        REQUIRE(preview);
        auto page = preview->page();
        CHECK(page->label("nextExaminationDateLabel")->isHidden());
        // No examination date: today, stored in Japanese even though the page shows English.
        const QDate today = QDate::currentDate();
        CHECK(a.record().at("34") == today.toString("yyyy年 M月 d日").toStdString());
        CHECK(tagged(page, 34)->text() ==
              QLocale(QLocale::English, QLocale::UnitedStates).toString(today, "MMM-dd-yyyy"));
        CHECK(tagged(page, 31)->text() == QString::fromUtf8("Oct-27-2014 　10:30 〜"));
        CHECK(page->label("clinic_tel")->text() == "011-111-1111");
        CHECK(page->label("clinic_name")->text() == "さくら歯科");
        CHECK_FALSE(page->logoData());
        CHECK(page->label("imageLogo")->pixmap().isNull());
    }
}

TEST_CASE("the one-page certificate's PDF in each print language", "[documents][onepage][print]") {
    struct Case {
        const char* language;
        QPushButton* (certificateViewTop::*button)() const;
        std::vector<const char*> texts;
    };
    const Case c = GENERATE(Case{"Japanese",
                                 &certificateViewTop::japaneseCertificatePrintButton,
                                 {"口腔がん検診", "札幌", "男性", "999999-1", "2020年", "無し", "さくら歯科",
                                  "FAX", "今回の受診日", "に検診を受けられました", "011-222-3344"}},
                            Case{"English",
                                 &certificateViewTop::englishCertificatePrintButton,
                                 {"Stomavue Report", "Mar-05-2020", "Oct-16-2015", "Male", "N/A",
                                  "Contact At", "Examination Date"}},
                            Case{"Chinese",
                                 &certificateViewTop::chineseCertificatePrintButton,
                                 {"口腔癌检查结果报告书", "本次受诊日", "请联系", "注释", "无"}});
    INFO(c.language);
    OnePageApp a;
    const auto ids = storeWithPhotographs(a);
    QImage logo(120, 40, QImage::Format_RGB32);
    logo.fill(Qt::darkCyan);
    REQUIRE(logo.save(QDir(QString::fromStdString(foundation::home::documents())).filePath("logo.png")));
    writeClinicFile(R"({"clinicInfo":[{"name":"さくら歯科","tel":"011-111-1111","fax":"011-111-2222",)"
                    R"("postal":"060-0001","state":"北海道","address1":"札幌市","logo":"logo.png"}]})");
    auto preview = a.openPreview(c.button);
    REQUIRE(preview);
    auto page = preview->page();
    CHECK(preview->scrollView()->widget()->height() == 1064);
    CHECK(StaticVariableHelper::certificatePrintLanguage() == std::optional<std::string>(c.language));
    REQUIRE(a.waitUntil(
        [&] { return !tagged(page, 50001)->pixmap().isNull() && !tagged(page, 50002)->pixmap().isNull(); }));
    // Printed, the contact block sits 25 points higher, with the logo.
    QWidget* contact = page->formView()->findChild<QWidget*>("destView");
    CHECK(contact->isVisible());
    CHECK(contact->y() == 859 - 25);
    CHECK_FALSE(page->label("imageLogo")->pixmap().isNull());

    const auto path = preview->printPDF();
    REQUIRE(path);
    const QString file = QString::fromStdString(*path);
    CHECK(file == QDir(QString::fromStdString(foundation::home::documents()))
                      .filePath("999999_certificate_20200305_00.pdf"));
    const pdfprobe::Facts facts = pdfprobe::facts(file);
    CHECK(facts.pages == 1);
    CHECK(facts.pageSize == "768 x 1064");
    for (const char* text : c.texts) {
        INFO(text);
        CHECK(facts.text.contains(QString::fromUtf8(text)));
    }
    CHECK_FALSE(pdfprobe::hasRadicals(facts.text));

    QTemporaryDir scratch;
    const QImage image = pdfprobe::page(file, 1, scratch.path());
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR")) {
        image.save(QDir(dir).filePath(QString("onepage-%1.png").arg(c.language)));
        QFile::copy(file, QDir(dir).filePath(QString("onepage-%1.pdf").arg(c.language)));
    }
    // Both photographs, each filling its slot (20 points down on the page).
    const QRect slot1 = tagged(page, 50001)->geometry().translated(0, 20).adjusted(4, 4, -4, -4);
    const QRect slot2 = tagged(page, 50002)->geometry().translated(0, 20).adjusted(4, 4, -4, -4);
    CHECK(onepagetest::pixelsNear(image, slot1, Qt::red) > slot1.width() * slot1.height() * 9 / 10);
    CHECK(onepagetest::pixelsNear(image, slot2, Qt::blue) > slot2.width() * slot2.height() * 9 / 10);
    // The logo inside the raised contact block.
    const QRect logoOnPage(contact->mapTo(page->formView(), page->label("imageLogo")->geometry().topLeft()) +
                               QPoint(0, 20),
                           page->label("imageLogo")->size());
    CHECK(onepagetest::pixelsNear(image, logoOnPage, QColor(Qt::darkCyan)) > 200);

    SECTION("printed, the same form makes two pages (the second the last 40 points)") {
        const QString printed = QDir(scratch.path()).filePath("printed.pdf");
        ui::PrintInteractionController::setPrinterAvailability([] { return true; });
        ui::PrintInteractionController::setDialogRunner(
            [printed](QPrinter& printer, const ui::PrintInfo& info) {
                CHECK(info.jobName == "診断書 999999");
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(printed);
                printer.setPageOrientation(QPageLayout::Portrait);
                return true;
            });
        preview->printCertificate();
        ui::PrintInteractionController::setDialogRunner({});
        ui::PrintInteractionController::setPrinterAvailability({});
        CHECK(pdfprobe::facts(printed).pages == 2);
        CHECK(a.record().at("printno") == "2");
    }
}
