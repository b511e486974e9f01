// Draws the questionnaire artwork into a folder (normally resources/bundle):
//   zaruvedez_questionnaire_tool <folder> [--proof]
// With --proof it also writes "proof_<page>.png": each page with every circle marked and every field
// outlined, to check by eye that the marks sit on their printed choices.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <cstring>

#include "tools/questionnaire/InquiryArtwork.h"

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

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const bool proof = argc == 3 && std::strcmp(argv[2], "--proof") == 0;
    if (argc != 2 && !proof) {
        std::fprintf(stderr, "usage: %s <output folder> [--proof]\n", argv[0]);
        return 2;
    }
    // Another font would draw other pixels than the committed files, so refuse rather than drift.
    const auto missing = questionnaire::missingFontFamilies();
    for (const QString& family : missing)
        std::fprintf(stderr, "missing font: %s\n", qPrintable(family));
    if (!missing.empty()) return 1;

    const auto& definition = questionnaire::inquiryDefinition();
    for (const std::string& text : questionnaire::overflowingTexts(definition))
        std::fprintf(stderr, "text too long for its frame: %s\n", text.c_str());

    const QDir folder(QString::fromLocal8Bit(argv[1]));
    int failures = 0;
    for (const auto& artwork : questionnaire::drawAllArtwork(definition)) {
        const QString path = folder.filePath(QString::fromStdString(artwork.name));
        if (!artwork.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    if (proof) failures += writeProofs(definition, folder);
    return failures == 0 ? 0 : 1;
}
