// The print previews: the questionnaire's from its start screen to the PDF, the print dialog, and the
// capture mechanism over placeholder pages of the other documents' heights.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QScrollArea>
#include <QTemporaryDir>
#include <catch2/catch.hpp>
#include <cstdlib>

#include "app/assets/PageResources.h"
#include "app/documents/pages/PrintPreview.h"
#include "app/documents/questionnaire/inquiryPageView.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/documents/questionnaire/printInquiryView.h"
#include "app/documents/questionnaire/radarChartView.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/PrintInteraction.h"
#include "platform/ui/Window.h"
#include "tests/app/documents/pages/PdfProbe.h"
#include "tests/app/shell/RegistTestSupport.h"

namespace {

// How far from the page's own pink a pixel is (the circles and the radar outline are drawn in it).
bool isMark(QRgb pixel) {
    return qRed(pixel) > 150 && qGreen(pixel) < 110 && qBlue(pixel) > 60 && qBlue(pixel) < 160;
}

int marksIn(const QImage& image, const QRect& area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.valid(x, y) && isMark(image.pixel(x, y))) ++count;
    return count;
}

struct PrintedQuestionnaire {
    registtest::RegistApp app;

    std::shared_ptr<printInquiryView> open(const char* printButton) {
        auto menu = app.launched.navigation()->viewControllers().front();
        menu->view()->findChild<QPushButton*>("inquiryButton")->click();
        auto top = std::dynamic_pointer_cast<inquiryViewTop>(app.top());
        if (!top) return nullptr;
        registtest::type(top->patientIDBox(), "999999");
        QTest::mouseClick(top->view()->findChild<QPushButton*>("printInquiryButton"), Qt::LeftButton);
        QTest::mouseClick(top->view()->findChild<QPushButton*>(printButton), Qt::LeftButton);
        app.launched.settle(20);
        return std::dynamic_pointer_cast<printInquiryView>(app.top());
    }
    ~PrintedQuestionnaire() {
        StaticVariableHelper::setInquiryLanguage(std::nullopt);
        ui::PrintInteractionController::setDialogRunner({});
        ui::PrintInteractionController::setPrinterAvailability({});
    }
};

struct LanguageCase {
    const char* button;
    const char* date;
};

} // namespace

