#include "app/documents/artwork/ArtworkBasics.h"

#include <QFontDatabase>
#include <QPaintEngine>
#include <map>

namespace artwork {

const std::string& Text::in(Language language) const {
    switch (language) {
    case Language::Japanese:
        return ja;
    case Language::English:
        return en;
    case Language::Chinese:
        break;
    }
    return zh;
}

std::string languageFileName(const std::string& base, Language language) {
    switch (language) {
    case Language::Japanese:
        return base + ".png";
    case Language::English:
        return base + "_English.png";
    case Language::Chinese:
        break;
    }
    return base + "_Chinese.png";
}

QFont makeFont(const QString& family, int pixelSize, bool bold) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoFontMerging));
    return font;
}

namespace {

bool hasBoldFace(const QString& family) {
    static std::map<QString, bool> known;
    if (const auto it = known.find(family); it != known.end()) return it->second;
    bool bold = false;
    for (const QString& style : QFontDatabase::styles(family))
        bold = bold || style.contains(QLatin1String("Bold"), Qt::CaseInsensitive);
    return known.emplace(family, bold).first->second;
}

} // namespace

void drawText(QPainter& painter, const QRect& frame, int flags, const QString& text) {
    painter.drawText(frame, flags, text);
    const QFont font = painter.font();
    const QPaintEngine* engine = painter.paintEngine();
    if (!font.bold() || !engine || engine->type() == QPaintEngine::Raster || hasBoldFace(font.family()))
        return;
    painter.drawText(QRectF(frame).translated(font.pixelSize() / 24.0, 0), flags, text);
}

} // namespace artwork
