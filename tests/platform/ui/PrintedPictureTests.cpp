// Pictures on paper: a label shows its pixmap on screen and draws its printed picture, at that
// picture's own resolution, where it is painted into a PDF or onto a printer; the file and the page
// are read back with poppler's tools.
#include <catch2/catch.hpp>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "platform/ui/PDFContext.h"
#include "platform/ui/PrintedPicture.h"
#include "tests/support/SamePicture.h"

namespace {

QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    REQUIRE(process.waitForFinished(30000));
    return QString::fromUtf8(process.readAllStandardOutput());
}

// One picture of a PDF, as `pdfimages -list` reports it.
struct PdfImage {
    int width = 0, height = 0;
    QString encoding; // "jpeg", or "image" for a lossless one
};

std::vector<PdfImage> imagesOf(const QString& file) {
    std::vector<PdfImage> out;
    for (const QString& line : run("pdfimages", {"-list", file}).split('\n')) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() < 10 || f[2] != "image") continue;
        out.push_back({f[3].toInt(), f[4].toInt(), f[8]});
    }
    return out;
}

// The page at one pixel per point.
QImage pageOf(const QString& file, const QString& scratch) {
    const QString prefix = QDir(scratch).filePath("page");
    run("pdftoppm", {"-png", "-r", "72", "-singlefile", file, prefix});
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

// Quadrants red, green, blue and yellow, with fine stripes that only a sharp print keeps.
QImage quadrants(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2, bottom = y >= h / 2;
            const QColor c = !right && !bottom  ? QColor(220, 30, 30)
                             : right && !bottom ? QColor(30, 200, 30)
                             : !right           ? QColor(30, 30, 220)
                                                : QColor(230, 220, 30);
            image.setPixelColor(x, y, x % 4 < 2 ? c : c.darker(115));
        }
    return image;
}

QColor meanColour(const QImage& image, const QRect& area) {
    double r = 0, g = 0, b = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x, ++n) {
            const QColor c = image.pixelColor(x, y);
            r += c.red(), g += c.green(), b += c.blue();
        }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

bool near(const QColor& a, const QColor& b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// The label drawn into a one-page PDF at (20, 20), as a document capture draws a page's views.
QString printed(QLabel& label, const QString& scratch) {
    QByteArray data;
    auto context = ui::PDFContext::beginToData(&data);
    context->beginPage(QRectF(0, 0, label.width() + 40, label.height() + 40));
    context->translate(20, 20);
    context->render(&label);
    REQUIRE(context->end());
    const QString file = QDir(scratch).filePath("label.pdf");
    QFile out(file);
    REQUIRE(out.open(QIODevice::WriteOnly));
    out.write(data);
    return file;
}

// A slot of 336 x 252 points with a picture of 1600 x 1200 pixels.
struct Slot {
    QLabel label;
    QImage picture = quadrants(1600, 1200);
    QImage print = ui::reducedForPrint(picture, QSizeF(336, 252));
    QPixmap shown =
        QPixmap::fromImage(print.scaled(336, 252, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));

    Slot() {
        label.resize(336, 252);
        label.setScaledContents(true);
        label.setStyleSheet("QLabel { background: white; border: 3px solid red; }");
    }
};

} // namespace

TEST_CASE("pictures are kept for paper at up to 300 ppi on A4", "[ui][print]") {
    // A page 768 points wide across A4's 8.27 inches: 2480 pixels at 300 ppi.
    CHECK(ui::printPixelSize(QSizeF(768, 100)).width() == 2481);
    CHECK(ui::printPixelSize(QSizeF(336, 252)) == QSize(1086, 814));
    CHECK(ui::printPixelSize(QSizeF()).isEmpty());

    const QImage large(4000, 3000, QImage::Format_RGB32);
    const QImage reduced = ui::reducedForPrint(large, QSizeF(336, 252));
    CHECK(reduced.size() == QSize(1086, 815)); // both sides at least what printing needs, shape kept
    // A picture of a shape other than the place still has enough pixels along both sides.
    CHECK(ui::reducedForPrint(QImage(4000, 1000, QImage::Format_RGB32), QSizeF(336, 252)).height() == 814);
    // Smaller pictures are printed as they are.
    const QImage small(800, 600, QImage::Format_RGB32);
    CHECK(ui::reducedForPrint(small, QSizeF(336, 252)).cacheKey() == small.cacheKey());
}

