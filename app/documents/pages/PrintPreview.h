#pragma once
// The print previews of the clinic's documents: the document's pages read-only in a scroll view,
// captured page by page into a PDF that is saved in Documents and then offered to another app (the
// "印刷" button) or printed through the print dialog. One mechanism for the four documents; what
// differs between them is data (PreviewTraits).
#include <QByteArray>
#include <QDate>
#include <QSizeF>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/store/ClinicState.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

class QScrollArea;
class zurarerizIvaDadadavu;
namespace ui {
class DocumentInteractionController;
class PDFContext;
class PrintInteractionController;
} // namespace ui

namespace documents {

enum class PreviewDocument { Inquiry, Certificate, OnePageCertificate, Letter };

struct PreviewTraits {
    PreviewDocument document;
    int contentHeight;    // the scroll extent set at load
    int step;             // the band one page captures
    QSizeF pageSize;      // points
    int topOffset;        // where the band starts on the page
    const char* jobName;  // "%@": the patient ID
    const char* fileName; // "%@": Documents, the patient ID, the date part (and the print number)
    bool numbered;        // certificates: the print number advances with every file
    bool exportsOnePage;  // the exported file holds the first page alone
    bool failedPathIsNil; // what printPDF answers on a failed write: no path, or empty text
    // certificates: the open print dialog's controller and the written file's path are kept; cancel waits
    // for the dialog, then goes back to the start screen (the second on the stack), not one screen
    bool keepsPrintController;
};

const PreviewTraits& previewTraits(PreviewDocument document);

// Pages of content height `height` in bands of `step` (a part band makes a page).
int pageCount(double height, int step);
// The questionnaire's date part: its "inputdate" with the "-" taken out; today when absent or not a
// "yyyy-MM-dd" date.
std::string inquiryDatePart(const store::FormData& inputItems, const QDate& today);
// The certificate's and the letter's date part: record "34" ("yyyy年 M月 d日") as "yyyyMMdd"; today when
// absent, "(null)" or unreadable.
std::string recordDatePart(const store::FormData& record, const QDate& today);
// A patient ID as it may appear in a file name: no folder separators.
std::string fileNamePart(const std::string& patientID);
// Whether something (a file, a folder, a link) stands at the path, or may: a path whose folder cannot
// be read counts as taken.
bool pathTaken(const std::string& path);
// The print number of a certificate record brought into 0 to 99 (absent: 0).
int printNumber(const store::FormData& record);

} // namespace documents

class PrintPreview : public ui::ViewController {
    Q_OBJECT
  public:
    ~PrintPreview() override;

    const documents::PreviewTraits& traits() const { return traits_; }
    void viewDidLoad() override;

    void tapCancelButton();
    void pdfPrintForCanon();
    // Captures, writes and returns the file's path; on a failed write empty text or none (see PreviewTraits).
    std::optional<std::string> printPDF();
    // Captures, writes, and opens the print dialog on the same pages.
    void print();
    bool savePDFFile(const QByteArray& data);
    void prepareForCapture(QScrollArea* scrollView);

    virtual QScrollArea* scrollView() const = 0;
    const ui::BarButtonItemPtr& printButton() const { return printButton_; }
    const ui::BarButtonItemPtr& cancelButton() const { return cancelButton_; }
    const std::shared_ptr<ui::DocumentInteractionController>& diController() const { return diController_; }
    void setDiController(std::shared_ptr<ui::DocumentInteractionController> c) {
        diController_ = std::move(c);
    }
    ui::PrintInteractionController* printController() const { return printController_; }
    const std::string& pdfPath() const { return pdfPath_; }
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

    // The PDF of the pages as the print operation (all pages) or the export (per PreviewTraits) captures
    // them.
    QByteArray capturePages(bool forExport);

  protected:
    explicit PrintPreview(documents::PreviewDocument document);
    // Shows a page screen (loaded read-only, as touch mode is off by now) whole in its container.
    void embedPage(const std::shared_ptr<ui::ViewController>& page, QWidget* container);
    std::vector<std::shared_ptr<ui::ViewController>> visibleChildren() const override { return pages_; }

    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;

  private:
    // The diagnostic lines of the certificates' previews (the others log only the save).
    void logCapture(bool forExport, double height, long pages) const;
    void logStep(const char* step) const;
    // `quiet`: the same pages again (onto the printer), not logged a second time.
    void drawPages(ui::PDFContext& context, bool forExport, bool quiet = false);
    std::string datePart() const;
    store::FormData* record() const;
    void advancePrintNumber(int next);

    const documents::PreviewTraits& traits_;
    ui::BarButtonItemPtr printButton_, cancelButton_;
    std::shared_ptr<ui::DocumentInteractionController> diController_;
    ui::PrintInteractionController* printController_ = nullptr;
    // Says on screen why the last write failed; when it did not, what artwork the pages lack, if any.
    void reportSaveFailure();
    // Says which bundle images the pages could not show, and runs `then` once that is answered; false
    // (and `then` not run) when none is missing.
    bool reportMissingImages(std::function<void()> then);
    // The open-in menu for the written file.
    void offerToOpen(const std::string& path);

    struct SaveFailure {
        std::string path;
        int error;
    };
    std::string pdfPath_;
    std::string lastWritten_;
    std::optional<SaveFailure> lastFailure_;
    size_t imageMark_; // the bundle images missed before this preview, which are not its own
    std::vector<std::shared_ptr<ui::ViewController>> pages_;
};
