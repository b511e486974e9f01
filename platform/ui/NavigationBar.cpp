#include "platform/ui/NavigationBar.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace ui {

NavigationBar::NavigationBar(QWidget* parent) : QWidget(parent) {
    setObjectName("navigationBar");
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet("ui--NavigationBar { background: #f7f7f7; border-bottom: 1px solid #b2b2b2; }"
                  "QPushButton { border: none; color: #007aff; font-size: 17px; padding: 0 8px; }"
                  "QPushButton:disabled { color: #b8b8b8; }");
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 0, 8, 0);
    leftBox_ = new QHBoxLayout;
    rightBox_ = new QHBoxLayout;
    title_ = new QLabel(this);
    title_->setObjectName("navigationTitle");
    title_->setAlignment(Qt::AlignCenter);
    QFont f = title_->font();
    f.setBold(true);
    f.setPixelSize(17);
    title_->setFont(f);
    // The title takes the room the buttons leave, however long it is, and ends in "…" where it is cut.
    title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    title_->installEventFilter(this);
    row->addLayout(leftBox_, 1);
    row->addWidget(title_, 2);
    row->addLayout(rightBox_, 1);
    leftBox_->addStretch();
    rightBox_->insertStretch(0);
}

void NavigationBar::setContent(Content content, std::function<void()> onBack) {
    content_ = std::move(content);
    onBack_ = std::move(onBack);
    rebuild();
}

QString NavigationBar::titleText() const {
    return QString::fromStdString(content_.title);
}

void NavigationBar::showTitle() {
    const QString title = titleText();
    title_->setText(title_->fontMetrics().elidedText(title, Qt::ElideRight, title_->contentsRect().width()));
}

bool NavigationBar::eventFilter(QObject* watched, QEvent* event) {
    if (watched == title_ && event->type() == QEvent::Resize) showTitle();
    return QWidget::eventFilter(watched, event);
}

QAbstractButton* NavigationBar::button(const std::string& title) const {
    for (const auto& b : buttons_)
        if (auto* ab = qobject_cast<QAbstractButton*>(b.data());
            ab && ab->objectName() != "backButton" && ab->text() == QString::fromStdString(title))
            return ab;
    return nullptr;
}

QAbstractButton* NavigationBar::backButton() const {
    for (const auto& b : buttons_)
        if (b && b->objectName() == "backButton") return qobject_cast<QAbstractButton*>(b.data());
    return nullptr;
}

QAbstractButton* NavigationBar::makeButton(const BarButtonItemPtr& item) {
    auto* b = new QPushButton(QString::fromStdString(item->title()), this);
    b->setObjectName("barButtonItem");
    b->setFlat(true);
    b->setEnabled(item->isEnabled());
    if (item->style() == BarButtonItemStyle::Done) {
        QFont f = b->font();
        f.setBold(true);
        b->setFont(f);
    }
    std::weak_ptr<BarButtonItem> weak = item;
    connect(b, &QPushButton::clicked, this, [weak] {
        if (auto i = weak.lock()) i->trigger();
    });
    return b;
}

void NavigationBar::rebuild() {
    // Old buttons go through the event loop: a tap on one of them may be what changed the bar.
    for (auto& b : buttons_)
        if (b) {
            b->hide();
            b->deleteLater();
        }
    buttons_.clear();
    for (auto& c : itemConnections_)
        disconnect(c);
    itemConnections_.clear();

    showTitle();
    int leftAt = 0;
    if (content_.showsBack) {
        auto* back = new QPushButton(QString::fromStdString("< " + content_.backTitle), this);
        back->setObjectName("backButton");
        back->setFlat(true);
        connect(back, &QPushButton::clicked, this, [this] {
            if (onBack_) {
                auto cb = onBack_;
                cb();
            }
        });
        leftBox_->insertWidget(leftAt++, back);
        buttons_.emplace_back(back);
    }
    auto watch = [this](const BarButtonItemPtr& item) {
        itemConnections_.push_back(connect(
            item.get(), &BarButtonItem::changed, this, [this] { rebuild(); }, Qt::QueuedConnection));
    };
    for (const auto& item : content_.left) {
        if (!item) continue;
        auto* b = makeButton(item);
        leftBox_->insertWidget(leftAt++, b);
        buttons_.emplace_back(b);
        watch(item);
    }
    // Right items read from the right edge inwards, as on the tablet.
    for (const auto& item : content_.right) {
        if (!item) continue;
        auto* b = makeButton(item);
        rightBox_->insertWidget(1, b);
        buttons_.emplace_back(b);
        watch(item);
    }
}

} // namespace ui
