// The letter's print preview: two bands of 1024 points on pages without a margin, the file named by
// the letter's date, and the PDF as a reader sees it: its text, its photographs, every field black.
#include <QPrinter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QUrl>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "platform/foundation/Log.h"
#include "platform/ui/PrintInteraction.h"
#include "tests/app/documents/letter/LetterTestSupport.h"
#include "tests/app/documents/pages/PdfProbe.h"

using lettertest::LetterApp;

namespace {

// How many pixels of the area are close to the colour.
int near(const QImage& page, const QRect& area, QColor colour) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!page.valid(x, y)) continue;
            const QColor c = page.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 && std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                ++n;
        }
    return n;
}

// The darkest grey level of the area: written text in black reaches near 0, greyed text stays far above.
int darkest(const QImage& page, const QRect& area) {
    int least = 255;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (page.valid(x, y)) least = std::min(least, qGray(page.pixel(x, y)));
    return least;
}

void keep(const QString& file, const QString& name) {
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR")) {
        QFile::remove(QDir(dir).filePath(name));
        QFile::copy(file, QDir(dir).filePath(name));
    }
}

} // namespace

TEST_CASE("the letter's PDF for the seed patient", "[documents][letter][print]") {
    LetterApp s;
    lettertest::writeDocument("clinicInfo.json", lettertest::kClinicFile);
    const std::string red = s.photograph("normal", Qt::red), blue = s.photograph("velscope", Qt::blue);
    auto& d = s.delegate();
    d.patientID() = "999999";
    REQUIRE(d.setPatientInfoData());
    d.letterDataList() = {{"34", "2025年 3月 14日"},
                          {"81011", "右下8番 智歯周囲炎"},
                          {"81012", "抜歯のお願い"},
                          {"81018", "患者さんの'希望'あり"},
                          {"82001", red},
                          {"82002", blue}};
    d.medicalList() = {
        {"cid", "80000"}, {"cname", "市立病院"}, {"departments", "口腔外科"}, {"doctor", "山田"}};
    REQUIRE(d.registLetter());
    d.letterDataList().clear();

    auto preview = s.openPreview();
    REQUIRE(preview);
    CHECK(preview->scrollView()->widget()->height() == 2048);
    const auto path = preview->printPDF();
    REQUIRE(path);
    const QString file = QString::fromStdString(*path);
    CHECK(file ==
          QDir(QString::fromStdString(foundation::home::documents())).filePath("999999_letter_20250314.pdf"));
    keep(file, "letter.pdf");

    const pdfprobe::Facts facts = pdfprobe::facts(file);
    CHECK(facts.pages == 2);
    CHECK(facts.pageSize == "768 x 1024");
    for (const char* text : {"999999-4", "999999-5", "011-111-2222 ／ (FAX)011-111-3333", "〒060-0042",
                             "〒060-0001", "2025年 3月 14日", "市立病院", "口腔外科", "右下8番 智歯周囲炎",
                             "患者さんの'希望'あり", "札幌", "太郎", "睡眠導入剤"}) {
        INFO(text);
        CHECK(facts.text.contains(QString::fromUtf8(text)));
    }
    CHECK_FALSE(pdfprobe::hasRadicals(facts.text));

    QTemporaryDir scratch;
    const QImage page1 = pdfprobe::page(file, 1, scratch.path());
    const QImage page2 = pdfprobe::page(file, 2, scratch.path());
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR")) {
        page1.save(QDir(dir).filePath("letter-page1.png"));
        page2.save(QDir(dir).filePath("letter-page2.png"));
    }
    // No margin: each page is its 1024-point band, so views land where the layout puts them.
    auto page2View = preview->page2();
    auto page1View = preview->page1();
    REQUIRE(page2View);
    REQUIRE(page1View);
    for (auto [tag, colour] : {std::pair{82001, QColor(Qt::red)}, std::pair{82002, QColor(Qt::blue)}}) {
        INFO(tag);
        const QRect slot = page2View->slot(tag)->geometry();
        CHECK(near(page2, slot, colour) > slot.width() * slot.height() * 3 / 4);
    }
    // Every field reads black: the target's name, a text, the date and a chosen circle's answer text.
    for (QWidget* field : {static_cast<QWidget*>(page1View->textFieldWithTag(81001)),
                           static_cast<QWidget*>(page1View->textViewWithTag(81011)),
                           static_cast<QWidget*>(page1View->labelWithTag(34))}) {
        INFO(field->objectName().toStdString());
        CHECK(darkest(page1, field->geometry()) < 60);
    }
    CHECK(darkest(page2, ui::viewWithTag(page2View->formView(), 32)->geometry()) < 60);
    // The chosen circle is drawn in its own red, not greyed.
    const QRect circle = ui::viewWithTag(page2View->formView(), 312)->geometry();
    int reddish = 0;
    for (int y = circle.top(); y <= circle.bottom(); ++y)
        for (int x = circle.left(); x <= circle.right(); ++x)
            if (QColor(page2.pixel(x, y)).hsvSaturation() > 120) ++reddish;
    CHECK(reddish > 20);
}

TEST_CASE("the letter's file name and print", "[documents][letter][print]") {
    LetterApp s;
    auto preview = s.openPreview();
    REQUIRE(preview);
    foundation::LogCapture log;
    SECTION("no date stored: today names the file, and a second export replaces it") {
        const auto first = preview->printPDF();
        REQUIRE(first);
        CHECK(QString::fromStdString(*first).endsWith("999999_letter_" +
                                                      QDate::currentDate().toString("yyyyMMdd") + ".pdf"));
        CHECK(log.contains("PDF save OK"));
        const auto second = preview->printPDF();
        CHECK(second == first);
        CHECK(QDir(QString::fromStdString(foundation::home::documents()))
                  .entryList({"999999_letter_*.pdf"}, QDir::Files)
                  .size() == 1);
    }
    SECTION("the print operation saves the file and prints the same two pages under the letter's job") {
        QTemporaryDir scratch;
        const QString printed = QDir(scratch.path()).filePath("printed.pdf");
        std::string job;
        ui::PrintInteractionController::setPrinterAvailability([] { return true; });
        ui::PrintInteractionController::setDialogRunner([&](QPrinter& printer, const ui::PrintInfo& info) {
            job = info.jobName;
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(printed);
            return true;
        });
        preview->printLetter();
        ui::PrintInteractionController::setDialogRunner({});
        ui::PrintInteractionController::setPrinterAvailability({});
        CHECK(job == "患者紹介状登録 999999");
        CHECK(log.contains("PDF save OK"));
        const pdfprobe::Facts facts = pdfprobe::facts(printed);
        CHECK(facts.pages == 2);
        CHECK(facts.text.contains("999999-5"));
    }
    SECTION("the export offers the written file to other apps") {
        preview->pdfPrintForCanon();
        REQUIRE(preview->diController());
        const QString written =
            QDir(QString::fromStdString(foundation::home::documents()))
                .filePath("999999_letter_" + QDate::currentDate().toString("yyyyMMdd") + ".pdf");
        CHECK(QUrl(QString::fromStdString(preview->diController()->URL())).toLocalFile() == written);
        CHECK(QFile::exists(written));
    }
}
