#pragma once
// The system print dialog, as screens use it: a shared controller that is given the job's information
// and what to print (PDF data, with the pages drawn again onto the printer so text stays sharp), and is
// presented from a bar button. The dialog is Qt's over a QPrinter (CUPS on Linux); tests answer it.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

class QAbstractButton;
class QPrinter;

namespace ui {

// The job as the tablet describes it; the numbers are the platform's values.
struct PrintInfo {
    std::string jobName;
    int orientation = 0; // 0 portrait, 1 landscape
    int outputType = 0;  // 0 general (colour), 1 photo, 2 greyscale
    int duplex = 0;      // 0 none, 1 long edge, 2 short edge
};

class PrintInteractionController : public QObject {
    Q_OBJECT
  public:
    using Completion = std::function<void(PrintInteractionController&, bool completed)>;
    // Draws the document's pages onto the printer (the printer's page range is honoured by the caller).
    using PageDrawer = std::function<void(QPrinter&)>;
    // Answers the dialog for tests: sets the printer up as a user would and accepts (true) or cancels.
    using DialogRunner = std::function<bool(QPrinter&, const PrintInfo&)>;

    // The process's controller; null where printing is not supported.
    static PrintInteractionController* sharedPrintController();
    // Whether the data is a PDF document and a printer is there to print it.
    static bool canPrintData(const QByteArray& data);

    static void setDialogRunner(DialogRunner runner);
    // Whether printers exist; the default asks the print system (none configured: none).
    static void setPrinterAvailability(std::function<bool()> available);

    PrintInfo& printInfo() { return printInfo_; }
    void setPrintInfo(PrintInfo info) { printInfo_ = std::move(info); }
    bool showsPageRange() const { return showsPageRange_; }
    void setShowsPageRange(bool shows) { showsPageRange_ = shows; }
    const QByteArray& printingItem() const { return item_; }
    void setPrintingItem(QByteArray pdf, PageDrawer drawer);

    // Shows the dialog; on acceptance prints and calls `completion` with true, on cancel with false.
    // False (and no completion) when there is nothing printable.
    bool presentFromBarButtonItem(const BarButtonItemPtr& item, bool animated, Completion completion);
    bool isPresented() const { return presented_; }

  private:
    PrintInfo printInfo_;
    bool showsPageRange_ = false;
    QByteArray item_;
    PageDrawer drawer_;
    bool presented_ = false;
};

// The open-in menu: offers a file to the desktop's applications.
class DocumentInteractionController : public QObject,
                                      public std::enable_shared_from_this<DocumentInteractionController> {
    Q_OBJECT
  public:
    static constexpr const char* kOpenActionTitle = "ほかのアプリで開く";

    static std::shared_ptr<DocumentInteractionController> interactionControllerWithURL(std::string fileURL);
    ~DocumentInteractionController() override;
    const std::string& URL() const { return url_; }
    // Told whether the desktop took the file once the menu's choice was made (false: no application
    // opens it), so the screen can say so rather than seem to ignore the choice.
    void setOpenResultHandler(std::function<void(bool opened)> handler) { openResult_ = std::move(handler); }
    // Shows the menu as a popover beside the rectangle of the view, inside the window at any scale (a
    // tap beside it puts it away); its one choice hands the file's URL to the application's URL opener
    // (the desktop's default application for the file). False when the view is in no window.
    bool presentOpenInMenuFromRect(const QRect& rect, QWidget* view, bool animated);
    // The menu while shown: its view, and the button of its one choice.
    QWidget* menu() const;
    QAbstractButton* openButton() const;

  private:
    void open();

    std::string url_;
    std::shared_ptr<ViewController> menu_;
    std::function<void(bool)> openResult_;
};

} // namespace ui