TEST_CASE("the questionnaire exported as PDF from its print preview", "[documents][print]") {
    const LanguageCase language = GENERATE(LanguageCase{"JapanesePrintButton", "2014年 10月 13日"},
                                           LanguageCase{"EnglishPrintButton", "Oct-13-2014"},
                                           LanguageCase{"ChinesePrintButton", "2014年 10月 13日"});
    INFO(language.button);
    foundation::LogCapture log;
    PrintedQuestionnaire q;
    auto preview = q.open(language.button);
    REQUIRE(preview);
    CHECK_FALSE(q.app.delegate().touchMode());
    CHECK(preview->scrollView()->widget()->height() == 3400);
    CHECK(preview->printButton()->title() == "印刷");
    CHECK(preview->cancelButton()->title() == "キャンセル");

    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        preview->scrollView()->widget()->grab().save(
            QDir(dir).filePath(QString("content-%1.png").arg(language.button)));
    preview->printButton()->trigger();
    const QString path =
        QDir(QString::fromStdString(foundation::home::documents())).filePath("999999_inquiry_20141013.pdf");
    REQUIRE(QFile::exists(path));
    CHECK(log.contains("PDF save OK"));
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        QFile::copy(path, QDir(dir).filePath(QString("inquiry-%1.pdf").arg(language.button)));

    // The open-in menu offers the file to another application.
    REQUIRE(preview->diController());
    REQUIRE(preview->diController()->menu());
    QAbstractButton* open = preview->diController()->openButton();
    REQUIRE(open);
    CHECK(open->text() == "ほかのアプリで開く");
    QTest::mouseClick(open, Qt::LeftButton);
    CHECK_FALSE(preview->diController()->menu()); // the choice puts the menu away
    REQUIRE(q.app.launched.opened.size() == 1);
    CHECK(QString::fromStdString(q.app.launched.opened.front()) == QUrl::fromLocalFile(path).toString());

    const pdfprobe::Facts facts = pdfprobe::facts(path);
    CHECK(facts.pages == 3);
    CHECK(facts.pageSize == "768 x 1190");
    CHECK(facts.text.contains("999999"));
    CHECK(facts.text.contains("睡眠導入剤"));
    // The name's ideographic space is a gap on paper, not a character.
    CHECK(facts.text.contains(QString::fromUtf8("札幌")));
    CHECK(facts.text.contains(QString::fromUtf8("太郎")));
    CHECK(facts.text.contains(QString::fromUtf8(language.date)));
    CHECK_FALSE(pdfprobe::hasRadicals(facts.text));

    // Circles and the radar chart in full colour: page 1 shows the seed's visit reason circled, and
    // page 3 the band from 2300 with the chart where the grid is.
    QTemporaryDir scratch;
    const QImage first = pdfprobe::page(path, 1, scratch.path());
    REQUIRE(first.size() == QSize(768, 1190));
    const QWidget* circle = preview->page(1)->formView()->findChild<QWidget*>("circle111");
    REQUIRE(circle);
    CHECK(marksIn(first, circle->geometry().translated(0, 20)) > 100);
    const QImage third = pdfprobe::page(path, 3, scratch.path());
    const QRect radar = preview->radarChart()->geometry().translated(0, 20 - 2300);
    CHECK(marksIn(third, radar) > 200);
    // Nothing below the band's end: the last 50 points of the capture window were cut off.
    CHECK(marksIn(third, QRect(0, 20 + 1100, 768, 70)) == 0);

    SECTION("a folder in the file's place: the alert says so in Japanese, whatever the language") {
        REQUIRE(QFile::remove(path));
        REQUIRE(QDir().mkpath(path));
        preview->printButton()->trigger();
        auto alert = q.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() ==
              "PDFを保存できませんでした。\n同じ名前のフォルダがあります。\n保存先: " + path.toStdString());
        if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
            q.app.launched.window().grab().save(
                QDir(dir).filePath(QString("not-saved-%1.png").arg(language.button)));
        REQUIRE(alert->tapAction("OK"));
    }
    SECTION("with no application for PDF files, the alert says where the file was saved") {
        q.app.launched.app->setURLHandler({nullptr, [](const std::string&) { return false; }});
        preview->printButton()->trigger();
        REQUIRE(preview->diController()->openButton());
        QTest::mouseClick(preview->diController()->openButton(), Qt::LeftButton);
        auto alert = q.app.alert();
        REQUIRE(alert);
        CHECK(alert->title() == "エラー");
        CHECK(alert->message() ==
              "PDFを開くアプリケーションが見つかりませんでした。\nPDFは次の場所に保存されています。\n" +
                  path.toStdString());
        REQUIRE(alert->tapAction("OK"));
    }
    SECTION("cancel goes back to the start screen") {
        preview->cancelButton()->trigger();
        q.app.launched.settle(10);
        CHECK(std::dynamic_pointer_cast<inquiryViewTop>(q.app.top()));
    }
}

TEST_CASE("the questionnaire's preview shows its pages whole whatever the keyboard did",
          "[documents][print]") {
    PrintedQuestionnaire q;
    // The ID is typed on the start screen, so the keyboard shows and then hides as the preview opens.
    auto preview = q.open("JapanesePrintButton");
    REQUIRE(preview);
    ui::AnimationClock::shared().finishAnimations();
    auto pagesFillTheirContainers = [&] {
        for (int number = 1; number <= 3; ++number) {
            INFO("page " << number);
            QWidget* pageView = preview->page(number)->view();
            CHECK(pageView->geometry() == pageView->parentWidget()->rect());
        }
    };
    pagesFillTheirContainers();
    CHECK(preview->page(1)->view()->height() == 1150);
    CHECK(preview->page(3)->view()->height() == 1100);
    // A keyboard that comes and goes while the preview is up (another input of the window) moves
    // nothing either.
    ui::postKeyboardWillShow();
    ui::AnimationClock::shared().finishAnimations();
    pagesFillTheirContainers();
    ui::postKeyboardWillHide();
    ui::AnimationClock::shared().finishAnimations();
    pagesFillTheirContainers();
}

TEST_CASE("the questionnaire printed through the print dialog", "[documents][print]") {
    PrintedQuestionnaire q;
    auto preview = q.open("JapanesePrintButton");
    REQUIRE(preview);
    QTemporaryDir scratch;
    const QString printed = QDir(scratch.path()).filePath("printed.pdf");
    ui::PrintInfo seen;
    int dialogs = 0;
    ui::PrintInteractionController::setDialogRunner([&](QPrinter& printer, const ui::PrintInfo& info) {
        ++dialogs;
        seen = info;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printed);
        return true;
    });

    SECTION("without a printer there is no dialog, but the file is written") {
        ui::PrintInteractionController::setPrinterAvailability([] { return false; });
        preview->printInquiry();
        CHECK(dialogs == 0);
        CHECK(QFile::exists(QDir(QString::fromStdString(foundation::home::documents()))
                                .filePath("999999_inquiry_20141013.pdf")));
    }
    SECTION("with one, the job carries its name and every page prints, unrotated") {
        ui::PrintInteractionController::setPrinterAvailability([] { return true; });
        preview->printInquiry();
        CHECK(dialogs == 1);
        CHECK(seen.jobName == "問診票 999999");
        CHECK(seen.orientation == 1);
        CHECK(seen.outputType == 0);
        CHECK(seen.duplex == 0);
        const pdfprobe::Facts facts = pdfprobe::facts(printed);
        if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
            QFile::copy(printed, QDir(dir).filePath("printed.pdf"));
        CHECK(facts.pages == 3);
        CHECK(facts.text.contains("睡眠導入剤"));
        CHECK_FALSE(pdfprobe::hasRadicals(facts.text));
        CHECK_FALSE(ui::PrintInteractionController::sharedPrintController()->isPresented());
    }
}

