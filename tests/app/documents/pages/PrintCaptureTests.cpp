// The capture mechanism of the print previews over placeholder pages of each document's height: page
// counts and sizes, the content bands and their offsets, the file names with their dates and print
// numbers, cancel, failed writes and the diagnostic lines.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <catch2/catch.hpp>
#include <cstdlib>
#include <filesystem>

#include "app/documents/pages/PdfFile.h"
#include "app/documents/pages/PrintPreview.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Log.h"
#include "platform/sqlite/SQDatabase.h"
#include "platform/ui/PrintInteraction.h"
#include "tests/app/documents/pages/PdfProbe.h"
#include "tests/app/shell/RegistTestSupport.h"

using documents::PreviewDocument;

namespace {

// Content whose every 100-point stripe has its own grey, so a page tells which band it shows.
class StripedContent : public QWidget {
  public:
    static QColor stripe(int y) { return QColor::fromHsv((y / 100) * 23 % 360, 200, 200); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        for (int y = 0; y < height(); y += 100)
            p.fillRect(0, y, width(), 100, stripe(y));
    }
};

class PlaceholderPreview : public PrintPreview {
  public:
    explicit PlaceholderPreview(PreviewDocument document) : PrintPreview(document) {}
    QScrollArea* scrollView() const override { return scroll_; }

  protected:
    void loadView() override {
        auto root = std::make_unique<QWidget>();
        root->resize(768, 1024);
        scroll_ = new QScrollArea(root.get());
        scroll_->setGeometry(0, 44, 768, 980);
        scroll_->setWidget(new StripedContent);
        setView(std::move(root));
    }

  private:
    QScrollArea* scroll_ = nullptr;
};

int pdfPages(const QString& path) {
    return pdfprobe::facts(path).pages;
}

QString pdfPageSize(const QString& path) {
    return pdfprobe::facts(path).pageSize;
}

bool near(QRgb a, const QColor& b) {
    return std::abs(qRed(a) - b.red()) < 12 && std::abs(qGreen(a) - b.green()) < 12 &&
           std::abs(qBlue(a) - b.blue()) < 12;
}

// The page shows content from `from` (to `to`) starting `offset` points down, white above and below.
void checkBand(const QImage& page, int offset, int from, int to) {
    INFO("band " << from << "-" << to << " at " << offset);
    if (offset > 2) CHECK(near(page.pixel(384, offset / 2), Qt::white));
    for (int y = from + 50; y < to; y += 100)
        CHECK(near(page.pixel(384, offset + y - from), StripedContent::stripe(y)));
    if (offset + (to - from) + 5 < page.height())
        CHECK(near(page.pixel(384, offset + (to - from) + 5), Qt::white));
}

struct PreviewApp {
    registtest::RegistApp app;
    std::shared_ptr<PlaceholderPreview> preview;
    std::shared_ptr<ui::ViewController> start = std::make_shared<ui::ViewController>();

    explicit PreviewApp(PreviewDocument document) {
        app.delegate().patientID() = "999999";
        REQUIRE(app.delegate().setPatientInfoData());
        preview = std::make_shared<PlaceholderPreview>(document);
        app.launched.navigation()->pushViewController(start, false);
        app.launched.navigation()->pushViewController(preview, false);
        app.launched.settle(10);
    }
    ~PreviewApp() {
        ui::PrintInteractionController::setDialogRunner({});
        ui::PrintInteractionController::setPrinterAvailability({});
    }
    QString documents() const { return QString::fromStdString(foundation::home::documents()); }
    // Prints through a dialog that a user accepts, into a PDF file; the file's path.
    QString printToFile(const QString& folder, std::function<void()> whileOpen = {}) {
        const QString path = QDir(folder).filePath("printed.pdf");
        ui::PrintInteractionController::setPrinterAvailability([] { return true; });
        ui::PrintInteractionController::setDialogRunner(
            [path, whileOpen](QPrinter& printer, const ui::PrintInfo&) {
                if (whileOpen) whileOpen();
                printer.setOutputFormat(QPrinter::PdfFormat);
                printer.setOutputFileName(path);
                printer.setPageOrientation(QPageLayout::Portrait);
                return true;
            });
        preview->print();
        return path;
    }
};

} // namespace

