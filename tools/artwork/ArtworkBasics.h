#pragma once
// What the document artwork tools share: the three languages, a text in each, rectangles in page
// points, the fonts the drawings use, and writing the forms and images they produce.
#include <QDir>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <array>
#include <string>
#include <vector>

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

// An image the tools draw, under its file name in the main bundle.
struct Artwork {
    std::string name;
    QImage image;
};

// Saves each image as PNG into the folder; the number that could not be written (said on stderr).
int saveArtwork(const QDir& folder, const std::vector<Artwork>& artwork);

// Says which font families are missing; true when any is. Another font would draw other pixels than
// the committed files, so the tools refuse to draw rather than drift.
bool reportMissingFonts(const std::vector<QString>& missing);
// Says which texts had to shrink below the smallest readable size.
void reportOverflowingTexts(const std::vector<std::string>& texts);

// Writes the text into the file whole; false (said on stderr) when it could not.
bool writeTextFile(const QString& path, const std::string& text);

// The tools' command line: folders in order and the "--proof" switch anywhere.
struct Arguments {
    std::vector<const char*> folders;
    bool proof = false;
};
Arguments parseArguments(int argc, char** argv);

} // namespace artwork
