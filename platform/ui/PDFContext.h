#pragma once
// Drawing pages of views as a document: into PDF data in memory, or onto a printer sheet by sheet.
// Views are drawn as themselves (text stays text, images lossless), so an exported file is searchable
// and a print is as sharp as the printer allows. The caller sizes each page, moves the origin and asks
// for views to be drawn, page after page, as the tablet's PDF graphics context works.
#include <QByteArray>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <memory>

class QBuffer;
class QPdfWriter;
class QPrinter;
class QWidget;

namespace ui {

// The fonts documents print in. Their PDF text layer extracts as the characters drawn (the screen's
// CJK font would extract some as radicals), so pages that are captured use them, named explicitly.
enum class DocumentScript { Japanese, Chinese };
QString documentFontFamily(DocumentScript script);

class PDFContext {
  public:
    ~PDFContext();
    PDFContext(const PDFContext&) = delete;
    PDFContext& operator=(const PDFContext&) = delete;

    // A document written into `data` when the context ends (the buffer is replaced, not appended to).
    static std::unique_ptr<PDFContext> beginToData(QByteArray* data);
    // Pages drawn onto the printer's sheets: each page fitted to the printable area, centred and never
    // rotated; pages outside the printer's chosen range are skipped.
    static std::unique_ptr<PDFContext> beginToPrinter(QPrinter* printer);

    // Starts the next page, `rect` in points (origin at the top left); the origin is reset.
    void beginPage(const QRectF& rect);
    void translate(qreal dx, qreal dy);
    // Draws the view at the current origin as its layer would: a scroll view's visible band at its
    // content position, clipped to the band.
    void render(QWidget* view);
    // Finishes the document; false when it could not be written.
    bool end();

    int pageCount() const { return pages_; }
    // The painter of the current page; null before the first page or when the page is skipped.
    QPainter* painter();

  private:
    PDFContext() = default;

    QByteArray* data_ = nullptr;
    std::unique_ptr<QByteArray> buffer_;
    std::unique_ptr<QBuffer> device_;
    std::unique_ptr<QPdfWriter> writer_;
    QPrinter* printer_ = nullptr;
    QPainter painter_;
    QRectF page_;
    int pages_ = 0;
    bool pageDrawn_ = false;
    bool failed_ = false;
    bool ended_ = false;
};

} // namespace ui
