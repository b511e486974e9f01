#include "app/documents/pages/PrintPreview.h"
#include "app/assets/PageResources.h"
#include "app/documents/pages/PdfFile.h"

#include <QCoreApplication>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/shell/FormAlerts.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "app/store/PrintNumber.h"
#include "platform/foundation/AppHome.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PDFContext.h"
#include "platform/ui/PrintInteraction.h"
#include "platform/ui/Screen.h"

namespace documents {

const PreviewTraits& previewTraits(PreviewDocument document) {
    static const PreviewTraits traits[] = {
        {.document = PreviewDocument::Inquiry,
         .contentHeight = 3400,
         .step = 1150,
         .pageSize = {768, 1190},
         .topOffset = 20,
         .jobName = "問診票 %@",
         .fileName = "%@/%@_inquiry_%@.pdf",
         .numbered = false,
         .exportsOnePage = false,
         .failedPathIsNil = false,
         .keepsPrintController = false},
        {.document = PreviewDocument::Certificate,
         .contentHeight = 3072,
         .step = 1024,
         .pageSize = {768, 1064},
         .topOffset = 20,
         .jobName = "診断書 %@",
         .fileName = "%@/%@_certificate_%@_%02d.pdf",
         .numbered = true,
         .exportsOnePage = false,
         .failedPathIsNil = true,
         .keepsPrintController = true},
        {.document = PreviewDocument::OnePageCertificate,
         .contentHeight = 1064,
         .step = 1024,
         .pageSize = {768, 1064},
         .topOffset = 20,
         .jobName = "診断書 %@",
         .fileName = "%@/%@_certificate_%@_%02d.pdf",
         .numbered = true,
         .exportsOnePage = true,
         .failedPathIsNil = true,
         .keepsPrintController = true},
        {.document = PreviewDocument::Letter,
         .contentHeight = 2048,
         .step = 1024,
         .pageSize = {768, 1024},
         .topOffset = 0,
         .jobName = "患者紹介状登録 %@",
         .fileName = "%@/%@_letter_%@.pdf",
         .numbered = false,
         .exportsOnePage = false,
         .failedPathIsNil = false,
         .keepsPrintController = false},
    };
    return traits[int(document)];
}

int pageCount(double height, int step) {
    return height <= 0 || step <= 0 ? 0 : int(std::ceil(height / step));
}

std::string inquiryDatePart(const store::FormData& inputItems, const QDate& today) {
    const auto it = inputItems.find("inputdate");
    const QDate date = it == inputItems.end()
                           ? QDate()
                           : QDate::fromString(QString::fromStdString(it->second), "yyyy-MM-dd");
    // A name is always formed; a date that isn't one would make a name no one can sort by.
    return (date.isValid() ? date : today).toString("yyyyMMdd").toStdString();
}

std::string recordDatePart(const store::FormData& record, const QDate& today) {
    QDate date = today;
    if (const auto it = record.find("34"); it != record.end() && it->second != "(null)") {
        const QDate parsed = QDate::fromString(QString::fromStdString(it->second), "yyyy年 M月 d日");
        if (parsed.isValid()) date = parsed;
    }
    return date.toString("yyyyMMdd").toStdString();
}

std::string fileNamePart(const std::string& patientID) {
    std::string part = patientID;
    for (char& c : part)
        if (c == '/' || c == '\0') c = '_';
    return part;
}

bool pathTaken(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::symlink_status(path, error);
    if (!error) return status.type() != std::filesystem::file_type::not_found;
    // A folder that cannot be looked into may hold the file: taken. Where no folder can hold it,
    // nothing is.
    return error != std::errc::no_such_file_or_directory && error != std::errc::not_a_directory;
}

int printNumber(const store::FormData& record) {
    const auto it = record.find("printno");
    if (it == record.end()) return 0;
    long long n = 0;
    bool negative = false;
    size_t i = 0;
    const std::string& text = it->second;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && n < 1000000000; ++i)
        n = n * 10 + (text[i] - '0');
    if (negative) n = -n;
    // A number out of the 100 a patient's files cycle through is brought back into them.
    return int(((n % 100) + 100) % 100);
}

} // namespace documents

using documents::PreviewDocument;

