#include "app/documents/PageResources.h"

#include <QAbstractScrollArea>
#include <QWidget>

#include "platform/foundation/Bundle.h"
#include "platform/ui/PDFContext.h"

namespace documents {

QPixmap bundleImage(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    const auto path =
        dot == std::string::npos
            ? foundation::Bundle::main()->pathForResource(fileName, "")
            : foundation::Bundle::main()->pathForResource(fileName.substr(0, dot), fileName.substr(dot + 1));
    return path ? QPixmap(QString::fromStdString(*path)) : QPixmap();
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

} // namespace documents
