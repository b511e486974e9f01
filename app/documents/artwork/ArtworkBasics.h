#pragma once
// What the document artwork shares: the three languages, a text in each, rectangles in page points,
// the fonts the drawings use, and the images drawn.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <array>
#include <string>

namespace artwork {

enum class Language { Japanese, English, Chinese };
inline constexpr std::array<Language, 3> kLanguages = {Language::Japanese, Language::English,
                                                       Language::Chinese};

// One printed text in each language, UTF-8.
struct Text {
    std::string ja, en, zh;
    const std::string& in(Language language) const;
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    int bottom() const { return y + height; }
    int right() const { return x + width; }
};

// The file name of an image drawn in each language: "<base>.png" in Japanese, "<base>_English.png"
// and "<base>_Chinese.png", as the screens look them up.
std::string languageFileName(const std::string& base, Language language);

// A drawing font of the family at a pixel size: unhinted and without fallback, so the output does not
// depend on the machine's font configuration beyond the family being installed.
QFont makeFont(const QString& family, int pixelSize, bool bold);

// Draws the text as QPainter::drawText does. A painter that writes a document (a PDF, a printer, a
// recording) sets a font without a bold face in its regular glyphs, where the screen widens them; a
// bold text of such a font is drawn there a second time, a twenty-fourth of its size to the right,
// as wide as the screen draws it. It stays text.
void drawText(QPainter& painter, const QRect& frame, int flags, const QString& text);

// An image drawn from a definition, under its file name in the main bundle.
struct Artwork {
    std::string name;
    QImage image;
};

} // namespace artwork
