#pragma once
// The documents as they come off the printer: a clinic and a patient with long details, each
// document's print preview opened from its start screen, its PDF exported and its pages rendered
// as images, beside what the preview shows on screen; and the measures that compare the two.
#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/documents/certificate/printCertificateView.h"
#include "app/documents/pages/PrintPreview.h"
#include "app/documents/questionnaire/inquiryViewTop.h"
#include "app/documents/questionnaire/printInquiryView.h"
#include "tests/app/documents/certificate/OnePageTestSupport.h"
#include "tests/app/documents/letter/LetterTestSupport.h"
#include "tests/app/documents/pages/PdfProbe.h"

namespace paper {

// A clinic that fills every member of its file: an address of 30 characters, a director's name of
// about 30 and a home page of about 80.
inline const char* const kLongClinicFile =
    R"({"clinicInfo":[{"name":"医療法人社団さくら会 さくら歯科クリニック札幌大通院",)"
    R"("tel":"011-111-2222","fax":"011-111-3333","postal":"060-0042","state":"北海道",)"
    R"("address1":"札幌市中央区北一条西二十三丁目四番地五号さくらメディカルプラザ",)"
    R"("address2":"さくらメディカルビルディング北館三階三〇一号室",)"
    R"("director":"医療法人社団さくら会 理事長 院長 桜井　一郎太郎左衛門之助",)"
    R"("homepage":"https://www.sakura-dental-clinic-sapporo-odori.example.invalid/clinic/info/index.html",)"
    R"("mailaddress":"reception@sakura-dental-clinic-sapporo.example.invalid","logo":"logo.png"}]})";

// The clinic's members as the blocks print them.
inline const std::vector<QString>& longClinicMembers() {
    static const std::vector<QString> members = {
        QStringLiteral("医療法人社団さくら会 さくら歯科クリニック札幌大通院"),
        QStringLiteral("〒060-0042"),
        QStringLiteral("北海道札幌市中央区北一条西二十三丁目四番地五号さくらメディカルプラザ"),
        QStringLiteral("さくらメディカルビルディング北館三階三〇一号室"),
        QStringLiteral("011-111-2222 ／ (FAX)011-111-3333"),
        QStringLiteral("医療法人社団さくら会 理事長 院長 桜井　一郎太郎左衛門之助"),
        QStringLiteral(
            "https://www.sakura-dental-clinic-sapporo-odori.example.invalid/clinic/info/index.html"),
        QStringLiteral("reception@sakura-dental-clinic-sapporo.example.invalid")};
    return members;
}

// A patient with a name of 35 characters, an address of about 40, telephone numbers with notes and a
// long occupation.
inline const char* const kLongName = "札幌　アレクサンドラ・エリザベス・ヴィクトーリア・太郎左衛門之助右衛門";
inline const char* const kLongAddress1 =
    "札幌市中央区北一条西二十丁目一番地一号札幌グランドパークマンション北棟";
inline const char* const kLongAddress2 = "大通タワーレジデンス東棟1203号室";
inline const char* const kLongTel1 = "011-222-3344（自宅・平日夜のみ）";
inline const char* const kLongTel2 = "090-1234-5678（携帯・土日のみ）";
inline const char* const kLongOccupation = "札幌市立大学病院 歯科口腔外科 非常勤講師（火・木曜日）";

// Treatments typed freely, about 50 characters each.
inline const char* const kLongTreatment =
    "右下第一大臼歯の根管治療とセラミッククラウンによる被せ物の作製と装着および咬合調整、二週間後に経過観察";
inline const char* const kLongTreatmentLatin = "Root canal treatment of the lower right first molar";

// The logo: a frame of one colour round a field of another, so a cut edge shows.
inline const QColor kLogoEdge(0x1b, 0x5e, 0x20);
inline const QColor kLogoField(0xff, 0x8f, 0x00);

inline void installLongClinic() {
    QImage logo(300, 120, QImage::Format_RGB32);
    logo.fill(kLogoEdge);
    QPainter(&logo).fillRect(logo.rect().adjusted(24, 24, -24, -24), kLogoField);
    REQUIRE(logo.save(QDir(QString::fromStdString(foundation::home::documents())).filePath("logo.png")));
    lettertest::writeDocument("clinicInfo.json", kLongClinicFile);
}

inline void installLongPatient(registtest::RegistApp& app) {
    app.probe().exec(std::string("UPDATE patientMst SET name = '") + kLongName + "', address1 = '" +
                     kLongAddress1 + "', address2 = '" + kLongAddress2 + "', tel1 = '" + kLongTel1 +
                     "', tel2 = '" + kLongTel2 + "', biz = '" + kLongOccupation + "' WHERE pid = '999999'");
}

// Pixels that carry ink: dark, or of a clear colour.
inline bool isInk(QRgb pixel) {
    const QColor c(pixel);
    return qGray(pixel) < 170 || (c.hsvSaturation() > 80 && c.value() < 245);
}

inline int ink(const QImage& image, const QRect& area) {
    int n = 0;
    const QRect a = area.intersected(image.rect());
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x)
            if (isInk(image.pixel(x, y))) ++n;
    return n;
}