namespace {
// A scroll view off screen hears of its new size only when shown; the band's extent must be right
// before its offset is set.
void settle(QScrollArea* scroll) {
    if (!scroll->testAttribute(Qt::WA_PendingResizeEvent)) return;
    QResizeEvent resize(scroll->size(), QSize());
    QCoreApplication::sendEvent(scroll, &resize);
    scroll->setAttribute(Qt::WA_PendingResizeEvent, false);
}
} // namespace

PrintPreview::PrintPreview(PreviewDocument document)
    : appDelegate_(zurarerizIvaDadadavu::shared()), traits_(documents::previewTraits(document)),
      imageMark_(assets::bundleImageMisses()) {}

PrintPreview::~PrintPreview() = default;

void PrintPreview::logCapture(bool forExport, double height, long pages) const {
    const double maxHeight = traits_.step;
    if (traits_.document == PreviewDocument::Certificate)
        foundation::log(forExport ? "printCertificateView, printPDF, height: %f, maxHeight: %f, pages: %ld"
                                  : "printCertificateView, height: %f, maxHeight: %f, pages: %ld",
                        height, maxHeight, pages);
    else if (traits_.document == PreviewDocument::OnePageCertificate)
        foundation::log(forExport
                            ? "printOnePageCertificateView, printPDF, height: %f, maxHeight: %f, pages: %ld"
                            : "printOnePageCertificateView, height: %f, maxHeight: %f, pages: %ld",
                        height, maxHeight, pages);
}

void PrintPreview::logStep(const char* step) const {
    if (traits_.document == PreviewDocument::OnePageCertificate)
        foundation::log("printCertificateView, %@", step);
}

void PrintPreview::viewDidLoad() {
    logStep("viewDidLoad");
    if (!appDelegate_) appDelegate_ = zurarerizIvaDadadavu::shared();
    if (appDelegate_) appDelegate_->setTouchMode(false);
    if (QScrollArea* scroll = scrollView(); scroll && scroll->widget())
        scroll->widget()->resize(ui::kMainScreenWidth, traits_.contentHeight);

    auto self = std::static_pointer_cast<PrintPreview>(shared_from_this());
    printButton_ = ui::BarButtonItem::create("印刷", ui::BarButtonItemStyle::Plain);
    printButton_->setTarget(self, &PrintPreview::pdfPrintForCanon);
    cancelButton_ = ui::BarButtonItem::create("キャンセル", ui::BarButtonItemStyle::Plain);
    cancelButton_->setTarget(self, &PrintPreview::tapCancelButton);
    navigationItem().setRightBarButtonItem(printButton_);
    navigationItem().setLeftBarButtonItem(cancelButton_);
}

void PrintPreview::embedPage(const std::shared_ptr<ui::ViewController>& page, QWidget* container) {
    pages_.push_back(page);
    adoptChild(page);
    QWidget* pageView = page->view();
    pageView->setParent(container);
    // The whole page at once: nothing scrolls inside it here.
    pageView->setGeometry(container->rect());
    pageView->show();
}

void PrintPreview::prepareForCapture(QScrollArea* scroll) {
    logStep("prepareForCapture");
    scroll->verticalScrollBar()->setValue(0);
    scroll->horizontalScrollBar()->setValue(0);
    assets::hideScrollBars(scroll);
}

void PrintPreview::drawPages(ui::PDFContext& context, bool forExport, bool quiet) {
    QScrollArea* scroll = scrollView();
    if (!scroll || !scroll->widget()) return;
    const QRect frame = scroll->geometry();
    const auto vertical = scroll->verticalScrollBarPolicy(), horizontal = scroll->horizontalScrollBarPolicy();
    const double height = scroll->widget()->height();
    const int step = traits_.step;
    const QRectF pageRect(QPointF(0, 0), traits_.pageSize);
    auto setFrame = [&](int frameHeight) {
        scroll->setGeometry(0, 0, ui::kMainScreenWidth, frameHeight);
        settle(scroll);
    };
    setFrame(step);
    if (quiet) {
        scroll->verticalScrollBar()->setValue(0);
        assets::hideScrollBars(scroll);
    } else {
        prepareForCapture(scroll);
    }

    if (forExport && traits_.exportsOnePage) {
        if (!quiet) logCapture(true, height, 1);
        if (height < step) setFrame(int(step - (step - height)));
        context.beginPage(pageRect);
        context.translate(0, traits_.topOffset);
        scroll->verticalScrollBar()->setValue(0);
        context.render(scroll);
    } else {
        const int pages = documents::pageCount(height, step);
        if (!quiet) logCapture(forExport, height, pages);
        int frameHeight = step;
        for (int i = 0; i < pages; ++i) {
            // Only the last band can be short: the page then shows just what is left.
            if ((i + 1) * step > height) {
                frameHeight -= int((i + 1) * step - height);
                setFrame(frameHeight);
            }
            context.beginPage(pageRect);
            context.translate(0, traits_.topOffset - i * step);
            scroll->verticalScrollBar()->setValue(i * step);
            context.render(scroll);
        }
    }

    scroll->setGeometry(frame);
    settle(scroll);
    scroll->verticalScrollBar()->setValue(0);
    scroll->setVerticalScrollBarPolicy(vertical);
    scroll->setHorizontalScrollBarPolicy(horizontal);
}

