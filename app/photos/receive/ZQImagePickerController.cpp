#include "app/photos/receive/ZQImagePickerController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/photos/ImageManager.h"
#include "platform/photos/PhotoLibrary.h"

namespace {
constexpr int kThumb = 140;
} // namespace

ZQImagePickerController::~ZQImagePickerController() {
    if (auto manager = imageManager_.lock())
        for (photos::ImageRequestID id : requests_)
            manager->cancelImageRequest(id);
}

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

    // The grid opens at once with empty cells; the image manager decodes the thumbnails off the
    // main thread and each fills its cell as it comes.
    auto manager = photos::ImageManager::defaultManager();
    imageManager_ = manager;
    auto all = photos::PhotoLibrary::shared()->allAssets();
    std::reverse(all.begin(), all.end());
    if (all.size() > size_t(kMaxShown)) all.resize(size_t(kMaxShown));
    for (const auto& asset : all) {
        if (mediaType_ == kMediaTypeImage && asset.mediaType != photos::MediaType::Image) continue;
        assets_.push_back(asset);
        auto* item = new QListWidgetItem(QString(), grid_);
        item->setSizeHint(QSize(kThumb + 12, kThumb + 12));
        item->setData(Qt::UserRole, QString::fromStdString(asset.localIdentifier));
        QPointer<QListWidget> grid = grid_;
        const int row = grid_->count() - 1;
        requests_.push_back(
            manager->requestImage(asset, QSize(kThumb, kThumb), photos::ImageContentMode::AspectFit,
                                  [grid, row, id = asset.localIdentifier](std::optional<ui::Image> image) {
                                      if (!grid || !image) return; // the picker closed, or no picture
                                      QListWidgetItem* cell = grid->item(row);
                                      if (!cell || cell->data(Qt::UserRole).toString().toStdString() != id)
                                          return;
                                      cell->setIcon(QIcon(QPixmap::fromImage(image->displayedBitmap())));
                                  }));
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