TEST_CASE("the capture's pages and bands for each document", "[documents][print][capture]") {
    QTemporaryDir scratch;
    SECTION("three-page certificate: three pages of 768 x 1064, bands of 1024 at 20") {
        PreviewApp a(PreviewDocument::Certificate);
        const auto path = a.preview->printPDF();
        REQUIRE(path);
        const QString file = QString::fromStdString(*path);
        if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
            QFile::copy(file, QDir(dir).filePath("certificate-bands.pdf"));
        CHECK(pdfPages(file) == 3);
        CHECK(pdfPageSize(file) == "768 x 1064");
        for (int i = 0; i < 3; ++i)
            checkBand(pdfprobe::page(file, i + 1, scratch.path()), 20, i * 1024, (i + 1) * 1024);
    }
    SECTION("letter: two pages of 768 x 1024 without a margin") {
        PreviewApp a(PreviewDocument::Letter);
        const QString file = QString::fromStdString(*a.preview->printPDF());
        CHECK(pdfPages(file) == 2);
        CHECK(pdfPageSize(file) == "768 x 1024");
        checkBand(pdfprobe::page(file, 2, scratch.path()), 0, 1024, 2048);
    }
    SECTION("one-page certificate: the export has one page, the print two (the second the last 40 points)") {
        PreviewApp a(PreviewDocument::OnePageCertificate);
        const QString file = QString::fromStdString(*a.preview->printPDF());
        CHECK(pdfPages(file) == 1);
        checkBand(pdfprobe::page(file, 1, scratch.path()), 20, 0, 1024);
        const QString printed = a.printToFile(scratch.path());
        CHECK(pdfPages(printed) == 2);
    }
    SECTION("the screen is as it was after a capture") {
        PreviewApp a(PreviewDocument::Certificate);
        QScrollArea* scroll = a.preview->scrollView();
        const QRect frame = scroll->geometry();
        const auto policy = scroll->verticalScrollBarPolicy();
        a.preview->capturePages(false);
        CHECK(scroll->geometry() == frame);
        CHECK(scroll->verticalScrollBarPolicy() == policy);
        CHECK(scroll->verticalScrollBar()->value() == 0);
        CHECK(scroll->widget()->height() == 3072);
    }
}