QByteArray PrintPreview::capturePages(bool forExport) {
    QByteArray data;
    auto context = ui::PDFContext::beginToData(&data);
    drawPages(*context, forExport);
    context->end();
    return data;
}

store::FormData* PrintPreview::record() const {
    if (!appDelegate_) return nullptr;
    switch (traits_.document) {
    case PreviewDocument::Inquiry:
        if (!appDelegate_->inputItems()) appDelegate_->inputItems().emplace();
        return &*appDelegate_->inputItems();
    case PreviewDocument::Letter:
        return &appDelegate_->letterDataList();
    default:
        return &appDelegate_->certifiDataList();
    }
}

std::string PrintPreview::datePart() const {
    const store::FormData* form = record();
    const store::FormData empty;
    const QDate today = QDate::currentDate();
    return traits_.document == PreviewDocument::Inquiry
               ? documents::inquiryDatePart(form ? *form : empty, today)
               : documents::recordDatePart(form ? *form : empty, today);
}

void PrintPreview::advancePrintNumber(int next) {
    if (store::FormData* form = record()) (*form)["printno"] = std::to_string(next);
    if (!appDelegate_ || !appDelegate_->db() || !appDelegate_->patientID()) return;
    // Only the in-memory record advances when this fails; the next load reads the column again, and
    // the save then steps past the files already written.
    store::storePrintNumber(*appDelegate_->db(), *appDelegate_->patientID(), next);
}

bool PrintPreview::savePDFFile(const QByteArray& data) {
    logStep("savePDFFile");
    const std::string pid =
        appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : std::string();
    const std::string folder = foundation::home::documents();
    std::string path;
    if (traits_.numbered) {
        const store::FormData* form = record();
        const int stored = form ? documents::printNumber(*form) : 0;
        foundation::log("%d", stored);
        const std::string date = datePart();
        auto numbered = [&](int n) {
            return foundation::format(traits_.fileName, folder, documents::fileNamePart(pid), date, n);
        };
        // A number whose file is there was used before but never stored (the database refused it or
        // did not open): that file is an earlier certificate, so the next free number is taken. With
        // all hundred taken, the stored number's file is replaced.
        int n = stored;
        for (int step = 0; step < 100; ++step)
            if (!documents::pathTaken(numbered((stored + step) % 100))) {
                n = (stored + step) % 100;
                break;
            }
        if (n != stored)
            foundation::log("savePDFFile: %@ exists; the certificate is saved with the number %d",
                            numbered(stored), n);
        path = numbered(n);
        advancePrintNumber((n + 1) % 100);
    } else {
        path = foundation::format(traits_.fileName, folder, documents::fileNamePart(pid), datePart());
    }
    const int error = documents::writePdfFile(path, data);
    const bool ok = error == 0;
    foundation::log(ok ? "PDF save OK" : "PDF save NG");
    if (ok && traits_.keepsPrintController) pdfPath_ = path;
    if (ok) lastWritten_ = path;
    lastFailure_ = ok ? std::optional<SaveFailure>() : SaveFailure{path, error};
    return ok;
}

void PrintPreview::reportSaveFailure() {
    if (!lastFailure_) {
        reportMissingImages({});
        return;
    }
    // The staff's screens speak Japanese, whatever language the document is printed in.
    shell::presentError(*this, documents::pdfNotSavedMessage(lastFailure_->path, lastFailure_->error));
}

