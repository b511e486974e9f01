#include "platform/ui/PrintInteraction.h"

#include <QPicture>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>
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

namespace {
// The menu's content: one choice, drawn like a menu entry.
class OpenInMenu : public ViewController {
  public:
    explicit OpenInMenu(std::function<void()> choose) : choose_(std::move(choose)) {}
    QAbstractButton* button() const { return button_; }

  protected:
    void loadView() override {
        auto root = std::make_unique<QWidget>();
        root->setObjectName("openInMenu");
        auto* layout = new QVBoxLayout(root.get());
        layout->setContentsMargins(0, 0, 0, 0);
        button_ = new QPushButton(QString::fromUtf8(DocumentInteractionController::kOpenActionTitle));
        button_->setObjectName("openInAction");
        button_->setStyleSheet(
            "QPushButton { border: none; color: #007aff; font-size: 17px; padding: 10px 16px;"
            " background: transparent; } QPushButton:pressed { background: #e0e0e0; }");
        layout->addWidget(button_);
        QObject::connect(button_, &QPushButton::clicked, this, [this] {
            if (choose_) choose_();
        });
        setView(std::move(root));
    }

  private:
    std::function<void()> choose_;
    QPointer<QPushButton> button_;
};
} // namespace

std::shared_ptr<DocumentInteractionController>
DocumentInteractionController::interactionControllerWithURL(std::string fileURL) {
    auto controller = std::make_shared<DocumentInteractionController>();
    controller->url_ = std::move(fileURL);
    return controller;
}

DocumentInteractionController::~DocumentInteractionController() {
    if (menu_) menu_->dismiss(false);
}

bool DocumentInteractionController::presentOpenInMenuFromRect(const QRect& rect, QWidget* view,
                                                              bool animated) {
    auto* window = view ? qobject_cast<Window*>(view->window()) : nullptr;
    if (!window || !window->rootViewController()) return false;
    if (menu_) menu_->dismiss(false);
    std::weak_ptr<DocumentInteractionController> weak = shared_from_this();
    auto menu = std::make_shared<OpenInMenu>([weak] {
        if (auto self = weak.lock()) self->open();
    });
    QWidget* content = menu->view();
    menu->setModalPresentationStyle(PresentationStyle::Popover);
    // The popover is placed and kept inside the window by its layer, in canvas points: whatever the
    // window's scale, the whole menu shows.
    menu->setPreferredContentSize(content->sizeHint());
    menu->popoverAnchor().sourceView = view;
    menu->popoverAnchor().sourceRect = rect;
    menu->popoverAnchor().permittedArrowDirections = ArrowUp | ArrowDown;
    menu_ = menu;
    window->rootViewController()->present(menu, animated);
    return menu->presentingViewController() != nullptr;
}

QWidget* DocumentInteractionController::menu() const {
    return menu_ && menu_->presentingViewController() ? menu_->view() : nullptr;
}

QAbstractButton* DocumentInteractionController::openButton() const {
    return menu() ? static_cast<OpenInMenu*>(menu_.get())->button() : nullptr;
}

void DocumentInteractionController::open() {
    auto self = shared_from_this(); // the handler may let go of this controller
    // The menu goes first, so what the result brings (an alert, say) has the window to itself.
    if (menu_) menu_->dismiss(false);
    Application* app = Application::shared();
    const bool opened = app && app->openURL(url_);
    if (openResult_) openResult_(opened);
}

} // namespace ui
