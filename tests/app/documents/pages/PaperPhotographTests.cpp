// Photographs and the clinic's logo on paper: with 12-megapixel photographs in every slot, each
// document's PDF holds them at a resolution paper can use (at least 200 ppi on the page, JPEG), stays
// under 3 MB, and its pages show what the preview shows, each photograph cut and placed as on screen.
#include <catch2/catch.hpp>

#include <QBuffer>
#include <QFileInfo>
#include <cstdint>

#include "platform/foundation/AppHome.h"
#include "platform/ui/Tag.h"
#include "tests/app/documents/pages/PaperSupport.h"

using paper::PrintedDocument;

namespace {

// A photograph-like JPEG of 4000 x 3000: light rising left to right in red and top to bottom in green,
// a tint of its own in blue, so each part of it has its own colour; over it texture at two scales
// (patches of 24 and 6 pixels, as gums, teeth and their edges give) and grain, so the encoder has as
// much work on the reduced picture as a real photograph gives it.
QByteArray photographJpeg(int tint) {
    constexpr int w = 4000, h = 3000;
    QImage image(w, h, QImage::Format_RGB32);
    uint32_t noise = 2463534242u + uint32_t(tint);
    auto next = [&noise] {
        noise ^= noise << 13, noise ^= noise >> 17, noise ^= noise << 5;
        return noise;
    };
    // One offset per patch, drawn row of patches by row of patches.
    std::vector<int> coarse(w / 24 + 1), fine(w / 6 + 1);
    for (int y = 0; y < h; ++y) {
        if (y % 24 == 0)
            for (int& v : coarse)
                v = int(next() % 41) - 20;
        if (y % 6 == 0)
            for (int& v : fine)
                v = int(next() % 21) - 10;
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int texture = coarse[size_t(x / 24)] + fine[size_t(x / 6)] + int(next() % 13) - 6;
            line[x] =
                qRgb(std::clamp(40 + 180 * x / w + texture, 0, 255),
                     std::clamp(40 + 170 * y / h + texture, 0, 255), std::clamp(tint + texture, 0, 255));
        }
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    REQUIRE(image.save(&buffer, "JPEG", 92));
    return jpeg;
}

// The photographs of the test: three of them, stored again for every slot (each slot its own asset).
const std::vector<QByteArray>& photographs() {
    static const std::vector<QByteArray> files = {photographJpeg(30), photographJpeg(130),
                                                  photographJpeg(230)};
    return files;
}

// As many new assets of the photographs as asked, in the album of this title.
std::vector<std::string> storePhotographs(const std::string& album, size_t count) {
    std::vector<std::string> ids;
    REQUIRE_FALSE(photos::PhotoLibrary::shared()->performChangesAndWait([&](photos::ChangeRequest& change) {
        for (size_t i = 0; i < count; ++i) {
            const QByteArray& file = photographs()[i % photographs().size()];
            ids.push_back(change.createImageAsset(foundation::Data(file.begin(), file.end())));
        }
        change.addAssetsToAlbumTitled(album, ids);
    }));
    return ids;
}

// A logo of 1500 x 600 pixels, far more than its view shows on screen, framed so its shape is seen.
void installLargeLogo() {
    QImage logo(1500, 600, QImage::Format_RGB32);
    logo.fill(paper::kLogoEdge);
    QPainter(&logo).fillRect(logo.rect().adjusted(120, 120, -120, -120), paper::kLogoField);
    REQUIRE(logo.save(QDir(QString::fromStdString(foundation::home::documents())).filePath("logo.png")));
    lettertest::writeDocument("clinicInfo.json", paper::kLongClinicFile);
}

// One picture of the PDF, as `pdfimages -list` reports it.
struct PdfImage {
    int page = 0;
    int width = 0, height = 0;
    QString encoding; // "jpeg", or "image" for a lossless one
    int xPpi = 0, yPpi = 0;
};

std::vector<PdfImage> imagesOf(const QString& file) {
    std::vector<PdfImage> out;
    for (const QString& line : pdfprobe::run("pdfimages", {"-list", file}).split('\n')) {
        const QStringList f = line.simplified().split(' ');
        if (f.size() < 14 || f[2] != "image") continue;
        out.push_back({f[0].toInt(), f[3].toInt(), f[4].toInt(), f[8], f[12].toInt(), f[13].toInt()});
    }
    return out;
}

QColor meanColour(const QImage& image, const QRect& area) {
    double r = 0, g = 0, b = 0;
    int n = 0;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x, ++n) {
            const QColor c = image.pixelColor(x, y);
            r += c.red(), g += c.green(), b += c.blue();
        }
    return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

// The slots' photographs on paper: each quarter of each slot has the colour it has on screen (a
// photograph cut, turned or placed otherwise than on screen changes them), and every photograph is
// in the PDF at 200 ppi or more, as JPEG; the logo too, whole; and the file is under 3 MB.
void checkPhotographs(const PrintedDocument& printed, const std::vector<QLabel*>& photoSlots) {
    QWidget* content = printed.preview->scrollView()->widget();
    for (QLabel* slot : photoSlots) {
        INFO("slot " << ui::tag(slot));
        REQUIRE_FALSE(slot->pixmap().isNull());
        const QRect inContent(slot->mapTo(content, QPoint(0, 0)), slot->size());
        const auto placed = printed.onPaper(inContent);
        REQUIRE(placed.page >= 0);
        const int w = inContent.width() / 2, h = inContent.height() / 2;
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)}) {
            const QRect quarter = QRect(corner, QSize(w, h)).adjusted(3, 3, -3, -3);
            const QColor screen = meanColour(printed.screen, quarter.translated(inContent.topLeft()));
            const QColor paper =
                meanColour(printed.pages[size_t(placed.page)], quarter.translated(placed.rect.topLeft()));
            INFO("quarter at " << corner.x() << "," << corner.y() << ": screen "
                               << screen.name().toStdString() << ", paper " << paper.name().toStdString());
            CHECK(std::abs(screen.red() - paper.red()) <= 12);
            CHECK(std::abs(screen.green() - paper.green()) <= 12);
            CHECK(std::abs(screen.blue() - paper.blue()) <= 12);
        }
    }
    const auto images = imagesOf(printed.file);
    const auto jpegs =
        std::count_if(images.begin(), images.end(), [](const PdfImage& i) { return i.encoding == "jpeg"; });
    CHECK(size_t(jpegs) == photoSlots.size());
    bool logo = false;
    for (const PdfImage& image : images) {
        INFO("page " << image.page << ", " << image.width << " x " << image.height << " "
                     << image.encoding.toStdString() << " at " << image.xPpi << " ppi");
        if (image.encoding == "jpeg") {
            CHECK(image.xPpi >= 200);
            CHECK(image.yPpi >= 200);
        } else if (std::abs(double(image.width) / image.height - 2.5) < 0.02) {
            logo = true;
            CHECK(image.xPpi >= 200);
        }
    }
    CHECK(logo);
    const qint64 size = QFileInfo(printed.file).size();
    INFO("PDF of " << size << " bytes");
    CHECK(size < 3 * 1024 * 1024);
}

