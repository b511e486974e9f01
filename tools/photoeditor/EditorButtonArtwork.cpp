#include "tools/photoeditor/EditorButtonArtwork.h"

#include <QPainter>
#include <QPainterPath>

namespace editorart {

namespace {

const QColor kInk(0x0b, 0x5c, 0xad);
const QColor kFill(0xf2, 0xf8, 0xff);
const QColor kAccent(0x7f, 0xb2, 0xe5);

QImage plate() {
    QImage image(kButtonSize, kButtonSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kAccent, 6));
    p.setBrush(kFill);
    p.drawRoundedRect(QRectF(5, 5, kButtonSize - 10, kButtonSize - 10), 32, 32);
    return image;
}

// Two triangles mirrored about a dashed axis.
QImage reversal() {
    QImage image = plate();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double c = kButtonSize / 2.0;
    p.setPen(QPen(kInk, 6, Qt::DashLine, Qt::FlatCap));
    p.drawLine(QPointF(c, 34), QPointF(c, kButtonSize - 34));
    QPainterPath left;
    left.moveTo(c - 14, 50);
    left.lineTo(c - 14, kButtonSize - 50);
    left.lineTo(40, kButtonSize - 50);
    left.closeSubpath();
    p.setPen(QPen(kInk, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(kInk);
    p.drawPath(left);
    p.setBrush(Qt::NoBrush);
    p.drawPath(QTransform(-1, 0, 0, 1, 2 * c, 0).map(left));
    return image;
}

// Crop corners with a turning arrow.
QImage trimming() {
    QImage image = plate();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kInk, 10, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(QPolygonF({QPointF(62, 38), QPointF(62, 130), QPointF(154, 130)}));
    p.drawPolyline(QPolygonF({QPointF(38, 62), QPointF(130, 62), QPointF(130, 154)}));
    p.setPen(QPen(kInk, 6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(128, 22, 44, 44), 90 * 16, 180 * 16);
    QPainterPath head;
    head.moveTo(150, 14);
    head.lineTo(162, 22);
    head.lineTo(150, 30);
    head.closeSubpath();
    p.setBrush(kInk);
    p.drawPath(head);
    return image;
}

} // namespace

std::vector<artwork::Artwork> drawEditorButtons() {
    return {{"btn_reversal.png", reversal()}, {"btn_trimming.png", trimming()}};
}

} // namespace editorart
