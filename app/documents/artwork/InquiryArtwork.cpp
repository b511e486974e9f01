#include "app/documents/artwork/InquiryArtwork.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <array>
#include <map>

namespace questionnaire {

namespace {

constexpr int kPageWidth = 768;
constexpr int kSmallestPixelSize = 11;
// Room left of and right of a choice, so the oval ring laid over its frame passes beside the text
// rather than through it (an ellipse is narrower away from its middle line).
int ringRoom(const Rect& frame) {
    return frame.width / 10 + 6;
}

const QColor kInk(0x22, 0x22, 0x22);
const QColor kSoftInk(0x66, 0x66, 0x66);
const QColor kBand(0x2f, 0x7d, 0x8c);
const QColor kRule(0xb0, 0xb8, 0xbc);
const QColor kGrid(0xc4, 0xcc, 0xd0);
const QColor kMark(0xd8, 0x1e, 0x5b);

// The radar view's table (x then y for scores 1..5), so the printed grid meets its outline.
constexpr std::array<std::array<int, 5>, 5> kRadarX = {{{138, 138, 138, 138, 138},
                                                        {163, 190, 217, 244, 271},
                                                        {153, 170, 187, 203, 220},
                                                        {123, 105, 89, 72, 55},
                                                        {113, 85, 59, 31, 4}}};
constexpr std::array<std::array<int, 5>, 5> kRadarY = {{{107, 80, 55, 30, 4},
                                                        {124, 118, 113, 106, 100},
                                                        {154, 180, 205, 231, 256},
                                                        {154, 180, 205, 231, 256},
                                                        {125, 119, 112, 107, 100}}};

QFont makeFont(Language language, int pixelSize, bool bold) {
    return artwork::makeFont(fontFamily(language), pixelSize, bold);
}

// The largest size up to `pixelSize` at which `text` fits `width`; below the smallest readable
// size the text is reported instead of shrunk further.
QFont fittingFont(Language language, int pixelSize, bool bold, const QString& text, int width,
                  bool* overflow) {
    QFont font = makeFont(language, pixelSize, bold);
    while (QFontMetrics(font).horizontalAdvance(text) > width && font.pixelSize() > kSmallestPixelSize)
        font.setPixelSize(font.pixelSize() - 1);
    if (overflow) *overflow = QFontMetrics(font).horizontalAdvance(text) > width;
    return font;
}

QRect toQRect(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

class PagePainter {
  public:
    PagePainter(QPainter& painter, Language language, std::vector<std::string>* overflow, std::string file)
        : p_(painter), language_(language), overflow_(overflow), file_(std::move(file)) {}

    void text(const QRect& frame, const QString& text, int pixelSize, bool bold, int flags,
              const QColor& colour) {
        bool overflow = false;
        p_.setFont(fittingFont(language_, pixelSize, bold, text, frame.width(), &overflow));
        if (overflow && overflow_) overflow_->push_back(file_ + ": " + text.toStdString());
        p_.setPen(colour);
        artwork::drawText(p_, frame, flags | Qt::TextSingleLine, text);
    }

    void printed(const PrintedText& t) {
        const QString s = QString::fromStdString(t.text.in(language_));
        const QRect frame = toQRect(t.frame);
        switch (t.style) {
        case PrintStyle::Title:
            text(frame, s, 26, true, Qt::AlignLeft | Qt::AlignVCenter, kBand);
            break;
        case PrintStyle::Section: {
            QPainterPath band;
            band.addRoundedRect(frame, 6, 6);
            p_.fillPath(band, kBand);
            text(frame.adjusted(14, 0, -14, 0), s, 17, true, Qt::AlignLeft | Qt::AlignVCenter, Qt::white);
            break;
        }
        case PrintStyle::Question:
            text(frame, s, 16, false, Qt::AlignLeft | Qt::AlignVCenter, kInk);
            break;
        case PrintStyle::Caption:
            text(frame, s, 15, false, Qt::AlignLeft | Qt::AlignVCenter, kInk);
            break;
        case PrintStyle::Note:
            text(frame, s, 13, false, Qt::AlignLeft | Qt::AlignVCenter, kSoftInk);
            break;
        }
    }

    void item(const InquiryItem& item) {
        const QString s = QString::fromStdString(item.text.in(language_));
        const QRect frame = toQRect(item.frame);
        switch (item.kind) {
        case ItemKind::SingleCircle:
        case ItemKind::MultiCircle:
            // The circle mark is laid over this frame, so the choice sits in its middle with room
            // for the ring on both sides.
            text(frame.adjusted(ringRoom(item.frame), 0, -ringRoom(item.frame), 0), s, choiceSize(item),
                 false, Qt::AlignCenter, kInk);
            break;
        case ItemKind::TextField:
        case ItemKind::DateLabel:
            text(toQRect(item.captionFrame), s, 15, false, Qt::AlignLeft | Qt::AlignVCenter, kInk);
            underline(frame);
            break;
        case ItemKind::TextView:
            if (item.captionFrame.width > 0) {
                text(toQRect(item.captionFrame), s, 15, false, Qt::AlignLeft | Qt::AlignVCenter, kInk);
                underline(frame);
            } else {
                p_.setPen(QPen(kRule, 1));
                p_.setBrush(Qt::NoBrush);
                p_.drawRoundedRect(QRectF(frame).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
            }
            break;
        }
    }

    void underline(const QRect& frame) {
        p_.setPen(QPen(kRule, 1));
        p_.drawLine(QPointF(frame.left(), frame.bottom() + 0.5),
                    QPointF(frame.right() + 1, frame.bottom() + 0.5));
    }

    // The choices of one question share one size, the largest at which all of them fit, so a
    // long choice doesn't print smaller than its neighbours.
    void fitChoices(const std::vector<InquiryItem>& items, int page) {
        for (const InquiryItem& item : items) {
            if (item.page != page || !isCircle(item)) continue;
            const QString s = QString::fromStdString(item.text.in(language_));
            const int fits =
                fittingFont(language_, 15, false, s, item.frame.width - 2 * ringRoom(item.frame), nullptr)
                    .pixelSize();
            auto [it, added] = choiceSizes_.try_emplace(groupOf(item), fits);
            if (!added) it->second = std::min(it->second, fits);
        }
    }

  private:
    static bool isCircle(const InquiryItem& item) {
        return item.kind == ItemKind::SingleCircle || item.kind == ItemKind::MultiCircle;
    }
    static int groupOf(const InquiryItem& item) {
        return item.kind == ItemKind::SingleCircle ? item.tag / 10 : -(item.tag / 100);
    }
    int choiceSize(const InquiryItem& item) const {
        const auto it = choiceSizes_.find(groupOf(item));
        return it == choiceSizes_.end() ? 15 : it->second;
    }

    std::map<int, int> choiceSizes_;
    QPainter& p_;
    Language language_;
    std::vector<std::string>* overflow_;
    std::string file_;
};

void drawRadar(QPainter& p, const InquiryDefinition& d, Language language, QPoint offset,
               std::vector<std::string>* overflow, const std::string& file) {
    p.save();
    p.translate(offset);
    const QPointF origin(d.radarChartOrigin.x, d.radarChartOrigin.y);
    // The spokes meet where the first ring's points would meet at score 0.
    const QPointF centre = origin + QPointF(138, 131);
    p.setRenderHint(QPainter::Antialiasing);
    for (int score = 5; score >= 1; --score) {
        QPolygonF ring;
        for (int axis = 1; axis <= 5; ++axis)
            ring << origin + radarPoint(axis, score);
        p.setPen(QPen(score == 5 ? kSoftInk : kGrid, score == 5 ? 1.5 : 1));
        p.setBrush(score == 5 ? QColor(0xf3, 0xf7, 0xf8) : QColor(Qt::transparent));
        p.drawPolygon(ring);
    }
    p.setPen(QPen(kGrid, 1));
    for (int axis = 1; axis <= 5; ++axis)
        p.drawLine(centre, origin + radarPoint(axis, 5));
    // Score numbers along the first axis, above and right of its points, clear of the rings.
    p.setFont(makeFont(Language::English, 10, false));
    p.setPen(kSoftInk);
    for (int score = 1; score <= 5; ++score) {
        const QPointF at = origin + radarPoint(1, score);
        p.drawText(QRectF(at.x() + 3, at.y() - 14, 14, 12), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::number(score));
    }
    // Each name stands outside its outer point, on the side the axis points to.
    PagePainter names(p, language, overflow, file);
    const int w = d.radarFrame.width, h = d.radarFrame.height;
    const auto tip = [&](int axis) { return (origin + radarPoint(axis, 5)).toPoint(); };
    const std::array<QRect, 5> frames = {
        QRect(tip(1).x() - 90, 4, 180, 28),
        QRect(tip(2).x() + 8, tip(2).y() - 14, w - tip(2).x() - 10, 28),
        QRect(tip(3).x() - 80, tip(3).y() + 8, 160, 28),
        QRect(tip(4).x() - 80, tip(4).y() + 8, 160, 28),
        QRect(2, tip(5).y() - 14, tip(5).x() - 10, 28),
    };
    const std::array<int, 5> align = {Qt::AlignCenter, Qt::AlignLeft | Qt::AlignVCenter, Qt::AlignCenter,
                                      Qt::AlignCenter, Qt::AlignRight | Qt::AlignVCenter};
    for (size_t i = 0; i < frames.size(); ++i)
        names.text(frames[i].intersected(QRect(0, 0, w, h)),
                   QString::fromStdString(d.axisNames[i].in(language)), 15, true, align[i], kInk);
    p.restore();
}

void paintPageImpl(QPainter& p, const InquiryDefinition& d, int page, Language language,
                   std::vector<std::string>* overflow) {
    p.save();
    p.fillRect(QRect(0, 0, kPageWidth, d.pageHeights[size_t(page - 1)]), Qt::white);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    PagePainter painter(p, language, overflow, pageImageName(page, language));
    painter.fitChoices(d.items, page);
    for (const PrintedText& t : d.texts)
        if (t.page == page) painter.printed(t);
    for (const InquiryItem& item : d.items)
        if (item.page == page) painter.item(item);
    if (page == 1) painter.underline(toQRect(d.patientIdFrame));
    if (page == 3)
        drawRadar(p, d, language, {d.radarFrame.x, d.radarFrame.y}, overflow, pageImageName(page, language));
    p.restore();
}

QImage drawPageImpl(const InquiryDefinition& d, int page, Language language,
                    std::vector<std::string>* overflow) {
    QImage image(kPageWidth, d.pageHeights[size_t(page - 1)], QImage::Format_ARGB32);
    QPainter p(&image);
    paintPageImpl(p, d, page, language, overflow);
    return image;
}

} // namespace

QString fontFamily(Language language) {
    switch (language) {
    case Language::Japanese:
        return QStringLiteral("IPAGothic");
    case Language::English:
        return QStringLiteral("DejaVu Sans");
    case Language::Chinese:
        break;
    }
    return QStringLiteral("WenQuanYi Zen Hei");
}

std::vector<QString> missingFontFamilies() {
    std::vector<QString> missing;
    const QStringList installed = QFontDatabase::families();
    for (Language language : kLanguages)
        if (!installed.contains(fontFamily(language))) missing.push_back(fontFamily(language));
    return missing;
}

QPointF radarPoint(int axis, int score) {
    return {double(kRadarX[size_t(axis - 1)][size_t(score - 1)]),
            double(kRadarY[size_t(axis - 1)][size_t(score - 1)])};
}

QImage drawPage(const InquiryDefinition& definition, int page, Language language) {
    return drawPageImpl(definition, page, language, nullptr);
}

void paintPage(QPainter& painter, const InquiryDefinition& definition, int page, Language language) {
    paintPageImpl(painter, definition, page, language, nullptr);
}

QImage drawCircle(bool elongated) {
    // Drawn at the shape of the frames they are stretched to, so the ring keeps an even weight.
    QImage image(elongated ? 240 : 128, 64, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kMark, 5));
    p.drawEllipse(QRectF(image.rect()).adjusted(3, 3, -3, -3));
    return image;
}

QImage drawRadarBackground(const InquiryDefinition& definition, Language language) {
    QImage image(definition.radarFrame.width, definition.radarFrame.height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::TextAntialiasing);
    drawRadar(p, definition, language, {0, 0}, nullptr, radarImageName(language));
    return image;
}

std::vector<Artwork> drawAllArtwork(const InquiryDefinition& definition) {
    std::vector<Artwork> all;
    for (Language language : kLanguages)
        for (int page = 1; page <= 3; ++page)
            all.push_back({pageImageName(page, language), drawPage(definition, page, language)});
    all.push_back({"circle.png", drawCircle(false)});
    all.push_back({"circle_long.png", drawCircle(true)});
    for (Language language : kLanguages)
        all.push_back({radarImageName(language), drawRadarBackground(definition, language)});
    return all;
}

std::vector<std::string> overflowingTexts(const InquiryDefinition& definition) {
    std::vector<std::string> overflow;
    for (Language language : kLanguages)
        for (int page = 1; page <= 3; ++page)
            drawPageImpl(definition, page, language, &overflow);
    return overflow;
}

} // namespace questionnaire
