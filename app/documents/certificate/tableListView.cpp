#include "app/documents/certificate/tableListView.h"

#include <QListWidget>
#include <QVBoxLayout>

tableListView::tableListView() = default;
tableListView::~tableListView() = default;

void tableListView::loadView() {
    auto root = std::make_unique<QWidget>();
    root->resize(380, 272);
    auto* layout = new QVBoxLayout(root.get());
    layout->setContentsMargins(0, 0, 0, 0);
    table_ = new QListWidget(root.get());
    table_->setObjectName("contentsTable");
    table_->setStyleSheet(
        "QListWidget { font-size: 17px; } QListWidget::item { min-height: 44px; padding: 0 8px; }");
    layout->addWidget(table_);
    setView(std::move(root));
}

void tableListView::viewDidLoad() {
    contentsList_ = {kManualInput, "歯肉精密検査（歯茎の検査）", "歯石除去",
                     "虫歯治療",   "歯列改善（歯並びの改善）",   "欠損部補綴（歯がない部分の治療）"};
    for (const std::string& text : contentsList_) {
        auto* item = new QListWidgetItem(QString::fromStdString(text), table_);
        if (text == kManualInput) item->setForeground(Qt::gray);
        if (text == selectedCont_) item->setSelected(true);
    }
    table_->scrollToTop();
    connect(table_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { didSelectRow(table_->row(item)); });
}

void tableListView::didSelectRow(int row) {
    if (row < 0 || row >= int(contentsList_.size())) return;
    if (auto delegate = delegate_.lock())
        delegate->popoverListClose(table_->item(row)->text().toStdString(), tagNo_, true);
}
