// Texts of printed pages fitted into their views: wrapping where the box has room, shrinking down to
// the smallest readable size, and a visible "…" only past it; labels, one-line fields and text views.
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextLayout>
#include <catch2/catch.hpp>

#include "app/documents/pages/PrintedText.h"

using documents::fitText;
using documents::kSmallestPrintedPixels;

namespace {

QFont font(int pixelSize) {
    QFont f(QStringLiteral("IPAGothic"));
    f.setPixelSize(pixelSize);
    return f;
}

bool fitsBox(const documents::FittedText& fitted, const QSize& box) {
    const QRect used = QFontMetrics(font(fitted.pixelSize))
                           .boundingRect(QRect(QPoint(), QSize(box.width(), 10000)),
                                         Qt::AlignLeft | Qt::AlignTop, fitted.lines.join('\n'));
    return used.width() <= box.width() && used.height() <= box.height();
}

const QChar kEllipsis(0x2026);

} // namespace

TEST_CASE("a text is fitted into its box", "[documents][paper]") {
    SECTION("a text that fits keeps its size and its one line") {
        const auto fitted = fitText(QStringLiteral("011-222-3344"), font(15), QSize(130, 26));
        CHECK(fitted.lines == QStringList{QStringLiteral("011-222-3344")});
        CHECK(fitted.pixelSize == 15);
        CHECK_FALSE(fitted.elided);
    }
    SECTION("a box with room for two lines takes the text on two before it shrinks") {
        const QString address = QStringLiteral("北海道札幌市中央区北一条西二十丁目一番地");
        const auto fitted = fitText(address, font(12), QSize(130, 30));
        CHECK(fitted.pixelSize == 12);
        CHECK(fitted.lines.size() == 2);
        CHECK(fitted.lines.join(QString()) == address);
        CHECK(fitsBox(fitted, QSize(130, 30)));
    }
    SECTION("a text too long for its box at its size shrinks until it fits, wrapped") {
        const QString address =
            QStringLiteral("北海道札幌市中央区北一条西二十丁目一番地一号札幌グランドパークマンション北棟");
        const auto fitted = fitText(address, font(15), QSize(250, 30));
        CHECK(fitted.pixelSize < 15);
        CHECK(fitted.pixelSize >= kSmallestPrintedPixels);
        CHECK_FALSE(fitted.elided);
        CHECK(fitted.lines.join(QString()) == address);
        CHECK(fitsBox(fitted, QSize(250, 30)));
    }
    SECTION("words stay whole; a word longer than the line is broken where it must") {
        const auto words = fitText(QStringLiteral("Root canal treatment of the lower right first molar"),
                                   font(13), QSize(200, 30));
        for (const QString& line : words.lines)
            for (const QString& word : line.split(' '))
                CHECK(QStringLiteral("Root canal treatment of the lower right first molar")
                          .split(' ')
                          .contains(word));
        const QString url = QStringLiteral("https://www.example.invalid/clinic/information/index.html");
        const auto broken = fitText(url, font(13), QSize(200, 30));
        CHECK(broken.lines.size() == 2);
        CHECK(broken.lines.join(QString()) == url);
    }
    SECTION("past the smallest size the text ends in a visible ellipsis, inside its box") {
        const QString director = QStringLiteral("医療法人社団さくら会 理事長 院長 桜井　一郎太郎左衛門之助");
        const QSize box(136, 18);
        const auto fitted = fitText(director, font(13), box);
        CHECK(fitted.pixelSize == kSmallestPrintedPixels);
        CHECK(fitted.elided);
        REQUIRE(fitted.lines.size() == 1);
        CHECK(fitted.lines.front().endsWith(kEllipsis));
        CHECK(director.startsWith(fitted.lines.front().chopped(1)));
        CHECK(fitsBox(fitted, box));
    }
    SECTION("a text set smaller than the floor is never made larger") {
        const auto fitted = fitText(QStringLiteral("12345678901234567890"), font(8), QSize(40, 10));
        CHECK(fitted.pixelSize == 8);
        CHECK(fitted.elided);
    }
}

TEST_CASE("a printed page's views are fitted", "[documents][paper]") {
    QWidget form;
    form.resize(768, 400);
    form.setStyleSheet(QStringLiteral("QWidget { font-family: \"IPAGothic\"; }\nQLabel { font-size: 15px; }\n"
                                      "QLineEdit { font-size: 17px; border: none; padding: 0 4px; }\n"
                                      "QPlainTextEdit { border: none; font-size: 13px; }"));
    auto* fits = new QLabel(QStringLiteral("会社員"), &form);
    fits->setGeometry(10, 10, 200, 26);
    auto* address = new QLabel(
        QStringLiteral("北海道札幌市中央区北一条西二十丁目一番地一号札幌グランドパークマンション北棟"),
        &form);
    address->setGeometry(10, 40, 250, 30);
    address->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* picture = new QLabel(&form);
    picture->setGeometry(10, 80, 40, 40);
    QPixmap pixels(80, 80);
    pixels.fill(Qt::red);
    picture->setPixmap(pixels);
    auto* field = new QLineEdit(QStringLiteral("地方独立行政法人 札幌市立総合医療センター附属病院"), &form);
    field->setGeometry(10, 130, 300, 30);
    auto* treatment = new QPlainTextEdit(
        QStringLiteral("右下第一大臼歯の根管治療とセラミッククラウンによる被せ物の作製と装着および咬合調整、"
                       "二週間後に経過観察"),
        &form);
    treatment->setGeometry(10, 170, 300, 28);
    treatment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    treatment->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    treatment->moveCursor(QTextCursor::End);
    form.show();

    documents::fitPrintedTexts(&form);

    CHECK(fits->text() == QStringLiteral("会社員"));
    CHECK(fits->font().pixelSize() == 15);
    CHECK(address->text().count('\n') == 1);
    CHECK(address->font().pixelSize() >= kSmallestPrintedPixels);
    CHECK(address->contentsRect().contains(
        QFontMetrics(address->font())
            .boundingRect(address->contentsRect(), int(address->alignment()), address->text())));
    CHECK(picture->text().isEmpty());
    // The field shows its text from the start, whole or cut short visibly.
    CHECK(field->font().pixelSize() >= kSmallestPrintedPixels);
    CHECK(field->cursorPosition() == 0);
    CHECK((QFontMetrics(field->font()).horizontalAdvance(field->text()) <= field->width() - 8 ||
           field->text().endsWith(kEllipsis)));
    // The text view takes the whole treatment on two lines, from its first.
    CHECK(treatment->font().pixelSize() >= kSmallestPrintedPixels);
    CHECK_FALSE(treatment->toPlainText().endsWith(kEllipsis));
    CHECK(treatment->verticalScrollBar()->value() == 0);
    int lines = 0;
    for (QTextBlock b = treatment->document()->begin(); b.isValid(); b = b.next())
        lines += b.layout()->lineCount();
    CHECK(lines == 2);
    CHECK(QFontMetricsF(treatment->font()).lineSpacing() * lines +
              2 * treatment->document()->documentMargin() <=
          treatment->viewport()->height());
}
