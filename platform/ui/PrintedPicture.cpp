#include "platform/ui/PrintedPicture.h"

#include <QEvent>
#include <QLabel>
#include <QPaintEngine>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>

namespace ui {

QSize printPixelSize(QSizeF points) {
    if (points.isEmpty()) return {};
    return {int(std::ceil(points.width() * kPrintPixelsPerPoint - 1e-9)),
            int(std::ceil(points.height() * kPrintPixelsPerPoint - 1e-9))};
}

QImage reducedForPrint(const QImage& picture, QSizeF points) {
    const QSize needed = printPixelSize(points);
    if (picture.isNull() || needed.isEmpty()) return picture;
    // Enough pixels along both sides, so the picture can still fill `points` stretched to its shape.
    const double scale =
        std::max(double(needed.width()) / picture.width(), double(needed.height()) / picture.height());
    if (scale >= 1) return picture;
    const QSize reduced(std::max(1, int(std::lround(picture.width() * scale))),
                        std::max(1, int(std::lround(picture.height() * scale))));
    return picture.scaled(reduced, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool paintsDocument(QPainter& painter) {
    // A printer paints through the PDF engine on this platform; a recording (QPicture) is what a
    // capture for a printer draws into first.
    const QPaintEngine* engine = painter.paintEngine();
    return engine && (engine->type() == QPaintEngine::Pdf || engine->type() == QPaintEngine::Picture);
}

namespace {

// Paints the label as it paints itself, but with the printed picture in its pixmap's place, wherever
// the label is painted into a document.
class PrintedPicture : public QObject {
  public:
    // Found again by name: the class carries no meta-object of its own to be looked up by.
    static constexpr const char* kName = "ui.PrintedPicture";

    explicit PrintedPicture(QLabel* label) : QObject(label) {
        setObjectName(kName);
        label->installEventFilter(this);
    }

    void set(qint64 shownKey, QImage printed, PrintedPictureKind kind, QRectF part) {
        shownKey_ = shownKey;
        printed_ = std::move(printed);
        kind_ = kind;
        part_ = part;
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || watched != parent() || printed_.isNull()) return false;
        auto* label = static_cast<QLabel*>(parent());
        const QPixmap shown = label->pixmap();
        if (shown.cacheKey() != shownKey_) {
            printed_ = QImage(); // the label shows another picture now
            return false;
        }
        // A disabled label greys its pixmap; it prints the way it shows.
        if (shown.isNull() || !label->isEnabled()) return false;
        QPainter painter(label);
        if (!paintsDocument(painter)) return false;
        drawFrame(*label, painter);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.setRenderHint(QPainter::LosslessImageRendering, kind_ == PrintedPictureKind::Artwork);
        painter.drawImage(target(*label, shown), printed_);
        return true;
    }

  private:
    // What QFrame draws first: a style sheet's border, or the frame's shape.
    static void drawFrame(QLabel& label, QPainter& painter) {
        QStyleOptionFrame option;
        option.initFrom(&label);
        option.frameShape = label.frameShape();
        option.rect = label.frameRect();
        switch (label.frameShape()) {
        case QFrame::Box:
        case QFrame::HLine:
        case QFrame::VLine:
        case QFrame::StyledPanel:
        case QFrame::Panel:
            option.lineWidth = label.lineWidth();
            option.midLineWidth = label.midLineWidth();
            break;
        default:
            option.lineWidth = label.frameWidth();
            break;
        }
        if (label.frameShadow() == QFrame::Sunken)
            option.state |= QStyle::State_Sunken;
        else if (label.frameShadow() == QFrame::Raised)
            option.state |= QStyle::State_Raised;
        label.style()->drawControl(QStyle::CE_ShapedFrame, &option, &painter, &label);
    }

    // Where the label puts its pixmap, narrowed to the printed part of it.
    QRectF target(QLabel& label, const QPixmap& shown) const {
        const int m = label.margin();
        QRectF area = QRectF(label.contentsRect().adjusted(m, m, -m, -m));
        if (!label.hasScaledContents())
            area = QStyle::alignedRect(label.layoutDirection(),
                                       QStyle::visualAlignment(label.layoutDirection(), label.alignment()),
                                       shown.deviceIndependentSize().toSize(), area.toRect());
        if (part_.isEmpty()) return area;
        const double sx = area.width() / shown.width(), sy = area.height() / shown.height();
        return {area.x() + part_.x() * sx, area.y() + part_.y() * sy, part_.width() * sx,
                part_.height() * sy};
    }

    qint64 shownKey_ = 0;
    QImage printed_;
    PrintedPictureKind kind_ = PrintedPictureKind::Photograph;
    QRectF part_;
};

} // namespace

void showPrintablePicture(QLabel* label, const QPixmap& shown, const QImage& printed, PrintedPictureKind kind,
                          const QRectF& part) {
    if (!label) return;
    label->setPixmap(shown);
    auto* printer = static_cast<PrintedPicture*>(
        label->findChild<QObject*>(PrintedPicture::kName, Qt::FindDirectChildrenOnly));
    if (!printer) printer = new PrintedPicture(label); // owned by the label
    // The label keeps a copy of the pixmap that shares its data, and so its key.
    printer->set(label->pixmap().cacheKey(), printed, kind, part);
}

} // namespace ui
