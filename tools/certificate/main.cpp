// Draws the certificate artwork into a folder (normally resources/bundle) and writes the four forms
// into a second one (normally resources/ui):
//   zaruvedez_certificate_tool <bundle folder> <form folder> [--proof]
// With --proof it also writes "proof_<background>.png" into the bundle folder: each background with
// every mark filled and every other tagged view tinted, to check by eye that the views sit on their
// printed places. Proofs are for looking at, not for committing.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/documents/artwork/CertificateArtwork.h"
#include "tools/artwork/ArtworkTool.h"
#include "tools/certificate/CertificateForms.h"

namespace {

using namespace certificate;

int writeProofs(const CertificateDefinition& definition, const QDir& folder) {
    int failures = 0;
    for (Form form : kForms)
        for (Language language : kLanguages) {
            QImage image = drawBackground(definition, form, language);
            QPainter p(&image);
            p.setRenderHint(QPainter::Antialiasing);
            p.setFont(QFont(fontFamily(language)));
            for (const CertificateItem& item : definition.items) {
                if (item.form != form) continue;
                const QRect frame(item.frame.x, item.frame.y, item.frame.width, item.frame.height);
                switch (item.kind) {
                case ItemKind::SquareCheck:
                    p.fillRect(frame.adjusted(4, 4, -4, -4), QColor(0xc6, 0x28, 0x28));
                    break;
                case ItemKind::DotCheck:
                case ItemKind::MultiCheck:
                case ItemKind::FaceMark:
                    p.setPen(Qt::NoPen);
                    p.setBrush(QColor(0xc6, 0x28, 0x28));
                    p.drawEllipse(QRectF(frame).adjusted(4, 4, -4, -4));
                    break;
                case ItemKind::FaceImage:
                    p.drawImage(frame, drawFace(item.tag * 10 + 1));
                    break;
                case ItemKind::OverallFace:
                    p.drawImage(frame, drawFace(item.tag + 2));
                    break;
                default:
                    p.fillRect(frame, QColor(0, 120, 255, 50));
                    break;
                }
            }
            for (const Outlet& outlet : definition.outlets)
                if (outlet.form == form && !outlet.hidden && outlet.kind != ViewKind::Block)
                    p.fillRect(QRect(pageFrame(definition, outlet).x, pageFrame(definition, outlet).y,
                                     outlet.frame.width, outlet.frame.height),
                               QColor(255, 160, 0, 50));
            const QString path =
                folder.filePath(QString::fromStdString("proof_" + backgroundName(form, language)));
            if (!image.save(path, "PNG")) ++failures;
        }
    return failures;
}

int writeForms(const CertificateDefinition& definition, const QDir& folder) {
    int failures = 0;
    for (Form form : kForms) {
        if (!artwork::writeTextFile(folder.filePath(QString::fromStdString(formFileName(form))),
                                    formText(definition, form)))
            ++failures;
    }
    return failures;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const artwork::Arguments arguments = artwork::parseArguments(argc, argv);
    const auto& folders = arguments.folders;
    if (folders.size() != 2) {
        std::fprintf(stderr, "usage: %s <bundle folder> <form folder> [--proof]\n", argv[0]);
        return 2;
    }
    if (artwork::reportMissingFonts(missingFontFamilies())) return 1;
    const auto& definition = certificateDefinition();
    artwork::reportOverflowingTexts(overflowingTexts(definition));

    const QDir bundle(QString::fromLocal8Bit(folders[0]));
    int failures = artwork::saveArtwork(bundle, drawAllArtwork(definition));
    if (arguments.proof) failures += writeProofs(definition, bundle);
    failures += writeForms(definition, QDir(QString::fromLocal8Bit(folders[1])));
    return failures == 0 ? 0 : 1;
}
