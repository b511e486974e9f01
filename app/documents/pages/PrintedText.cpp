#include "app/documents/pages/PrintedText.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <functional>

namespace documents {

namespace {

constexpr QChar kEllipsis(0x2026);

// A printed line: where it starts in the text and what it shows.
struct Line {
    int start = 0;
    QString text;
};

// The text wrapped into lines no wider than `width`, each paragraph on lines of its own. A line
// breaks at a word boundary where one fits, anywhere in a word longer than the line.
std::vector<Line> wrap(const QString& text, const QFont& font, int width) {
    std::vector<Line> lines;
    int offset = 0;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.isEmpty()) {
            lines.push_back({offset, QString()});
        } else {
            QTextLayout layout(paragraph, font);
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                QString shown = paragraph.mid(line.textStart(), line.textLength());
                // The space a line breaks at is not printed at its end.
                while (shown.endsWith(QLatin1Char(' ')))
                    shown.chop(1);
                lines.push_back({offset + line.textStart(), shown});
            }
            layout.endLayout();
        }
        offset += int(paragraph.size()) + 1;
    }
    return lines;
}

QStringList texts(const std::vector<Line>& lines, size_t count) {
    QStringList out;
    for (size_t i = 0; i < std::min(count, lines.size()); ++i)
        out << lines[i].text;
    return out;
}

using Fits = std::function<bool(const QFont&, const QStringList&)>;

FittedText fit(const QString& text, QFont font, int width, const Fits& fits, int smallest) {
    const int largest = font.pixelSize();
    smallest = std::min(smallest, largest);
    for (int size = largest; size >= smallest; --size) {
        font.setPixelSize(size);
        const std::vector<Line> lines = wrap(text, font, width);
        const QStringList shown = texts(lines, lines.size());
        if (fits(font, shown)) return {shown, size, false};
    }
    // Past the smallest size: the lines that fit, the last one cut short visibly.
    font.setPixelSize(smallest);
    const std::vector<Line> lines = wrap(text, font, width);
    size_t keep = lines.size();
    while (keep > 1 && !fits(font, texts(lines, keep)))
        --keep;
    QStringList shown = texts(lines, keep - 1);
    QString rest = text.mid(lines[keep - 1].start);
    rest.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QFontMetrics metrics(font);
    QString last = metrics.elidedText(rest, Qt::ElideRight, width);
    if (!last.endsWith(kEllipsis)) last = metrics.elidedText(rest + kEllipsis, Qt::ElideRight, width);
    if (!last.endsWith(kEllipsis)) last += kEllipsis;
    shown << last;
    return {shown, smallest, true};
}

// A label sets its lines as QPainter::drawText does.
bool fitsLabelBox(const QFont& font, const QStringList& lines, const QSize& box) {
    const QRect used = QFontMetrics(font).boundingRect(QRect(QPoint(0, 0), QSize(box.width(), 100000)),
                                                       Qt::AlignLeft | Qt::AlignTop, lines.join('\n'));
    return used.width() <= box.width() && used.height() <= box.height();
}

void setFontSize(QWidget* view, const char* type, int pixelSize) {
    if (view->font().pixelSize() == pixelSize) return;
    // The form's style sheet sets the sizes; the view's own rule outranks it.
    view->setStyleSheet(view->styleSheet() + QString("\n%1 { font-size: %2px; }").arg(type).arg(pixelSize));
    view->ensurePolished();
}

void fitLabel(QLabel* label) {
    if (label->text().isEmpty() || !label->pixmap().isNull() || !label->picture().isNull()) return;
    label->ensurePolished();
    const QFont font = label->font();
    if (font.pixelSize() <= 0) return;
    const QRect box = label->contentsRect();
    const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
    if (box.contains(QFontMetrics(font).boundingRect(box, flags, label->text()))) return;
    // A text set here fills its label, and labels may stand two points apart: it keeps half a
    // character clear of the label's end, so it never reads on into the text beside it.
    const FittedText fitted =
        fitText(label->text(), font, QSize(box.width() - font.pixelSize() / 2, box.height()));
    label->setWordWrap(false);
    label->setText(fitted.lines.join('\n'));
    setFontSize(label, "QLabel", fitted.pixelSize);
}

void fitLineEdit(QLineEdit* field) {
    if (field->text().isEmpty()) return;
    field->ensurePolished();
    QFont font = field->font();
    if (font.pixelSize() <= 0) return;
    QStyleOptionFrame option;
    option.initFrom(field);
    option.rect = field->rect();
    option.lineWidth =
        field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QMargins margins = field->textMargins();
    // The field keeps two pixels beside its text on either side.
    const int width = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field).width() -
                      margins.left() - margins.right() - 4;
    const int largest = font.pixelSize();
    int size = largest;
    while (size > std::min(kSmallestPrintedPixels, largest) &&
           QFontMetrics(font).horizontalAdvance(field->text()) > width)
        font.setPixelSize(--size);
    if (QFontMetrics(font).horizontalAdvance(field->text()) > width)
        field->setText(QFontMetrics(font).elidedText(field->text(), Qt::ElideRight, width));
    setFontSize(field, "QLineEdit", size);
    field->setCursorPosition(0);
}

void fitTextView(QPlainTextEdit* view) {
    const QString text = view->toPlainText();
    if (text.isEmpty()) return;
    view->ensurePolished();
    const QFont font = view->font();
    if (font.pixelSize() <= 0) return;
    const QSize area = view->viewport()->size();
    auto fitsWithMargin = [&](qreal margin) {
        return [area, margin](const QFont& f, const QStringList& lines) {
            // The view sets its lines one line spacing apart inside the document's margins.
            return std::ceil(QFontMetricsF(f).lineSpacing() * lines.size() + 2 * margin) <= area.height();
        };
    };
    const qreal margin = view->document()->documentMargin();
    auto width = [&](qreal m) { return int(std::floor(area.width() - 2 * m)); };
    if (fitsWithMargin(margin)(font, texts(wrap(text, font, width(margin)), 1000000))) return;
    // A box too small for its text gives up its margin first: all of it where the box draws no
    // border (a field on a ruled line), all but a little where the text would touch one.
    const qreal tight = view->frameWidth() > 0 ? std::min<qreal>(margin, 3) : 0;
    view->document()->setDocumentMargin(tight);
    const FittedText fitted = fit(text, font, width(tight), fitsWithMargin(tight), kSmallestPrintedPixels);
    setFontSize(view, "QPlainTextEdit", fitted.pixelSize);
    if (fitted.elided) view->setPlainText(fitted.lines.join('\n'));
    view->moveCursor(QTextCursor::Start);
    view->ensureCursorVisible();
}

} // namespace

FittedText fitText(const QString& text, QFont font, const QSize& box, int smallest) {
    return fit(
        text, font, box.width(),
        [box](const QFont& f, const QStringList& lines) { return fitsLabelBox(f, lines, box); }, smallest);
}

void fitPrintedTexts(QWidget* form) {
    if (!form) return;
    for (QWidget* view : form->findChildren<QWidget*>()) {
        if (!view->isVisibleTo(form)) continue;
        if (auto* label = qobject_cast<QLabel*>(view))
            fitLabel(label);
        else if (auto* field = qobject_cast<QLineEdit*>(view))
            fitLineEdit(field);
        else if (auto* text = qobject_cast<QPlainTextEdit*>(view))
            fitTextView(text);
    }
}

void fitShownLabels(QWidget* form) {
    if (!form) return;
    for (QLabel* label : form->findChildren<QLabel*>())
        if (label->isVisibleTo(form)) fitLabel(label);
}

} // namespace documents
