#include "tools/artwork/ArtworkTool.h"

#include <QFile>
#include <cstdio>
#include <cstring>

namespace artwork {

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
