#include "app/photos/ZQImagePickerController.h"

#include <QBuffer>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/photos/PhotoLibrary.h"

namespace {
constexpr int kThumb = 140;

QIcon thumbnail(const photos::PhotoLibrary& library, const photos::Asset& asset) {
    auto data = library.imageData(asset);
    if (!data) return {};
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data->data()), qsizetype(data->size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    reader.setAllocationLimit(256);
    const QSize size = reader.size();
    if (size.isValid()) reader.setScaledSize(size.scaled(kThumb, kThumb, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}
} // namespace

void ZQImagePickerController::viewDidLoad() {
    QWidget* root = view();
    root->setObjectName("ZQImagePickerController");
    root->setStyleSheet("QWidget#ZQImagePickerController { background: #ffffff; }"
                        "QPushButton { font-size: 18px; min-height: 40px; min-width: 120px; }");
    auto* layout = new QVBoxLayout(root);
    auto* bar = new QHBoxLayout;
    auto* cancel = new QPushButton("キャンセル", root);
    cancel->setObjectName("cancelButton");
    auto* title = new QLabel("写真を選択", root);
    title->setAlignment(Qt::AlignCenter);
    title->setStyleSheet("font-size: 20px;");
    auto* doneButton = new QPushButton("完了", root);
    doneButton->setObjectName("doneButton");
    doneButton->setVisible(allowsMultipleSelection_);
    bar->addWidget(cancel);
    bar->addWidget(title, 1);
    bar->addWidget(doneButton);
    layout->addLayout(bar);
    grid_ = new QListWidget(root);
    grid_->setObjectName("gridView");
    grid_->setViewMode(QListView::IconMode);
    grid_->setIconSize(QSize(kThumb, kThumb));
    grid_->setResizeMode(QListView::Adjust);
    grid_->setMovement(QListView::Static);
    grid_->setSpacing(6);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setSelectionMode(allowsMultipleSelection_ ? QAbstractItemView::MultiSelection
                                                     : QAbstractItemView::SingleSelection);
    layout->addWidget(grid_, 1);

    auto library = photos::PhotoLibrary::shared();
    auto all = library->allAssets();
    std::reverse(all.begin(), all.end());
    if (all.size() > size_t(kMaxShown)) all.resize(size_t(kMaxShown));
    for (const auto& asset : all) {
        if (mediaType_ == kMediaTypeImage && asset.mediaType != photos::MediaType::Image) continue;
        assets_.push_back(asset);
        auto* item = new QListWidgetItem(thumbnail(*library, asset), QString(), grid_);
        item->setSizeHint(QSize(kThumb + 12, kThumb + 12));
    }
    connect(cancel, &QPushButton::clicked, this, &ZQImagePickerController::cancelled);
    connect(doneButton, &QPushButton::clicked, this, &ZQImagePickerController::done);
    connect(grid_, &QListWidget::itemClicked, this, &ZQImagePickerController::picked);
}

void ZQImagePickerController::picked() {
    if (!allowsMultipleSelection_) done();
}

void ZQImagePickerController::done() {
    std::vector<photos::Asset> chosen;
    for (auto* item : grid_->selectedItems()) {
        const int row = grid_->row(item);
        if (row >= 0 && size_t(row) < assets_.size()) chosen.push_back(assets_[size_t(row)]);
    }
    if (auto d = delegate_.lock()) d->qb_imagePickerControllerDidFinishPickingAssets(*this, chosen);
}

void ZQImagePickerController::cancelled() {
    if (auto d = delegate_.lock()) d->qb_imagePickerControllerDidCancel(*this);
}
