#include "platform/ui/PDFContext.h"

#include <QAbstractScrollArea>
#include <QBuffer>
#include <QPageSize>
#include <QPdfWriter>
#include <QPicture>
#include <QPrinter>
#include <QScrollBar>
#include <QWidget>

namespace ui {

QString documentFontFamily(DocumentScript script) {
    return script == DocumentScript::Chinese ? QStringLiteral("WenQuanYi Zen Hei")
                                             : QStringLiteral("IPAGothic");
}

namespace {

QPageSize pointPageSize(const QRectF& rect) {
    return QPageSize(rect.size(), QPageSize::Point, QString(), QPageSize::ExactMatch);
}

void prepare(QPainter& painter) {
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing |
                           QPainter::SmoothPixmapTransform | QPainter::LosslessImageRendering);
}

} // namespace

PDFContext::~PDFContext() {
    if (!ended_) end();
}

std::unique_ptr<PDFContext> PDFContext::beginToData(QByteArray* data) {
    std::unique_ptr<PDFContext> context(new PDFContext);
    context->data_ = data;
    context->buffer_ = std::make_unique<QByteArray>();
    return context;
}

std::unique_ptr<PDFContext> PDFContext::beginToPrinter(QPrinter* printer) {
    std::unique_ptr<PDFContext> context(new PDFContext);
    context->printer_ = printer;
    return context;
}

void PDFContext::beginPage(const QRectF& rect) {
    if (ended_ || failed_) return;
    page_ = rect;
    ++pages_;
    if (printer_) {
        const int from = printer_->fromPage(), to = printer_->toPage();
        pageDrawn_ = from == 0 || (pages_ >= from && pages_ <= to);
        if (!pageDrawn_) return;
        if (!painter_.isActive()) {
            if (!painter_.begin(printer_)) {
                failed_ = true;
                pageDrawn_ = false;
                return;
            }
        } else if (!printer_->newPage()) {
            failed_ = true;
            pageDrawn_ = false;
            return;
        }
        prepare(painter_);
        painter_.resetTransform();
        // The page keeps its shape: scaled to the printable area and centred, not turned.
        const QRectF area = printer_->pageLayout().paintRectPixels(printer_->resolution());
        const qreal scale = std::min(area.width() / rect.width(), area.height() / rect.height());
        painter_.translate((area.width() - rect.width() * scale) / 2,
                           (area.height() - rect.height() * scale) / 2);
        painter_.scale(scale, scale);
        painter_.setClipRect(QRectF(QPointF(0, 0), rect.size()));
        return;
    }
    pageDrawn_ = true;
    if (!writer_) {
        device_ = std::make_unique<QBuffer>(buffer_.get());
        device_->open(QIODevice::WriteOnly);
        writer_ = std::make_unique<QPdfWriter>(device_.get());
        writer_->setResolution(72);
        writer_->setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
        writer_->setPageSize(pointPageSize(rect));
        if (!painter_.begin(writer_.get())) {
            failed_ = true;
            pageDrawn_ = false;
            return;
        }
    } else {
        writer_->setPageSize(pointPageSize(rect));
        if (!writer_->newPage()) {
            failed_ = true;
            pageDrawn_ = false;
            return;
        }
    }
    prepare(painter_);
    painter_.resetTransform();
    painter_.setClipRect(QRectF(QPointF(0, 0), rect.size()));
}

void PDFContext::translate(qreal dx, qreal dy) {
    if (pageDrawn_) painter_.translate(dx, dy);
}

QPainter* PDFContext::painter() {
    return pageDrawn_ && painter_.isActive() ? &painter_ : nullptr;
}

namespace {

// Draws the widget, then its children in stacking order, each on its own within the part of it that
// `visible` (painter coordinates) leaves. One recursive QWidget::render shares a painter among all
// widgets, and a widget that clips its own painting (a label whose text overflows its box) can leave
// that clip on a PDF engine, cutting whatever is drawn after it; a widget drawn alone under a clip set
// anew sees nothing of the one before it.
void drawWidgetTree(QPainter& painter, QWidget* widget, const QPoint& origin, const QRect& visible,
                    QWidget::RenderFlags flags) {
    const QRect area = visible & QRect(origin, widget->size());
    if (area.isEmpty()) return;
    painter.save();
    painter.setClipRect(area, Qt::ReplaceClip);
    widget->render(&painter, origin, QRegion(), flags);
    painter.restore();
    for (QObject* object : widget->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow() || child->isHidden()) continue;
        drawWidgetTree(painter, child, origin + child->pos(), area, {});
    }
}

} // namespace

void PDFContext::render(QWidget* view) {
    if (!pageDrawn_ || !view || !painter_.isActive()) return;
    QWidget* source = view;
    QPoint offset(0, 0);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(view)) {
        // The content as it lies under the visible band: at its own position, the band's offset.
        source = area->viewport();
        offset = QPoint(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value());
    }
    // Children larger than the band would otherwise draw past its edges.
    auto draw = [&](QPainter& painter) {
        drawWidgetTree(painter, source, offset, QRect(offset, source->size()), QWidget::DrawWindowBackground);
    };
    if (!printer_) {
        painter_.save();
        draw(painter_);
        painter_.restore();
        return;
    }
    // Widgets rendered straight onto a printer go through a bitmap; recorded first, they stay vector.
    QPicture picture;
    QPainter recorder(&picture);
    prepare(recorder);
    draw(recorder);
    recorder.end();
    painter_.drawPicture(QPointF(0, 0), picture);
}

bool PDFContext::end() {
    if (ended_) return !failed_;
    ended_ = true;
    if (painter_.isActive() && !painter_.end()) failed_ = true;
    writer_.reset();
    if (device_) device_->close();
    if (data_) *data_ = failed_ ? QByteArray() : *buffer_;
    return !failed_;
}

} // namespace ui
