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

#include "tools/questionnaire/InquiryArtwork.h"
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
        const QString path = folder.filePath(QString::fromStdString(name));
        QFile file(path);
        const std::string form =
            page <= 3 ? questionnaire::pageForm(definition, page) : questionnaire::previewForm(definition);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(form.data(), qint64(form.size())) != qint64(form.size())) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    bool proof = false;
    std::vector<const char*> folders;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--proof") == 0)
            proof = true;
        else
            folders.push_back(argv[i]);
    }
    if (folders.empty() || folders.size() > 2) {
        std::fprintf(stderr, "usage: %s <bundle folder> [<form folder>] [--proof]\n", argv[0]);
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

    const QDir folder(QString::fromLocal8Bit(folders[0]));
    int failures = 0;
    for (const auto& artwork : questionnaire::drawAllArtwork(definition)) {
        const QString path = folder.filePath(QString::fromStdString(artwork.name));
        if (!artwork.image.save(path, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    if (proof) failures += writeProofs(definition, folder);
    if (folders.size() == 2) failures += writeForms(definition, QDir(QString::fromLocal8Bit(folders[1])));
    return failures == 0 ? 0 : 1;
}