std::vector<QLabel*> slotsOf(QWidget* form, std::initializer_list<int> tags) {
    std::vector<QLabel*> out;
    for (int tag : tags) {
        auto* slot = qobject_cast<QLabel*>(ui::viewWithTag(form, tag));
        REQUIRE(slot);
        out.push_back(slot);
    }
    return out;
}

bool allShown(const std::vector<QLabel*>& photoSlots) {
    return std::all_of(photoSlots.begin(), photoSlots.end(), [](QLabel* s) { return !s->pixmap().isNull(); });
}

} // namespace

TEST_CASE("the three-page certificate prints 12-megapixel photographs sharp and small enough",
          "[documents][paper][photographs]") {
    onepagetest::OnePageApp a;
    installLargeLogo();
    const std::vector<int> tags = {10001, 10002, 10003, 10004, 10005, 20001, 20002,
                                   20003, 20004, 20005, 30001, 40001, 40002};
    const auto ids = storePhotographs("ID_999999_normal", tags.size());
    a.app.delegate().patientID() = "999999";
    REQUIRE(a.app.delegate().setPatientInfoData());
    for (size_t i = 0; i < tags.size(); ++i)
        a.record()[std::to_string(tags[i])] = ids[i];
    REQUIRE(a.app.delegate().registCertificate());
    QTemporaryDir scratch;
    PrintedDocument printed;
    printed.preview = paper::openThreePages(a, &certificateViewTop::japaneseThreePageCertificatePrintButton);
    REQUIRE(printed.preview);
    QWidget* content = printed.preview->scrollView()->widget();
    std::vector<QLabel*> photoSlots =
        slotsOf(content->findChild<QWidget*>("certificateView2"),
                {10001, 10002, 10003, 10004, 10005, 20001, 20002, 20003, 20004, 20005, 30001});
    for (QLabel* slot : slotsOf(content->findChild<QWidget*>("certificateView3"), {40001, 40002}))
        photoSlots.push_back(slot);
    REQUIRE(paper::settleUntil(a.app, [&] { return allShown(photoSlots); }));
    printed.capture(scratch.path(), "photographs-certificate");
    REQUIRE(printed.pages.size() == 3);
    checkPhotographs(printed, photoSlots);
}