// A view of a page that shows something of its own: text, a picture or a chosen circle.
inline bool showsSomething(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w))
        return !label->text().trimmed().isEmpty() || !label->pixmap().isNull();
    if (auto* line = qobject_cast<QLineEdit*>(w)) return !line->text().trimmed().isEmpty();
    if (auto* text = qobject_cast<QPlainTextEdit*>(w)) return !text->toPlainText().trimmed().isEmpty();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return !button->icon().isNull();
    return false;
}

// A document's preview, its exported PDF and the PDF's pages at one pixel per point.
struct PrintedDocument {
    std::shared_ptr<PrintPreview> preview;
    QString file;
    std::vector<QImage> pages;
    QImage screen; // the preview's content as it shows it

    void capture(const QString& scratch, const QString& keepAs) {
        REQUIRE(preview);
        QWidget* content = preview->scrollView()->widget();
        screen = content->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto path = preview->printPDF();
        REQUIRE(path);
        REQUIRE_FALSE(path->empty());
        file = QString::fromStdString(*path);
        const int count = pdfprobe::facts(file).pages;
        for (int i = 1; i <= count; ++i) {
            pages.push_back(pdfprobe::page(file, i, scratch));
            QFile::remove(QDir(scratch).filePath("page.png"));
        }
        if (const char* dir = std::getenv("ZARUVEDEZ_GRAB_DIR")) {
            QFile::remove(QDir(dir).filePath(keepAs + ".pdf"));
            QFile::copy(file, QDir(dir).filePath(keepAs + ".pdf"));
            screen.save(QDir(dir).filePath(keepAs + "-screen.png"));
            for (size_t i = 0; i < pages.size(); ++i)
                pages[i].save(QDir(dir).filePath(QString("%1-%2.png").arg(keepAs).arg(i + 1)));
        }
    }

    // Where a band of the content lies on the paper: its page and the point it starts at.
    struct Placed {
        int page = -1;
        QRect rect;
    };
    Placed onPaper(const QRect& inContent) const {
        const auto& t = preview->traits();
        const int page = inContent.center().y() / t.step;
        if (page >= int(pages.size())) return {};
        return {page, inContent.translated(0, t.topOffset - page * t.step)};
    }

    // The views that show something, with their places in the content, nested views included.
    std::vector<std::pair<QWidget*, QRect>> shownViews(const std::vector<QWidget*>& forms) const {
        std::vector<std::pair<QWidget*, QRect>> out;
        QWidget* content = preview->scrollView()->widget();
        for (QWidget* form : forms)
            for (QWidget* w : form->findChildren<QWidget*>()) {
                if (!w->isVisibleTo(form) || !showsSomething(w)) continue;
                // The page's own background is the artwork, measured on its own.
                if (auto* label = qobject_cast<QLabel*>(w); label && label->size().width() >= 700) continue;
                out.push_back({w, QRect(w->mapTo(content, QPoint(0, 0)), w->size())});
            }
        return out;
    }

    // The PDF's text inside the view's place on paper.
    QString paperText(const QRect& inContent) const {
        const Placed placed = onPaper(inContent);
        if (placed.page < 0) return {};
        return pdfprobe::textIn(file, placed.page + 1, placed.rect);
    }

    // Each half of the view (left, right, top, bottom) carries on paper at least this share of
    // the ink it shows on screen; the smallest share found.
    double paperShare(const QRect& inContent) const {
        const Placed placed = onPaper(inContent);
        if (placed.page < 0) return 0;
        const QImage& sheet = pages[size_t(placed.page)];
        const QRect r = inContent;
        const int w = r.width() / 2, h = r.height() / 2;
        const QRect halves[] = {
            QRect(r.x(), r.y(), w, r.height()), QRect(r.x() + w, r.y(), r.width() - w, r.height()),
            QRect(r.x(), r.y(), r.width(), h), QRect(r.x(), r.y() + h, r.width(), r.height() - h)};
        // A half with hardly any of the view's ink (the end of a short word) says nothing.
        const int whole = ink(screen, r);
        double least = 1e9;
        for (const QRect& half : halves) {
            const int shown = ink(screen, half);
            if (shown < std::max(6, whole / 6)) continue;
            const QRect there = half.translated(placed.rect.topLeft() - r.topLeft());
            least = std::min(least, double(ink(sheet, there)) / shown);
        }
        return least;
    }
};

} // namespace paper

