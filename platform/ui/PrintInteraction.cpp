#include "platform/ui/PrintInteraction.h"

#include <QMenu>
#include <QPicture>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QWidget>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
PrintInteractionController::DialogRunner& dialogRunner() {
    static PrintInteractionController::DialogRunner runner;
    return runner;
}
std::function<bool()>& printerAvailability() {
    static std::function<bool()> available;
    return available;
}
} // namespace

PrintInteractionController* PrintInteractionController::sharedPrintController() {
    static PrintInteractionController* controller = new PrintInteractionController;
    return controller;
}

bool PrintInteractionController::canPrintData(const QByteArray& data) {
    if (!data.startsWith("%PDF-")) return false;
    const auto& available = printerAvailability();
    return available ? available() : !QPrinterInfo::availablePrinters().isEmpty();
}

void PrintInteractionController::setDialogRunner(DialogRunner runner) {
    dialogRunner() = std::move(runner);
}

void PrintInteractionController::setPrinterAvailability(std::function<bool()> available) {
    printerAvailability() = std::move(available);
}

void PrintInteractionController::setPrintingItem(QByteArray pdf, PageDrawer drawer) {
    item_ = std::move(pdf);
    drawer_ = std::move(drawer);
}

bool PrintInteractionController::presentFromBarButtonItem(const BarButtonItemPtr&, bool,
                                                          Completion completion) {
    if (presented_ || item_.isEmpty() || !drawer_) return false;
    QPrinter printer(QPrinter::HighResolution);
    // Pages reach the printer as recorded pictures, which replay at their own resolution: printing
    // at it keeps them from being scaled twice (the text stays vector at any resolution).
    printer.setResolution(QPicture().logicalDpiX());
    printer.setDocName(QString::fromStdString(printInfo_.jobName));
    printer.setPageOrientation(printInfo_.orientation == 1 ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setColorMode(printInfo_.outputType == 2 ? QPrinter::GrayScale : QPrinter::Color);
    printer.setDuplex(printInfo_.duplex == 1   ? QPrinter::DuplexLongSide
                      : printInfo_.duplex == 2 ? QPrinter::DuplexShortSide
                                               : QPrinter::DuplexNone);
    presented_ = true;
    bool accepted = false;
    if (dialogRunner()) {
        accepted = dialogRunner()(printer, printInfo_);
    } else {
        QWidget* parent = nullptr;
        if (Application* app = Application::shared(); app && app->keyWindow())
            parent = app->keyWindow().get();
        QPrintDialog dialog(&printer, parent);
        dialog.setOption(QAbstractPrintDialog::PrintPageRange, showsPageRange_);
        accepted = dialog.exec() == QDialog::Accepted;
    }
    if (accepted) drawer_(printer);
    presented_ = false;
    if (completion) completion(*this, accepted);
    return true;
}

std::shared_ptr<DocumentInteractionController>
DocumentInteractionController::interactionControllerWithURL(std::string fileURL) {
    auto controller = std::make_shared<DocumentInteractionController>();
    controller->url_ = std::move(fileURL);
    return controller;
}

bool DocumentInteractionController::presentOpenInMenuFromRect(const QRect& rect, QWidget* view, bool) {
    if (!view) return false;
    if (menu_) menu_->close();
    auto* menu = new QMenu(view);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu_ = menu;
    const std::string url = url_;
    auto result = openResult_;
    menu->addAction(QString::fromUtf8(kOpenActionTitle), menu, [url, result] {
        Application* app = Application::shared();
        const bool opened = app && app->openURL(url);
        if (result) result(opened);
    });
    menu->popup(view->mapToGlobal(rect.bottomLeft()));
    return true;
}

} // namespace ui