TEST_CASE("the one-page certificate prints 12-megapixel photographs sharp and small enough",
          "[documents][paper][photographs]") {
    onepagetest::OnePageApp a;
    installLargeLogo();
    const auto ids = storePhotographs("ID_999999_normal", 2);
    a.app.delegate().patientID() = "999999";
    REQUIRE(a.app.delegate().setPatientInfoData());
    a.record()["50001"] = ids[0];
    a.record()["50002"] = ids[1];
    REQUIRE(a.app.delegate().registCertificate());
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = a.openPreview(&certificateViewTop::japaneseCertificatePrintButton);
    REQUIRE(preview);
    printed.preview = preview;
    const auto photoSlots = slotsOf(preview->page()->formView(), {50001, 50002});
    REQUIRE(paper::settleUntil(a.app, [&] { return allShown(photoSlots); }));
    printed.capture(scratch.path(), "photographs-onepage");
    REQUIRE(printed.pages.size() == 1);
    checkPhotographs(printed, photoSlots);
}

TEST_CASE("the letter prints 12-megapixel photographs sharp and small enough",
          "[documents][paper][photographs]") {
    lettertest::LetterApp s;
    installLargeLogo();
    const auto normal = storePhotographs("ID_999999_normal", 1);
    const auto velscope = storePhotographs("ID_999999_velscope", 2);
    auto& d = s.delegate();
    d.patientID() = "999999";
    REQUIRE(d.setPatientInfoData());
    d.letterDataList() = {{"34", "2025年 3月 14日"}, {"82001", normal[0]}, {"82002", velscope[1]}};
    d.medicalList() = {{"cid", "80000"},
                       {"cname", "札幌市立病院"},
                       {"departments", "歯科口腔外科"},
                       {"doctor", "山田　太郎"}};
    REQUIRE(d.registLetter());
    d.letterDataList().clear();
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = s.openPreview();
    REQUIRE(preview);
    printed.preview = preview;
    const std::vector<QLabel*> photoSlots = {preview->page2()->slot(82001), preview->page2()->slot(82002)};
    REQUIRE(paper::settleUntil(s.app, [&] { return allShown(photoSlots); }));
    printed.capture(scratch.path(), "photographs-letter");
    REQUIRE(printed.pages.size() == 2);
    checkPhotographs(printed, photoSlots);
}

namespace {

// A JPEG of 400 x 300 stored left half red, right half blue, tagged with EXIF orientation 6: shown
// turned a quarter clockwise, red above blue.
QByteArray turnedJpeg() {
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter(&image).fillRect(0, 0, 200, 300, Qt::red);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    REQUIRE(image.save(&buffer, "JPEG", 95));
    // An APP1 segment holding only the orientation tag, right after the start of image.
    const char exif[] = {'\xFF', '\xE1', 0, 34,   'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, '*', 0, 0, 0, 8,
                         0,      1,      1, 0x12, 0,   3,   0,   0,   0, 1, 0,   6,   0, 0,   0, 0, 0, 0};
    return jpeg.left(2) + QByteArray(exif, sizeof exif) + jpeg.mid(2);
}

} // namespace

TEST_CASE("a photograph stored turned shows and prints upright in its slot",
          "[documents][paper][photographs]") {
    lettertest::LetterApp s;
    std::string id;
    REQUIRE_FALSE(photos::PhotoLibrary::shared()->performChangesAndWait([&](photos::ChangeRequest& change) {
        const QByteArray file = turnedJpeg();
        id = change.createImageAsset(foundation::Data(file.begin(), file.end()));
        change.addAssetsToAlbumTitled("ID_999999_normal", {id});
    }));
    auto& d = s.delegate();
    d.patientID() = "999999";
    REQUIRE(d.setPatientInfoData());
    d.letterDataList() = {{"34", "2025年 3月 14日"}, {"82001", id}};
    REQUIRE(d.registLetter());
    d.letterDataList().clear();
    QTemporaryDir scratch;
    PrintedDocument printed;
    auto preview = s.openPreview();
    REQUIRE(preview);
    printed.preview = preview;
    QLabel* slot = preview->page2()->slot(82001);
    REQUIRE(paper::settleUntil(s.app, [&] { return !slot->pixmap().isNull(); }));
    printed.capture(scratch.path(), "photographs-upright");
    const QRect inContent(slot->mapTo(printed.preview->scrollView()->widget(), QPoint(0, 0)), slot->size());
    const auto placed = printed.onPaper(inContent);
    REQUIRE(placed.page >= 0);
    const QRect top(0, 10, slot->width(), slot->height() / 2 - 20),
        bottom = top.translated(0, slot->height() / 2);
    for (const QImage* image : {&printed.screen, &printed.pages[size_t(placed.page)]}) {
        const QPoint at = image == &printed.screen ? inContent.topLeft() : placed.rect.topLeft();
        const QColor above = meanColour(*image, top.translated(at)),
                     below = meanColour(*image, bottom.translated(at));
        INFO((image == &printed.screen ? "screen" : "paper")
             << ": above " << above.name().toStdString() << ", below " << below.name().toStdString());
        CHECK(above.red() > 200);
        CHECK(above.blue() < 60);
        CHECK(below.blue() > 200);
        CHECK(below.red() < 60);
    }
}
