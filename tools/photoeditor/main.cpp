// Draws the photo editor's mode buttons into a folder (normally resources/bundle):
//   zaruvedez_photo_editor_tool <bundle folder>
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "tools/artwork/ArtworkTool.h"
#include "tools/photoeditor/EditorButtonArtwork.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const artwork::Arguments args = artwork::parseArguments(argc, argv);
    if (args.folders.size() != 1) {
        std::fprintf(stderr, "usage: zaruvedez_photo_editor_tool <bundle folder>\n");
        return 2;
    }
    return artwork::saveArtwork(QDir(QString::fromLocal8Bit(args.folders[0])), editorart::drawEditorButtons())
               ? 1
               : 0;
}