TEST_CASE("the open-in menu shows whole inside the window at every scale", "[documents][print]") {
    // 546 x 728 is the window on a 1366 x 768 laptop screen.
    const double scale = GENERATE(1.0, 546.0 / 768.0, 0.5, 1.25);
    INFO("scale " << scale);
    PrintedQuestionnaire q;
    ui::Window& window = q.app.launched.window();
    window.setScale(scale);
    auto preview = q.open("JapanesePrintButton");
    REQUIRE(preview);
    preview->printButton()->trigger();
    q.app.launched.settle(10);
    QWidget* menu = preview->diController()->menu();
    REQUIRE(menu);
    QAbstractButton* open = preview->diController()->openButton();
    REQUIRE(open);
    // The whole menu, in the window's own points, lies inside the window; its choice is not cut.
    const QRect shown(menu->mapTo(&window, QPoint(0, 0)), menu->size());
    CHECK(window.rect().contains(shown));
    CHECK(open->width() >= open->sizeHint().width());
    // It stays by the "印刷" item, at the top right.
    CHECK(shown.top() < 120);
    CHECK(shown.right() > window.width() / 2);
    if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR"))
        window.screenWidget()->grab().save(QDir(dir).filePath(QString("open-in-%1.png").arg(scale)));
    // A tap beside it puts it away, with nothing opened.
    q.app.tapOutsidePopover();
    CHECK_FALSE(preview->diController()->menu());
    CHECK(q.app.launched.opened.empty());
}

namespace {
// The installed bundle with one image damaged (an empty file): the rest are links to the real ones.
struct DamagedBundle {
    QTemporaryDir dir;
    explicit DamagedBundle(const QString& damaged) {
        const QString real = QString::fromStdString(foundation::Bundle::main()->path());
        for (const QFileInfo& entry :
             QDir(real).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
            if (entry.fileName() != damaged)
                QFile::link(entry.absoluteFilePath(), dir.filePath(entry.fileName()));
        QFile empty(dir.filePath(damaged));
        REQUIRE(empty.open(QIODevice::WriteOnly));
        foundation::Bundle::setMainPath(dir.path().toStdString());
    }
    ~DamagedBundle() { foundation::Bundle::setMainPath(""); }
};
} // namespace

TEST_CASE("a page whose artwork cannot be loaded is logged, and its export says so", "[documents][print]") {
    PrintedQuestionnaire q;
    DamagedBundle bundle("circle.png");
    foundation::LogCapture log;
    auto preview = q.open("JapanesePrintButton");
    REQUIRE(preview);
    CHECK(log.contains("Bundle image not loaded: circle.png"));
    preview->printButton()->trigger();
    CHECK(log.contains("PDF save OK"));
    CHECK(log.contains("PDF drawn without images: circle.png"));
    // The file is written, but no one is left to think it whole.
    auto alert = q.app.alert();
    REQUIRE(alert);
    CHECK(alert->title() == "エラー");
    CHECK(alert->message() ==
          "PDFは保存しましたが、次の画像を読み込めなかったため、その部分が空白になっています。\ncircle.png");
    CHECK_FALSE(preview->diController());
    // Once it is answered the file is offered as usual.
    REQUIRE(alert->tapAction("OK"));
    REQUIRE(preview->diController());
    CHECK(preview->diController()->menu());
}

TEST_CASE("a preview with all its artwork says nothing of images it did not use", "[documents][print]") {
    {
        // Another screen's missing image, before the preview was opened.
        DamagedBundle bundle("icon_11.png");
        CHECK(assets::bundleImage("icon_11.png").isNull());
    }
    PrintedQuestionnaire q;
    auto preview = q.open("JapanesePrintButton");
    REQUIRE(preview);
    preview->printButton()->trigger();
    CHECK_FALSE(q.app.alert());
    REQUIRE(preview->diController());
    CHECK(preview->diController()->menu());
}