TEST_CASE("a label shows its pixmap on screen and prints its picture in the pixmap's place", "[ui][print]") {
    QTemporaryDir scratch;
    Slot slot;
    QLabel plain;
    plain.resize(slot.label.size());
    plain.setScaledContents(true);
    plain.setStyleSheet(slot.label.styleSheet());
    plain.setPixmap(slot.shown);
    const auto kind = GENERATE(ui::PrintedPictureKind::Photograph, ui::PrintedPictureKind::Artwork);
    ui::showPrintablePicture(&slot.label, slot.shown, slot.print, kind);

    // On screen nothing changes.
    const QImage screen = slot.label.grab().toImage().convertToFormat(QImage::Format_RGB32);
    CHECK(picturecheck::samePicture(plain.grab().toImage(), screen));

    // On paper the picture is there whole, at its own resolution: 1086 pixels over 336 points (233 ppi,
    // 300 on A4), as JPEG for a photograph.
    const QString file = printed(slot.label, scratch.path());
    const auto images = imagesOf(file);
    REQUIRE(images.size() == 1);
    CHECK(images[0].width == slot.print.width());
    CHECK(images[0].height == slot.print.height());
    CHECK(images[0].encoding == (kind == ui::PrintedPictureKind::Photograph ? "jpeg" : "image"));

    // ... and the page looks as the screen does: the border where it is, each quadrant in its place.
    const QImage page = pageOf(file, scratch.path());
    for (const QPoint p : {QPoint(1, 100), QPoint(334, 100), QPoint(150, 1), QPoint(150, 250)}) {
        INFO(p.x() << "," << p.y());
        CHECK(near(page.pixelColor(p + QPoint(20, 20)), screen.pixelColor(p)));
    }
    for (const QRect quadrant : {QRect(10, 10, 150, 110), QRect(176, 10, 150, 110), QRect(10, 132, 150, 110),
                                 QRect(176, 132, 150, 110)}) {
        INFO(quadrant.x() << "," << quadrant.y());
        CHECK(near(meanColour(page, quadrant.translated(20, 20)), meanColour(screen, quadrant)));
    }
}

TEST_CASE("a printed part lands where the pixmap shows it", "[ui][print]") {
    QTemporaryDir scratch;
    // A logo of 600 x 240 centred on a canvas of the label's shape at three times its size.
    QLabel label;
    label.resize(200, 60);
    label.setScaledContents(true);
    QImage logo(600, 240, QImage::Format_RGB32);
    logo.fill(QColor(20, 90, 30));
    QPixmap canvas(600, 180);
    canvas.fill(Qt::white);
    const QRect place(75, 0, 450, 180);
    QPainter(&canvas).drawImage(place, logo);
    ui::showPrintablePicture(&label, canvas, logo, ui::PrintedPictureKind::Artwork, QRectF(place));

    const QString file = printed(label, scratch.path());
    const auto images = imagesOf(file);
    REQUIRE(images.size() == 1);
    CHECK(images[0].width == 600);
    const QImage page = pageOf(file, scratch.path());
    // The logo spans x 25..175 of the label, the whole height.
    CHECK(near(page.pixelColor(20 + 30, 20 + 30), QColor(20, 90, 30)));
    CHECK(near(page.pixelColor(20 + 170, 20 + 30), QColor(20, 90, 30)));
    CHECK(near(page.pixelColor(20 + 20, 20 + 30), Qt::white));
    CHECK(near(page.pixelColor(20 + 180, 20 + 30), Qt::white));
}

TEST_CASE("a label given another pixmap prints what it shows", "[ui][print]") {
    QTemporaryDir scratch;
    Slot slot;
    ui::showPrintablePicture(&slot.label, slot.shown, slot.print, ui::PrintedPictureKind::Photograph);
    QPixmap other(336, 252);
    other.fill(Qt::blue);
    slot.label.setPixmap(other);
    const QString file = printed(slot.label, scratch.path());
    for (const PdfImage& image : imagesOf(file))
        CHECK(image.width <= 336);
    CHECK(near(pageOf(file, scratch.path()).pixelColor(20 + 168, 20 + 126), Qt::blue));

    slot.label.clear();
    CHECK(imagesOf(printed(slot.label, scratch.path())).empty());
}

TEST_CASE("a printer gets the printed picture too", "[ui][print]") {
    QTemporaryDir scratch;
    Slot slot;
    ui::showPrintablePicture(&slot.label, slot.shown, slot.print, ui::PrintedPictureKind::Photograph);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const QString file = QDir(scratch.path()).filePath("printed.pdf");
    printer.setOutputFileName(file);
    auto context = ui::PDFContext::beginToPrinter(&printer);
    context->beginPage(QRectF(0, 0, 768, 1024));
    context->render(&slot.label);
    REQUIRE(context->end());
    // The recording a printer's pages go through keeps the picture whole (as every picture it prints,
    // lossless: a print job is not kept).
    const auto images = imagesOf(file);
    REQUIRE(images.size() == 1);
    CHECK(images[0].width == slot.print.width());
    CHECK(images[0].height == slot.print.height());
}
