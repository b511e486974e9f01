#include "platform/ui/SegmentedControl.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

namespace ui {

namespace {
// The joined look: one outline, the selected segment filled.
constexpr const char* kStyle =
    "QPushButton { border: 1px solid #0a7aff; background: white; color: #0a7aff; padding: 4px 12px; "
    "min-height: 26px; font-size: 15px; }"
    "QPushButton:checked { background: #0a7aff; color: white; }"
    "QPushButton[first=\"true\"] { border-top-left-radius: 5px; border-bottom-left-radius: 5px; }"
    "QPushButton[last=\"true\"] { border-top-right-radius: 5px; border-bottom-right-radius: 5px; }"
    "QPushButton[first=\"false\"] { border-left: none; }";
} // namespace

SegmentedControl::SegmentedControl(QWidget* parent)
    : QWidget(parent), layout_(new QHBoxLayout(this)), group_(new QButtonGroup(this)) {
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    group_->setExclusive(true);
    setStyleSheet(kStyle);
    connect(group_, &QButtonGroup::idClicked, this, &SegmentedControl::tapped);
}

QStringList SegmentedControl::segments() const {
    QStringList titles;
    for (auto* b : buttons_)
        titles << b->text();
    return titles;
}

void SegmentedControl::setSegments(const QStringList& titles) {
    for (auto* b : buttons_) {
        group_->removeButton(b);
        delete b;
    }
    buttons_.clear();
    for (int i = 0; i < titles.size(); ++i) {
        auto* b = new QPushButton(titles[i], this);
        b->setObjectName(QString("segment%1").arg(i));
        b->setCheckable(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setProperty("first", i == 0);
        b->setProperty("last", i == titles.size() - 1);
        group_->addButton(b, i);
        layout_->addWidget(b);
        buttons_.push_back(b);
    }
    setSelectedSegmentIndex(selected_);
}

QString SegmentedControl::titleForSegmentAtIndex(int index) const {
    return index >= 0 && index < numberOfSegments() ? buttons_[size_t(index)]->text() : QString();
}

QAbstractButton* SegmentedControl::segmentButton(int index) const {
    return index >= 0 && index < numberOfSegments() ? buttons_[size_t(index)] : nullptr;
}

void SegmentedControl::setSelectedSegmentIndex(int index) {
    if (buttons_.empty()) {
        selected_ = index;
        return;
    }
    if (index < 0 || index >= numberOfSegments()) index = kNoSegment;
    selected_ = index;
    // An exclusive group can't uncheck its last button; lift the rule for a moment.
    group_->setExclusive(false);
    for (int i = 0; i < numberOfSegments(); ++i)
        buttons_[size_t(i)]->setChecked(i == index);
    group_->setExclusive(true);
}

void SegmentedControl::tapped(int index) {
    if (index == selected_) return;
    selected_ = index;
    emit valueChanged(index);
}

} // namespace ui
