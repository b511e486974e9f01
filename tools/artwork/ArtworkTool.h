#pragma once
// What the artwork programs alone do: read their command line, say what keeps them from drawing, and
// write the images and forms they produce.
#include <QDir>
#include <QString>
#include <string>
#include <vector>

#include "app/documents/artwork/ArtworkBasics.h"

namespace artwork {

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