TEST_CASE("print numbers, dates and names of the exported files", "[documents][print][capture]") {
    SECTION("the certificate's number: 00 first, then 01; stored in the record and the database") {
        PreviewApp a(PreviewDocument::Certificate);
        a.app.delegate().certifiDataList().erase("printno");
        a.app.delegate().certifiDataList()["34"] = "2015年 10月 16日";
        foundation::LogCapture log;
        const auto first = a.preview->printPDF();
        REQUIRE(first);
        CHECK(QString::fromStdString(*first) ==
              QDir(a.documents()).filePath("999999_certificate_20151016_00.pdf"));
        CHECK(log.contains("0"));
        CHECK(a.app.delegate().certifiDataList().at("printno") == "1");
        CHECK(a.app.probe().value("SELECT printno FROM certifMst WHERE pid = '999999'") == "1");
        a.preview->printPDF();
        CHECK(QFile::exists(QDir(a.documents()).filePath("999999_certificate_20151016_01.pdf")));
        CHECK(QFile::exists(QDir(a.documents()).filePath("999999_certificate_20151016_00.pdf")));
    }
    SECTION("after 99 comes 00; a number out of range is brought back") {
        PreviewApp a(PreviewDocument::OnePageCertificate);
        auto& record = a.app.delegate().certifiDataList();
        record["34"] = "(null)";
        const std::string today = QDate::currentDate().toString("yyyyMMdd").toStdString();
        record["printno"] = "99";
        CHECK(*a.preview->printPDF() ==
              QDir(a.documents())
                  .filePath(QString::fromStdString("999999_certificate_" + today + "_99.pdf"))
                  .toStdString());
        CHECK(record.at("printno") == "0");
        CHECK(a.app.probe().value("SELECT printno FROM certifMst WHERE pid = '999999'") == "0");
        record["printno"] = "150";
        CHECK(QString::fromStdString(*a.preview->printPDF()).endsWith("_50.pdf"));
        CHECK(record.at("printno") == "51");
    }
    SECTION("a number that was not stored never replaces the file it named") {
        const char* fault = GENERATE("refused update", "database that does not open");
        INFO(fault);
        PreviewApp a(PreviewDocument::Certificate);
        a.app.delegate().certifiDataList()["34"] = "2015年 10月 16日";
        const std::string stored = a.app.probe().value("SELECT printno FROM certifMst WHERE pid = '999999'");
        if (std::string(fault) == "refused update") {
            a.app.probe().exec(
                "CREATE TRIGGER no_update BEFORE UPDATE ON certifMst BEGIN SELECT RAISE(ABORT, 'no'); END");
        } else {
            a.app.delegate().state().db =
                SQDatabase::databaseWithPath(foundation::home::documents() + "/missing/zaruvedezManage.db");
        }
        foundation::LogCapture log;
        const auto first = a.preview->printPDF();
        REQUIRE(first);
        const int used = documents::printNumber({{"printno", stored}});
        CHECK(log.contains("advancePrintNumber: the print number " + std::to_string((used + 1) % 100) +
                           " of 999999 was not stored"));
        QFile firstFile(QString::fromStdString(*first));
        REQUIRE(firstFile.open(QIODevice::ReadOnly));
        const QByteArray firstBytes = firstFile.readAll();
        firstFile.close();
        // The patient loaded again reads the number that was never advanced; the certificate now
        // prints other pages, so a replaced file would differ.
        a.app.delegate().certifiDataList()["printno"] = stored;
        a.preview->scrollView()->widget()->resize(768, 2048);
        const auto second = a.preview->printPDF();
        REQUIRE(second);
        CHECK(*second != *first);
        CHECK(QDir(a.documents()).entryList({"999999_certificate_20151016_*.pdf"}).size() == 2);
        REQUIRE(firstFile.open(QIODevice::ReadOnly));
        CHECK(firstFile.readAll() == firstBytes);
        // The number after the one used is what the record holds now.
        CHECK(a.app.delegate().certifiDataList().at("printno") == std::to_string((used + 2) % 100));
    }
    SECTION("a taken number gives way to the next free one, after 99 comes 00") {
        PreviewApp a(PreviewDocument::OnePageCertificate);
        auto& record = a.app.delegate().certifiDataList();
        record["34"] = "2015年 10月 16日";
        const QDir documents(a.documents());
        auto name = [](int n) {
            return QString("999999_certificate_20151016_%1.pdf").arg(n, 2, 10, QChar('0'));
        };
        auto plant = [&](int n) {
            QFile earlier(documents.filePath(name(n)));
            REQUIRE(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier " + QByteArray::number(n));
        };
        auto unchanged = [&](int n) {
            QFile earlier(documents.filePath(name(n)));
            return earlier.open(QIODevice::ReadOnly) &&
                   earlier.readAll() == "earlier " + QByteArray::number(n);
        };
        for (int n : {98, 99, 0})
            plant(n);
        record["printno"] = "98";
        CHECK(*a.preview->printPDF() == documents.filePath(name(1)).toStdString());
        CHECK(record.at("printno") == "2");
        CHECK(a.app.probe().value("SELECT printno FROM certifMst WHERE pid = '999999'") == "2");
        for (int n : {98, 99, 0})
            CHECK(unchanged(n));

        SECTION("all hundred taken: the stored number's file is replaced") {
            for (int n = 0; n < 100; ++n)
                if (n != 1) plant(n);
            record["printno"] = "42";
            CHECK(*a.preview->printPDF() == documents.filePath(name(42)).toStdString());
            CHECK_FALSE(unchanged(42));
            CHECK(record.at("printno") == "43");
            CHECK(documents.entryList({"999999_certificate_20151016_*.pdf"}).size() == 100);
        }
    }
    SECTION("the letter: today without a date, one file however often") {
        PreviewApp a(PreviewDocument::Letter);
        a.app.delegate().letterDataList().erase("34");
        const std::string today = QDate::currentDate().toString("yyyyMMdd").toStdString();
        const auto path = a.preview->printPDF();
        CHECK(*path == QDir(a.documents())
                           .filePath(QString::fromStdString("999999_letter_" + today + ".pdf"))
                           .toStdString());
        CHECK(*a.preview->printPDF() == *path);
        CHECK(QDir(a.documents()).entryList({"*_letter_*.pdf"}).size() == 1);
    }
    SECTION("the date parts and the patient ID in a name") {
        const QDate today(2026, 12, 7);
        CHECK(documents::inquiryDatePart({{"inputdate", "2014-10-13"}}, today) == "20141013");
        CHECK(documents::inquiryDatePart({}, today) == "20261207");
        CHECK(documents::inquiryDatePart({{"inputdate", "(null)"}}, today) == "20261207");
        CHECK(documents::recordDatePart({{"34", "2014年 10月 27日"}}, today) == "20141027");
        CHECK(documents::recordDatePart({{"34", "27/10/2014"}}, today) == "20261207");
        CHECK(documents::fileNamePart("../../etc/x") == ".._.._etc_x");
        CHECK(documents::printNumber({{"printno", "-1"}}) == 99);
        CHECK(documents::printNumber({{"printno", "x"}}) == 0);
        CHECK(documents::pageCount(3400, 1150) == 3);
        CHECK(documents::pageCount(3072, 1024) == 3);
        CHECK(documents::pageCount(0, 1024) == 0);
    }
}

TEST_CASE("cancel, failed writes and the certificates' diagnostic lines", "[documents][print][capture]") {
    QTemporaryDir scratch;
    SECTION("a certificate preview ignores cancel while its print dialog is open") {
        PreviewApp a(PreviewDocument::Certificate);
        bool stayed = false;
        a.printToFile(scratch.path(), [&] {
            a.preview->tapCancelButton();
            stayed = a.app.top() == a.preview && a.preview->printController() != nullptr;
        });
        CHECK(stayed);
        CHECK(a.preview->printController() == nullptr);
        a.preview->tapCancelButton();
        a.app.launched.settle(10);
        CHECK(a.app.top() == a.start);
    }
    SECTION("an export that cannot be written offers nothing and says so") {
        const PreviewDocument document = GENERATE(PreviewDocument::Certificate, PreviewDocument::Letter);
        PreviewApp a(document);
        // Documents is taken by a file, so nothing can be written there.
        const std::string folder = foundation::home::documents();
        std::filesystem::rename(folder, folder + ".moved");
        {
            QFile blocker(QString::fromStdString(folder));
            REQUIRE(blocker.open(QIODevice::WriteOnly));
        }
        foundation::LogCapture log;
        a.preview->pdfPrintForCanon();
        CHECK(log.contains("PDF save NG"));
        CHECK_FALSE(a.preview->diController());
        auto alert = a.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message().rfind("PDFを保存できませんでした。\n保存先のフォルダがありません。", 0) == 0);
        REQUIRE(alert->tapAction("OK"));
        const auto path = a.preview->printPDF();
        if (document == PreviewDocument::Certificate)
            CHECK_FALSE(path);
        else
            CHECK(*path == "");
        std::filesystem::remove(folder);
        std::filesystem::rename(folder + ".moved", folder);
    }
    SECTION("a failed export says on screen that the PDF was not saved, and why") {
        struct Case {
            const char* fault;
            const char* reason;
        };
        const Case c = GENERATE(Case{"folder", "同じ名前のフォルダがあります。"},
                                Case{"long name", "ファイル名が長すぎます。"},
                                Case{"full disk", "ディスクの空き容量が足りません。"});
        INFO(c.fault);
        PreviewApp a(PreviewDocument::Letter);
        const QString today = QDate::currentDate().toString("yyyyMMdd");
        std::string expected = "999999_letter_" + today.toStdString() + ".pdf";
        if (std::string(c.fault) == "folder") {
            // An earlier file of that name would pass for the new one; here a folder stands in its way.
            REQUIRE(QDir(a.documents()).mkpath(QString::fromStdString(expected)));
        } else if (std::string(c.fault) == "long name") {
            a.app.delegate().patientID() = std::string(300, '7');
            expected = std::string(300, '7') + "_letter_" + today.toStdString() + ".pdf";
        } else {
            documents::setPdfFileWriter([](const std::string&, const QByteArray&) { return ENOSPC; });
        }
        foundation::LogCapture log;
        a.preview->pdfPrintForCanon();
        documents::setPdfFileWriter({});
        CHECK(log.contains("PDF save NG"));
        CHECK_FALSE(a.preview->diController());
        auto alert = a.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() ==
              "PDFを保存できませんでした。\n" + std::string(c.reason) + "\n保存先: " +
                  QDir(a.documents()).filePath(QString::fromStdString(expected)).toStdString());
        REQUIRE(alert->actions().size() == 1);
        REQUIRE(alert->tapAction("OK"));
        CHECK_FALSE(a.app.alert());
    }
    SECTION("a print whose file cannot be written still prints, then says the file was not saved") {
        PreviewApp a(PreviewDocument::Certificate);
        documents::setPdfFileWriter([](const std::string&, const QByteArray&) { return ENOSPC; });
        bool alertWhileOpen = true;
        const QString printed = a.printToFile(scratch.path(), [&] { alertWhileOpen = bool(a.app.alert()); });
        documents::setPdfFileWriter({});
        CHECK(QFile::exists(printed));
        CHECK_FALSE(alertWhileOpen);
        REQUIRE(a.app.alert());
        CHECK(a.app.alert()->message().find("ディスクの空き容量が足りません。") != std::string::npos);
    }
    SECTION("the one-page certificate's lines") {
        foundation::LogCapture log;
        PreviewApp a(PreviewDocument::OnePageCertificate);
        a.preview->pdfPrintForCanon();
        a.printToFile(scratch.path());
        for (const char* line :
             {"printCertificateView, viewDidLoad", "printCertificateView, pdfPrintForCanon",
              "printCertificateView, printPDF", "printCertificateView, prepareForCapture",
              "printCertificateView, savePDFFile",
              "printOnePageCertificateView, printPDF, height: 1064.000000, maxHeight: 1024.000000, pages: 1",
              "printCertificateView, printCertificate",
              "printOnePageCertificateView, height: 1064.000000, maxHeight: 1024.000000, pages: 2"})
            CHECK(log.contains(line));
    }
    SECTION("the three-page certificate's lines") {
        foundation::LogCapture log;
        PreviewApp a(PreviewDocument::Certificate);
        a.preview->printPDF();
        a.printToFile(scratch.path());
        CHECK(log.contains(
            "printCertificateView, printPDF, height: 3072.000000, maxHeight: 1024.000000, pages: 3"));
        CHECK(log.contains("printCertificateView, height: 3072.000000, maxHeight: 1024.000000, pages: 3"));
    }
}