std::optional<std::string> PrintPreview::printPDF() {
    logStep("printPDF");
    const QByteArray data = capturePages(true);
    lastWritten_.clear();
    if (savePDFFile(data)) return lastWritten_;
    if (traits_.failedPathIsNil) return std::nullopt;
    return std::string();
}

void PrintPreview::print() {
    logStep("printCertificate");
    const QByteArray data = capturePages(false);
    savePDFFile(data); // a failed write still prints what was captured, and is said once the dialog is done
    const auto reportFailure =
        [weak = std::weak_ptr<PrintPreview>(std::static_pointer_cast<PrintPreview>(shared_from_this()))] {
            if (auto self = weak.lock()) self->reportSaveFailure();
        };
    ui::PrintInfo info;
    info.jobName = foundation::format(
        traits_.jobName, appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : "");
    info.orientation = 1;
    info.outputType = 0;
    info.duplex = 0;
    ui::PrintInteractionController* controller = ui::PrintInteractionController::sharedPrintController();
    if (traits_.keepsPrintController) printController_ = controller;
    if (!controller || !ui::PrintInteractionController::canPrintData(data)) {
        printController_ = nullptr;
        reportFailure();
        return;
    }
    controller->setPrintInfo(info);
    controller->setShowsPageRange(true);
    std::weak_ptr<PrintPreview> weak = std::static_pointer_cast<PrintPreview>(shared_from_this());
    controller->setPrintingItem(data, [weak](QPrinter& printer) {
        auto self = weak.lock();
        if (!self) return;
        auto context = ui::PDFContext::beginToPrinter(&printer);
        self->drawPages(*context, false, true);
        context->end();
    });
    const bool keeps = traits_.keepsPrintController;
    const bool shown = controller->presentFromBarButtonItem(
        printButton_, true, [weak, keeps, reportFailure](ui::PrintInteractionController&, bool) {
            if (auto self = weak.lock(); self && keeps) self->printController_ = nullptr;
            reportFailure();
        });
    if (!shown) reportFailure();
}

void PrintPreview::pdfPrintForCanon() {
    logStep("pdfPrintForCanon");
    const auto path = printPDF();
    // Nothing written, nothing to offer; an older file of the same name must not pass for this one.
    if (!path || path->empty()) {
        reportSaveFailure();
        return;
    }
    // A file with blanks where artwork belongs is said to be one before it is offered.
    std::weak_ptr<PrintPreview> weak = std::static_pointer_cast<PrintPreview>(shared_from_this());
    const std::string saved = *path;
    if (!reportMissingImages([weak, saved] {
            if (auto self = weak.lock()) self->offerToOpen(saved);
        }))
        offerToOpen(saved);
}

bool PrintPreview::reportMissingImages(std::function<void()> then) {
    const auto missing = assets::bundleImagesMissedSince(imageMark_);
    if (missing.empty()) return false;
    std::string names;
    for (const std::string& name : missing)
        names += (names.empty() ? "" : ", ") + name;
    foundation::log("PDF drawn without images: %@", names);
    shell::presentError(*this, documents::pdfMissingImagesMessage(missing),
                        [then = std::move(then)](ui::AlertAction&) {
                            if (then) then();
                        });
    return true;
}

void PrintPreview::offerToOpen(const std::string& path) {
    diController_ = ui::DocumentInteractionController::interactionControllerWithURL(
        QUrl::fromLocalFile(QString::fromStdString(path)).toString().toStdString());
    // A desktop without a PDF viewer takes the choice and does nothing: say where the file is.
    std::weak_ptr<PrintPreview> weak = std::static_pointer_cast<PrintPreview>(shared_from_this());
    diController_->setOpenResultHandler([weak, saved = path](bool opened) {
        auto self = weak.lock();
        if (opened || !self) return;
        shell::presentError(*self, documents::pdfNotOpenedMessage(saved));
    });
    const QRect bounds = ui::mainScreenBounds();
    diController_->presentOpenInMenuFromRect(QRect(bounds.width() - 50, bounds.y() + 30, 50, 20), view(),
                                             true);
}

void PrintPreview::tapCancelButton() {
    auto nav = navigationController();
    if (!nav) return;
    if (traits_.keepsPrintController) {
        if (printController_) return; // the print dialog is open
        const auto& stack = nav->viewControllers();
        if (stack.size() > 1) nav->popToViewController(stack[1], true);
        return;
    }
    nav->popViewController(true);
}