namespace paper {

// The button of each print language on the certificate's start screen.
using StartButton = QPushButton* (certificateViewTop::*)() const;
struct CertificateLanguage {
    const char* language;
    StartButton threePages;
    StartButton onePage;
};
inline const CertificateLanguage kCertificateLanguages[] = {
    {"Japanese", &certificateViewTop::japaneseThreePageCertificatePrintButton,
     &certificateViewTop::japaneseCertificatePrintButton},
    {"English", &certificateViewTop::englishThreePageCertificatePrintButton,
     &certificateViewTop::englishCertificatePrintButton},
    {"Chinese", &certificateViewTop::chineseThreePageCertificatePrintButton,
     &certificateViewTop::chineseCertificatePrintButton}};

// The three-page certificate's preview, opened from the start screen.
inline std::shared_ptr<printCertificateView> openThreePages(onepagetest::OnePageApp& a, StartButton button) {
    registtest::type(a.top->patientIDBox(), "999999");
    if (((*a.top).*button)()->isHidden()) a.top->printThreePageCertificate();
    QTest::mouseClick(((*a.top).*button)(), Qt::LeftButton);
    a.app.launched.settle(20);
    return std::dynamic_pointer_cast<printCertificateView>(a.app.top());
}

} // namespace paper

namespace paper {

// The questionnaire's print preview in a language ("Japanese", "English", "Chinese"), reached from
// the main menu as the staff reach it.
inline std::shared_ptr<printInquiryView> openQuestionnaire(registtest::RegistApp& app,
                                                           const std::string& language) {
    auto menu = app.launched.navigation()->viewControllers().front();
    menu->view()->findChild<QPushButton*>("inquiryButton")->click();
    auto top = std::dynamic_pointer_cast<inquiryViewTop>(app.top());
    if (!top) return nullptr;
    registtest::type(top->patientIDBox(), "999999");
    QTest::mouseClick(top->view()->findChild<QPushButton*>("printInquiryButton"), Qt::LeftButton);
    QTest::mouseClick(top->view()->findChild<QPushButton*>(QString::fromStdString(language + "PrintButton")),
                      Qt::LeftButton);
    app.launched.settle(20);
    return std::dynamic_pointer_cast<printInquiryView>(app.top());
}

// Runs the main loop until the condition holds (pictures arrive on the main queue).
inline bool settleUntil(registtest::RegistApp& app, const std::function<bool()>& condition) {
    for (int i = 0; i < 200 && !condition(); ++i)
        app.launched.settle(10);
    return condition();
}

// A word of the PDF's text with the height of its box, in points of the page.
struct Word {
    QString text;
    double height = 0;
};

inline std::vector<Word> words(const QString& file) {
    std::vector<Word> out;
    const QString html = pdfprobe::run("pdftotext", {"-bbox", "-enc", "UTF-8", file, "-"});
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out.push_back({m.captured(5), m.captured(4).toDouble() - m.captured(2).toDouble()});
    }
    return out;
}

// A word of the PDF's text where it lies: its page (from 0) and its box in points of the page.
struct PlacedWord {
    int page = 0;
    QRectF box;
    QString text;
};

inline std::vector<PlacedWord> placedWords(const QString& file) {
    std::vector<PlacedWord> out;
    const QString html = pdfprobe::run("pdftotext", {"-bbox", "-enc", "UTF-8", file, "-"});
    static const QRegularExpression item(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    int page = -1;
    for (auto it = item.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1).isEmpty()) {
            ++page;
            continue;
        }
        out.push_back({page,
                       QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                              QPointF(m.captured(3).toDouble(), m.captured(4).toDouble())),
                       m.captured(5)});
    }
    return out;
}

// The text without its white space, so a member wrapped over two lines still reads as one.
inline QString joined(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\s"), QRegularExpression::UseUnicodePropertiesOption));
    return text;
}

// The text a view shows.
inline QString shownText(QWidget* w) {
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* line = qobject_cast<QLineEdit*>(w)) return line->text();
    if (auto* text = qobject_cast<QPlainTextEdit*>(w)) return text->toPlainText();
    return {};
}

// A view whose text is printed: whether the text shows whole in its box or ends in "…", and the
// size it is set in.
struct SetText {
    bool whole = false;
    bool elided = false;
    int pixelSize = 0;
};

inline SetText setText(QWidget* w) {
    SetText set;
    set.pixelSize = w->font().pixelSize();
    if (auto* label = qobject_cast<QLabel*>(w)) {
        const QRect box = label->contentsRect();
        const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
        set.whole = box.contains(QFontMetrics(label->font()).boundingRect(box, flags, label->text()));
        set.elided = label->text().endsWith(QChar(0x2026));
    } else if (auto* line = qobject_cast<QLineEdit*>(w)) {
        set.whole = QFontMetrics(line->font()).horizontalAdvance(line->text()) <= line->width() - 8;
        set.elided = line->text().endsWith(QChar(0x2026));
    } else if (auto* text = qobject_cast<QPlainTextEdit*>(w)) {
        const qreal margin = text->document()->documentMargin();
        int lines = 0;
        for (QTextBlock b = text->document()->begin(); b.isValid(); b = b.next())
            lines += b.layout()->lineCount();
        set.whole = QFontMetricsF(text->font()).lineSpacing() * lines + 2 * margin <=
                    text->viewport()->height() + 0.5;
        set.elided = text->toPlainText().endsWith(QChar(0x2026));
    }
    return set;
}

} // namespace paper
