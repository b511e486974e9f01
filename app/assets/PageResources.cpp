#include "app/assets/PageResources.h"

#include <QAbstractScrollArea>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPixmapCache>
#include <QWidget>
#include <algorithm>
#include <cmath>

#include <algorithm>
#include <vector>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/image/ImageDecoding.h"
#include "platform/ui/PDFContext.h"
#include "platform/ui/PrintedPicture.h"

namespace assets {

namespace {
// Every bundle image that could not be loaded, in order (pixmaps are made on the GUI thread only).
std::vector<std::string>& missedImages() {
    static std::vector<std::string> missed;
    return missed;
}
// Pages ask for the same backgrounds each time one is built: a file decoded once is kept in the pixmap
// cache under its path, size and modification time, so a file changed in place is read anew.
QPixmap cachedDecode(const QString& path) {
    const QFileInfo file(path);
    const QString key = QStringLiteral("zaruvedez-bundle:%1:%2:%3")
                            .arg(file.absoluteFilePath())
                            .arg(file.size())
                            .arg(file.lastModified().toMSecsSinceEpoch());
    QPixmap image;
    if (QPixmapCache::find(key, &image)) return image;
    image = QPixmap::fromImage(imaging::decodeFile(path));
    if (!image.isNull()) QPixmapCache::insert(key, image);
    return image;
}
} // namespace

QPixmap bundlePicture(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    const auto path =
        dot == std::string::npos
            ? foundation::Bundle::main()->pathForResource(fileName, "")
            : foundation::Bundle::main()->pathForResource(fileName.substr(0, dot), fileName.substr(dot + 1));
    QPixmap image = path ? cachedDecode(QString::fromStdString(*path)) : QPixmap();
    if (image.isNull()) foundation::log("Bundle image not loaded: %@", fileName);
    return image;
}

QPixmap bundleImage(const std::string& fileName) {
    QPixmap image = bundlePicture(fileName);
    // A missing or damaged file of the installation leaves a blank where the page needs it.
    if (image.isNull()) missedImages().push_back(fileName);
    return image;
}

size_t bundleImageMisses() {
    return missedImages().size();
}

std::vector<std::string> bundleImagesMissedSince(size_t mark) {
    std::vector<std::string> names;
    const auto& missed = missedImages();
    for (size_t i = mark; i < missed.size(); ++i)
        if (std::find(names.begin(), names.end(), missed[i]) == names.end()) names.push_back(missed[i]);
    return names;
}

void showLogo(QLabel* label, const QPixmap& logo) {
    if (!label || logo.isNull() || label->size().isEmpty()) return;
    const QSize box = label->size() * 3;
    QPixmap canvas(box);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QSize fitted = logo.size().scaled(box, Qt::KeepAspectRatio);
    const QRect place(QPoint((box.width() - fitted.width()) / 2, (box.height() - fitted.height()) / 2),
                      fitted);
    painter.drawPixmap(place, logo);
    painter.end();
    // The canvas has the label's shape, so stretching it to the label keeps the logo's.
    label->setScaledContents(true);
    ui::showPrintablePicture(label, canvas, ui::reducedForPrint(logo.toImage(), QSizeF(fitted) / 3),
                             ui::PrintedPictureKind::Artwork, QRectF(place));
}

void showSlotPhotograph(QLabel* slot, const QImage& photograph) {
    if (!slot || photograph.isNull() || slot->size().isEmpty()) return;
    const QSize area = slot->size();
    // The middle of the photograph in the slot's shape.
    QRect middle = photograph.rect();
    if (qint64(photograph.width()) * area.height() > qint64(photograph.height()) * area.width())
        middle.setWidth(
            std::max(1, int(std::lround(double(photograph.height()) * area.width() / area.height()))));
    else
        middle.setHeight(
            std::max(1, int(std::lround(double(photograph.width()) * area.height() / area.width()))));
    middle.moveCenter(photograph.rect().center());
    const QImage printed = ui::reducedForPrint(photograph.copy(middle), QSizeF(area));
    const QPixmap shown =
        QPixmap::fromImage(printed.scaled(area, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    ui::showPrintablePicture(slot, shown, printed, ui::PrintedPictureKind::Photograph);
}

void useDocumentFont(QWidget* form, const std::string& language) {
    if (!form) return;
    // Printed pages write in the fonts whose PDF text reads back as written.
    const QString family = ui::documentFontFamily(language == "Chinese" ? ui::DocumentScript::Chinese
                                                                        : ui::DocumentScript::Japanese);
    form->setStyleSheet(form->styleSheet() + QString("\nQWidget { font-family: \"%1\"; }").arg(family));
}

void hideScrollBars(QAbstractScrollArea* view) {
    view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

} // namespace assets
