// Draws the questionnaire artwork into a folder (normally resources/bundle) and, given a second
// folder (normally resources/ui), writes the pages' forms there:
//   zaruvedez_questionnaire_tool <bundle folder> [<form folder>] [--proof]
// With --proof it also writes "proof_<page>.png": each page with every circle marked and every field
// outlined, to check by eye that the marks sit on their printed choices.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/documents/artwork/InquiryArtwork.h"
#include "tools/artwork/ArtworkTool.h"
#include "tools/questionnaire/InquiryForms.h"

namespace {

int writeProofs(const questionnaire::InquiryDefinition& definition, const QDir& folder) {
    using namespace questionnaire;
    const QImage round = drawCircle(false), elongated = drawCircle(true);
    int failures = 0;
    for (Language language : kLanguages) {
        for (int page = 1; page <= 3; ++page) {
            QImage image = drawPage(definition, page, language);
            QPainter p(&image);
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            for (const InquiryItem& item : definition.items) {
                if (item.page != page) continue;
                const QRect frame(item.frame.x, item.frame.y, item.frame.width, item.frame.height);
                if (item.kind == ItemKind::SingleCircle || item.kind == ItemKind::MultiCircle)
                    p.drawImage(frame, item.kind == ItemKind::MultiCircle ? elongated : round);
                else
                    p.fillRect(frame, QColor(0, 120, 255, 40));
            }
            const std::string name = "proof_" + pageImageName(page, language);
            if (!image.save(folder.filePath(QString::fromStdString(name)), "PNG")) ++failures;
        }
    }
    return failures;
}

int writeForms(const questionnaire::InquiryDefinition& definition, const QDir& folder) {
    int failures = 0;
    for (int page = 1; page <= 4; ++page) {
        // Pages 1 to 3, then the print preview that holds them.
        const std::string name =
            page <= 3 ? questionnaire::pageFormName(page) : questionnaire::previewFormName();
        const std::string form =
            page <= 3 ? questionnaire::pageForm(definition, page) : questionnaire::previewForm(definition);
        if (!artwork::writeTextFile(folder.filePath(QString::fromStdString(name)), form)) ++failures;
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const artwork::Arguments arguments = artwork::parseArguments(argc, argv);
    const auto& folders = arguments.folders;
    if (folders.empty() || folders.size() > 2) {
        std::fprintf(stderr, "usage: %s <bundle folder> [<form folder>] [--proof]\n", argv[0]);
        return 2;
    }
    if (artwork::reportMissingFonts(questionnaire::missingFontFamilies())) return 1;
    const auto& definition = questionnaire::inquiryDefinition();
    artwork::reportOverflowingTexts(questionnaire::overflowingTexts(definition));

    const QDir folder(QString::fromLocal8Bit(folders[0]));
    int failures = artwork::saveArtwork(folder, questionnaire::drawAllArtwork(definition));
    if (arguments.proof) failures += writeProofs(definition, folder);
    if (folders.size() == 2) failures += writeForms(definition, QDir(QString::fromLocal8Bit(folders[1])));
    return failures == 0 ? 0 : 1;
}
