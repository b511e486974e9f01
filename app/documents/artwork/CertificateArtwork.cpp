#include "app/documents/artwork/CertificateArtwork.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <map>

namespace certificate {

namespace {

constexpr int kSmallestPixelSize = 10;

const QColor kInk(0x22, 0x22, 0x22);
const QColor kSoftInk(0x5f, 0x66, 0x6a);
const QColor kBand(0x2f, 0x7d, 0x8c);
const QColor kRule(0xa8, 0xb2, 0xb7);
const QColor kPanel(0xf1, 0xf6, 0xf7);
const QColor kSlot(0xec, 0xf0, 0xf2);

QFont makeFont(Language language, int pixelSize, bool bold) {
    return artwork::makeFont(fontFamily(language), pixelSize, bold);
}

QRect toQRect(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

class BackgroundPainter {
  public:
    BackgroundPainter(QPainter& painter, Language language, std::vector<std::string>* overflow,
                      std::string file)
        : p_(painter), language_(language), overflow_(overflow), file_(std::move(file)) {}

    // Shrinks the text until it fits its frame, down to the smallest readable size.
    void text(const QRect& frame, const QString& text, int pixelSize, bool bold, int flags,
              const QColor& colour) {
        QFont font = makeFont(language_, pixelSize, bold);
        while (QFontMetrics(font).horizontalAdvance(text) > frame.width() &&
               font.pixelSize() > kSmallestPixelSize)
            font.setPixelSize(font.pixelSize() - 1);
        if (QFontMetrics(font).horizontalAdvance(text) > frame.width() && overflow_)
            overflow_->push_back(file_ + ": " + text.toStdString());
        p_.setFont(font);
        p_.setPen(colour);
        artwork::drawText(p_, frame, flags | Qt::TextSingleLine, text);
    }

    void printed(const PrintedText& t) {
        const QString s = QString::fromStdString(t.text.in(language_));
        const QRect frame = toQRect(t.frame);
        const int align = int((t.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter);
        switch (t.style) {
        case PrintStyle::Title:
            text(frame, s, 26, true, align, kBand);
            break;
        case PrintStyle::Section: {
            QPainterPath band;
            band.addRoundedRect(frame, 5, 5);
            p_.fillPath(band, kBand);
            text(frame.adjusted(12, 0, -12, 0), s, 15, true, align, Qt::white);
            break;
        }
        case PrintStyle::Caption:
        case PrintStyle::Unit:
            text(frame, s, 15, false, align, kInk);
            break;
        case PrintStyle::Small:
            text(frame, s, 12, false, align, kSoftInk);
            break;
        }
    }

    void panel(const Panel& panel) {
        p_.setPen(QPen(kRule, 1));
        p_.setBrush(kPanel);
        p_.drawRoundedRect(QRectF(toQRect(panel.frame)).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        p_.setBrush(Qt::NoBrush);
    }

    void item(const CertificateItem& item) {
        const QRectF frame(toQRect(item.frame));
        const QString s = QString::fromStdString(item.text.in(language_));
        switch (item.kind) {
        case ItemKind::SquareCheck:
            p_.setPen(QPen(kInk, 1.5));
            p_.drawRect(frame.adjusted(0.75, 0.75, -0.75, -0.75));
            choice(item, s);
            break;
        case ItemKind::DotCheck:
        case ItemKind::MultiCheck:
        case ItemKind::FaceMark:
            p_.setPen(QPen(kInk, 1.5));
            p_.drawEllipse(frame.adjusted(0.75, 0.75, -0.75, -0.75));
            choice(item, s);
            break;
        case ItemKind::DateLabel:
        case ItemKind::WeekdayLabel:
        case ItemKind::Treatment:
        case ItemKind::NumberField:
            p_.setPen(QPen(kRule, 1));
            p_.drawLine(QPointF(frame.left(), frame.bottom() - 0.5),
                        QPointF(frame.right(), frame.bottom() - 0.5));
            break;
        case ItemKind::PhotoSlot: {
            p_.setPen(QPen(kRule, 1, Qt::DashLine));
            p_.setBrush(kSlot);
            p_.drawRoundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
            p_.setBrush(Qt::NoBrush);
            text(toQRect(item.textFrame), s, 12, false, Qt::AlignCenter, kSoftInk);
            break;
        }
        case ItemKind::FaceImage:
        case ItemKind::OverallFace:
        case ItemKind::Comment:
            // The face and the comment's border are the screen's; the page keeps their place blank.
            break;
        }
    }

    // The choices of one question share one size, the largest at which all of them fit, so a long
    // choice doesn't print smaller than its neighbours.
    void fitChoices(const std::vector<CertificateItem>& items, Form form) {
        for (const CertificateItem& item : items) {
            if (item.form != form || !isMark(item)) continue;
            const QString s = QString::fromStdString(item.text.in(language_));
            QFont font = makeFont(language_, kChoiceSize, false);
            while (QFontMetrics(font).horizontalAdvance(s) > item.textFrame.width &&
                   font.pixelSize() > kSmallestPixelSize)
                font.setPixelSize(font.pixelSize() - 1);
            auto [it, added] = choiceSizes_.try_emplace(groupOf(item), font.pixelSize());
            if (!added) it->second = std::min(it->second, font.pixelSize());
        }
    }

  private:
    static constexpr int kChoiceSize = 15;
    static bool isMark(const CertificateItem& item) {
        return item.kind == ItemKind::SquareCheck || item.kind == ItemKind::DotCheck ||
               item.kind == ItemKind::MultiCheck || item.kind == ItemKind::FaceMark;
    }
    static int groupOf(const CertificateItem& item) {
        return item.kind == ItemKind::MultiCheck ? -(item.tag / 100) : item.tag / 10;
    }
    void choice(const CertificateItem& item, const QString& s) {
        const auto it = choiceSizes_.find(groupOf(item));
        if (!s.isEmpty())
            text(toQRect(item.textFrame), s, it == choiceSizes_.end() ? kChoiceSize : it->second, false,
                 Qt::AlignLeft | Qt::AlignVCenter, kInk);
    }

    std::map<int, int> choiceSizes_;

    QPainter& p_;
    Language language_;
    std::vector<std::string>* overflow_;
    std::string file_;
};

// The face's colour and mouth run from happy (0) to unhappy (1).
struct Mood {
    QColor colour;
    double smile; // +1 a broad smile, -1 a frown
};

Mood moodOf(int number) {
    static const QColor green(0x43, 0xa0, 0x47), lime(0x8b, 0xc3, 0x4a), amber(0xf9, 0xa8, 0x25),
        orange(0xef, 0x6c, 0x00), red(0xd3, 0x2f, 0x2f);
    switch (number) {
    case 11:
    case 21:
    case 71:
        return {green, 1.0};
    case 72:
        return {lime, 0.55};
    case 12:
    case 22:
    case 73:
        return {amber, 0.0};
    case 74:
        return {orange, -0.5};
    default:
        return {red, -1.0};
    }
}

QPainterPath toothOutline(double s) {
    // A molar: a rounded crown over two roots, in a square of side s.
    QPainterPath path;
    path.moveTo(0.18 * s, 0.12 * s);
    path.cubicTo(0.34 * s, 0.02 * s, 0.42 * s, 0.10 * s, 0.50 * s, 0.10 * s);
    path.cubicTo(0.58 * s, 0.10 * s, 0.66 * s, 0.02 * s, 0.82 * s, 0.12 * s);
    path.cubicTo(0.98 * s, 0.24 * s, 0.92 * s, 0.52 * s, 0.84 * s, 0.66 * s);
    path.cubicTo(0.78 * s, 0.78 * s, 0.76 * s, 0.96 * s, 0.66 * s, 0.96 * s);
    path.cubicTo(0.58 * s, 0.96 * s, 0.58 * s, 0.76 * s, 0.50 * s, 0.76 * s);
    path.cubicTo(0.42 * s, 0.76 * s, 0.42 * s, 0.96 * s, 0.34 * s, 0.96 * s);
    path.cubicTo(0.24 * s, 0.96 * s, 0.22 * s, 0.78 * s, 0.16 * s, 0.66 * s);
    path.cubicTo(0.08 * s, 0.52 * s, 0.02 * s, 0.24 * s, 0.18 * s, 0.12 * s);
    path.closeSubpath();
    return path;
}

void paintFace(QPainter& p, int number, double s) {
    const Mood mood = moodOf(number);
    const bool tooth = number / 10 == 2;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double line = s * 0.045;
    if (tooth) {
        p.setPen(QPen(mood.colour, line, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(Qt::white);
        p.drawPath(toothOutline(s));
    } else {
        p.setPen(Qt::NoPen);
        p.setBrush(mood.colour);
        p.drawEllipse(QRectF(0.04 * s, 0.04 * s, 0.92 * s, 0.92 * s));
    }
    const QColor feature = tooth ? mood.colour.darker(140) : QColor(Qt::white);
    const double eyeY = tooth ? 0.36 : 0.38, mouthY = tooth ? 0.54 : 0.64, half = tooth ? 0.15 : 0.19;
    p.setPen(Qt::NoPen);
    p.setBrush(feature);
    p.drawEllipse(QPointF(0.37 * s, eyeY * s), 0.05 * s, 0.065 * s);
    p.drawEllipse(QPointF(0.63 * s, eyeY * s), 0.05 * s, 0.065 * s);
    QPainterPath mouth;
    const double bend = 0.16 * mood.smile;
    mouth.moveTo((0.5 - half) * s, (mouthY - bend / 2) * s);
    mouth.quadTo(0.5 * s, (mouthY + bend * 1.5) * s, (0.5 + half) * s, (mouthY - bend / 2) * s);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(feature, s * 0.055, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(mouth);
    p.restore();
}

void paintBackgroundImpl(QPainter& p, const CertificateDefinition& d, Form form, Language language,
                         std::vector<std::string>* overflow) {
    p.save();
    p.fillRect(QRect(0, 0, kPageWidth, kPageHeight), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    // A band along the top and a rule under the header, on every page.
    p.fillRect(QRect(0, 0, kPageWidth, 6), kBand);
    p.setPen(QPen(kBand, 1.5));
    p.drawLine(QPointF(40, 72.25), QPointF(728, 72.25));
    BackgroundPainter painter(p, language, overflow, backgroundName(form, language));
    painter.fitChoices(d.items, form);
    for (const Panel& panel : d.panels)
        if (panel.form == form) painter.panel(panel);
    for (const PrintedText& t : d.texts)
        if (t.form == form) painter.printed(t);
    for (const CertificateItem& item : d.items)
        if (item.form == form) painter.item(item);
    // Page 3's legend: the five faces in small beside their meaning.
    if (form == Form::Page3)
        for (int level = 0; level < 5; ++level) {
            p.save();
            p.translate(208, 126 + level * 24);
            paintFace(p, 71 + level, 20);
            p.restore();
        }
    p.restore();
}

QImage drawBackgroundImpl(const CertificateDefinition& d, Form form, Language language,
                          std::vector<std::string>* overflow) {
    QImage image(kPageWidth, kPageHeight, QImage::Format_ARGB32);
    QPainter p(&image);
    paintBackgroundImpl(p, d, form, language, overflow);
    return image;
}

} // namespace

QString fontFamily(Language language) {
    // IPA and WenQuanYi: their glyphs map back to the right code points, so printed text extracts.
    return language == Language::Chinese ? QStringLiteral("WenQuanYi Zen Hei") : QStringLiteral("IPAPGothic");
}

std::vector<QString> missingFontFamilies(const QStringList& installed) {
    std::vector<QString> missing;
    for (Language language : kLanguages) {
        const QString family = fontFamily(language);
        if (!installed.contains(family) && std::find(missing.begin(), missing.end(), family) == missing.end())
            missing.push_back(family);
    }
    return missing;
}

std::vector<QString> missingFontFamilies() {
    return missingFontFamilies(QFontDatabase::families());
}

QImage drawBackground(const CertificateDefinition& definition, Form form, Language language) {
    return drawBackgroundImpl(definition, form, language, nullptr);
}

void paintBackground(QPainter& painter, const CertificateDefinition& definition, Form form,
                     Language language) {
    paintBackgroundImpl(painter, definition, form, language, nullptr);
}

QImage drawFace(int number) {
    // Drawn large, so the screens can scale it down to their frames without blur.
    const int size = number >= 70 ? 240 : 192;
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintFace(p, number, size);
    return image;
}

QImage drawDigit(int digit) {
    QImage image(kDigitSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paintDigit(p, digit);
    return image;
}

void paintDigit(QPainter& p, int digit) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath tile;
    tile.addRoundedRect(QRectF(2, 2, 56, 80), 10, 10);
    p.fillPath(tile, kBand);
    p.setFont(makeFont(Language::English, 64, true));
    p.setPen(Qt::white);
    artwork::drawText(p, QRect(0, 0, 60, 84), Qt::AlignCenter, QString::number(digit));
    p.restore();
}

std::string faceImageName(int number) {
    return "icon_" + std::to_string(number) + ".png";
}

std::string digitImageName(int digit) {
    return "icon_num_" + std::to_string(digit) + ".png";
}

std::vector<Artwork> drawAllArtwork(const CertificateDefinition& definition) {
    std::vector<Artwork> all;
    for (Form form : kForms)
        for (Language language : kLanguages)
            all.push_back({backgroundName(form, language), drawBackground(definition, form, language)});
    for (int number : faceIconNumbers())
        all.push_back({faceImageName(number), drawFace(number)});
    for (int digit : toothAgeDigits())
        all.push_back({digitImageName(digit), drawDigit(digit)});
    return all;
}

std::vector<std::string> overflowingTexts(const CertificateDefinition& definition) {
    std::vector<std::string> overflow;
    for (Form form : kForms)
        for (Language language : kLanguages)
            drawBackgroundImpl(definition, form, language, &overflow);
    return overflow;
}

} // namespace certificate
