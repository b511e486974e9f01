#include "tools/artwork/ArtworkBasics.h"

#include <QFile>
#include <QFontDatabase>
#include <QPaintEngine>
#include <cstdio>
#include <cstring>
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

int saveArtwork(const QDir& folder, const std::vector<Artwork>& artwork) {
    int failures = 0;
    for (const Artwork& each : artwork) {
        const QString path = folder.filePath(QString::fromStdString(each.name));
        if (!each.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures;
}

bool reportMissingFonts(const std::vector<QString>& missing) {
    for (const QString& family : missing)
        std::fprintf(stderr, "missing font: %s\n", qPrintable(family));
    return !missing.empty();
}

void reportOverflowingTexts(const std::vector<std::string>& texts) {
    for (const std::string& text : texts)
        std::fprintf(stderr, "text too long for its frame: %s\n", text.c_str());
}

bool writeTextFile(const QString& path, const std::string& text) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
        file.write(text.data(), qint64(text.size())) == qint64(text.size()))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

Arguments parseArguments(int argc, char** argv) {
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--proof") == 0)
            arguments.proof = true;
        else
            arguments.folders.push_back(argv[i]);
    }
    return arguments;
}

} // namespace artwork
