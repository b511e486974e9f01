#include "app/shell/WidgetFormPage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextEdit>

#include "platform/ui/Tag.h"

namespace shell {

namespace {
QPixmap drawnRing(QSize size) {
    QPixmap p(size.isEmpty() ? QSize(32, 32) : size);
    p.fill(Qt::transparent);
    QPainter painter(&p);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(220, 30, 30), 2));
    painter.drawEllipse(QRectF(p.rect()).adjusted(2, 2, -2, -2));
    return p;
}
} // namespace

WidgetFormPage::WidgetFormPage(QWidget* baseView, QPixmap circle, QAbstractButton* tapped)
    : base_(baseView), circle_(std::move(circle)), tapped_(tapped) {}

bool WidgetFormPage::hasView(int tag) const {
    return base_ && ui::viewWithTag(base_, tag);
}

void WidgetFormPage::setCircle(int tag, bool shown) {
    QAbstractButton* button =
        tapped_ && ui::tag(tapped_) == tag
            ? tapped_.data()
            : qobject_cast<QAbstractButton*>(base_ ? ui::viewWithTag(base_, tag) : nullptr);
    if (!button) return;
    if (!shown) {
        button->setIcon(QIcon());
        return;
    }
    // The mark is drawn around the whole choice: stretched to the button, whatever the image's shape.
    button->setIcon(QIcon(
        circle_.isNull() ? drawnRing(button->size())
                         : circle_.scaled(button->size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    button->setIconSize(button->size());
}

bool WidgetFormPage::showsCircle(const QAbstractButton* button) {
    return button && !button->icon().isNull();
}

std::string WidgetFormPage::labelText(int tag) const {
    return base_ ? textOf(ui::viewWithTag(base_, tag)) : std::string();
}

void WidgetFormPage::setLabelText(int tag, const std::string& text) {
    if (auto* label = qobject_cast<QLabel*>(base_ ? ui::viewWithTag(base_, tag) : nullptr))
        label->setText(QString::fromStdString(text));
}

std::string WidgetFormPage::textOf(const QWidget* view) {
    if (auto* l = qobject_cast<const QLabel*>(view)) return l->text().toStdString();
    if (auto* e = qobject_cast<const QLineEdit*>(view)) return e->text().toStdString();
    if (auto* p = qobject_cast<const QPlainTextEdit*>(view)) return p->toPlainText().toStdString();
    if (auto* t = qobject_cast<const QTextEdit*>(view)) return t->toPlainText().toStdString();
    return {};
}

} // namespace shell
