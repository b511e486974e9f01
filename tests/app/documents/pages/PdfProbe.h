#pragma once
// Reading a written PDF back with poppler's tools, as a person checking it would: page count and
// size, the extractable text, and a page as an image at one pixel per point.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

namespace pdfprobe {

inline QString run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

struct Facts {
    int pages = 0;
    QString pageSize; // "768 x 1190"
    QString text;
};

inline Facts facts(const QString& path) {
    Facts f;
    for (const QString& line : run("pdfinfo", {path}).split('\n')) {
        if (line.startsWith("Pages:")) f.pages = line.section(':', 1).trimmed().toInt();
        if (line.startsWith("Page size:")) f.pageSize = line.section(':', 1).trimmed().section(" pts", 0, 0);
    }
    f.text = run("pdftotext", {"-enc", "UTF-8", path, "-"});
    return f;
}

// The text of page `page` (from 1) inside `area`, in points of the page.
inline QString textIn(const QString& path, int page, const QRect& area) {
    return run("pdftotext", {"-enc", "UTF-8", "-f", QString::number(page), "-l", QString::number(page), "-x",
                             QString::number(area.x()), "-y", QString::number(area.y()), "-W",
                             QString::number(area.width()), "-H", QString::number(area.height()), path, "-"});
}

// Page `page` (from 1) as an image at `dpi` (one pixel per point by default), written through `scratch`.
inline QImage page(const QString& path, int page, const QString& scratch, int dpi = 72) {
    const QString prefix = QDir(scratch).filePath("page");
    run("pdftoppm", {"-png", "-r", QString::number(dpi), "-f", QString::number(page), "-l",
                     QString::number(page), "-singlefile", path, prefix});
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

// Whether the text holds CJK radicals, which a font's broken text layer gives for ordinary characters.
inline bool hasRadicals(const QString& text) {
    for (uint c : text.toUcs4())
        if ((c >= 0x2E80 && c <= 0x2EFF) || (c >= 0x2F00 && c <= 0x2FDF)) return true;
    return false;
}

} // namespace pdfprobe
