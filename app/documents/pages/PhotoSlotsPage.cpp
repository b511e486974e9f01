#include "app/documents/pages/PhotoSlotsPage.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/assets/PageResources.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/photos/ImageManager.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/PrintedPicture.h"
#include "platform/ui/Tag.h"

namespace {

constexpr int kSlotImageSize = 300;

// Fills the area the way the slots show photographs: scaled to cover it, centred, cut at the edges.
QPixmap aspectFill(const QImage& image, QSize area) {
    if (image.isNull() || area.isEmpty()) return {};
    const QImage scaled = image.scaled(area, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return QPixmap::fromImage(scaled.copy((scaled.width() - area.width()) / 2,
                                          (scaled.height() - area.height()) / 2, area.width(),
                                          area.height()));
}

// The photograph a slot last asked for: a picture of an earlier choice arriving late is not shown.
constexpr const char* kRequestedPhoto = "requestedPhoto";

} // namespace

PhotoSlotsPage::PhotoSlotsPage(int page) : certificatePageView(page) {}
PhotoSlotsPage::~PhotoSlotsPage() = default;

long PhotoSlotsPage::integerValue(const std::string& text) {
    bool ok = false;
    const long v = QString::fromStdString(text).trimmed().toLong(&ok);
    return ok ? v : 0;
}

std::vector<store::PhotoAsset>& PhotoSlotsPage::sourceList() {
    static std::vector<store::PhotoAsset> none;
    if (!appDelegate_) return none;
    return appDelegate_->allAssetsList()[showPhotoType_];
}

QListWidget* PhotoSlotsPage::collectionView() const {
    return formView() ? formView()->findChild<QListWidget*>("collectionView") : nullptr;
}
QPushButton* PhotoSlotsPage::deselectBtn() const {
    return formView() ? formView()->findChild<QPushButton*>("deselectBtn") : nullptr;
}
QPushButton* PhotoSlotsPage::closeCollectionBtn() const {
    return formView() ? formView()->findChild<QPushButton*>("closeCollectionBtn") : nullptr;
}

void PhotoSlotsPage::requestSlotImage(const std::string& localIdentifier, QLabel* slot) {
    auto library = photos::PhotoLibrary::shared();
    if (!library || !slot) return;
    const auto assets = library->assetsWithLocalIdentifiers({localIdentifier});
    if (assets.empty()) return;
    QPointer<QLabel> target(slot);
    const QString id = QString::fromStdString(localIdentifier);
    slot->setProperty(kRequestedPhoto, id);
    // Decoded off the GUI thread, upright, at the size paper can use for the slot: the screen shows it
    // scaled to the slot, a printed page draws it whole.
    photos::ImageManager::defaultManager()->requestImage(
        assets.front(), ui::printPixelSize(QSizeF(slot->size())), photos::ImageContentMode::AspectFill,
        [target, id](std::optional<ui::Image> image) {
            if (!target || !image || target->property(kRequestedPhoto).toString() != id) return;
            assets::showSlotPhotograph(target, image->bitmap);
        });
}

void PhotoSlotsPage::viewDidLoad() {
    assetsList_.clear();
    if (deselectBtn()) deselectBtn()->setEnabled(false);
    for (QWidget* view : formView()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const int t = ui::tag(view);
        auto* text = qobject_cast<ui::TextView*>(view);
        if (text) adoptTextView(text);
        const auto stored = t >= 1 ? record().find(std::to_string(t)) : record().end();
        if (stored == record().end()) continue;
        const std::string& v = stored->second;
        if (text) {
            text->setStdText(v);
            continue;
        }
        if (auto* label = qobject_cast<QLabel*>(view)) showStoredLabel(label, t, v);
    }
    if (auto* list = collectionView()) {
        connect(list, &QListWidget::itemClicked, this,
                [this, list](QListWidgetItem* item) { didSelectItem(list->row(item)); });
        list->setIconSize(QSize(120, 120));
    }
    if (deselectBtn()) connect(deselectBtn(), &QPushButton::clicked, this, &PhotoSlotsPage::deselectPhoto);
    if (closeCollectionBtn())
        connect(closeCollectionBtn(), &QPushButton::clicked, this, &PhotoSlotsPage::closeCollection);
    acceptTouches();
    setInitialData();
}

void PhotoSlotsPage::showStoredLabel(QLabel* label, int t, const std::string& v) {
    if (label->hasScaledContents() && t >= 10000) {
        requestSlotImage(v, label); // a photo slot
    } else {
        label->setText(QString::fromStdString(v));
    }
}

void PhotoSlotsPage::setInitialData() {}

void PhotoSlotsPage::tapImageView(long tag) {
    if (selectTagNo_ != 0) {
        if (QLabel* selected = labelWithTag(int(selectTagNo_))) selected->setStyleSheet(QString());
        if (deselectBtn()) deselectBtn()->setEnabled(false);
    }
    if (tag != selectTagNo_) {
        QLabel* slot = labelWithTag(int(tag));
        if (slot) slot->setStyleSheet("border: 3px solid red;");
        // A slot holds what its key names, whether or not the picture has arrived (or still exists).
        if (deselectBtn() && slot && record().count(std::to_string(tag))) deselectBtn()->setEnabled(true);
        selectTagNo_ = tag;
    } else {
        selectTagNo_ = 0;
    }
}

void PhotoSlotsPage::showAssets(std::vector<store::PhotoAsset> assets) {
    assetsList_ = std::move(assets);
    if (auto* list = collectionView()) {
        list->clear();
        for (const store::PhotoAsset& asset : assetsList_)
            addListItem(asset);
    }
}

void PhotoSlotsPage::addListItem(const store::PhotoAsset& asset) {
    auto* list = collectionView();
    if (!list) return;
    auto* item = new QListWidgetItem(list);
    item->setData(Qt::UserRole, QString::fromStdString(asset.localIdentifier));
    item->setSizeHint(QSize(128, 128));
    auto library = photos::PhotoLibrary::shared();
    const auto found =
        library ? library->assetsWithLocalIdentifiers({asset.localIdentifier}) : std::vector<photos::Asset>{};
    if (showInCell(list, item, found)) return;
    if (found.empty()) return;
    auto manager = photos::ImageManager::defaultManager();
    QPointer<QListWidget> target(list);
    const QString id = QString::fromStdString(asset.localIdentifier);
    // Read and decoded off the GUI thread, at about the icon's picture size.
    manager->requestImage(found.front(), QSize(kSlotImageSize, kSlotImageSize),
                          photos::ImageContentMode::AspectFill, [target, id](std::optional<ui::Image> image) {
                              if (!target || !image) return;
                              const QPixmap picture =
                                  aspectFill(image->bitmap, QSize(kSlotImageSize, kSlotImageSize));
                              for (int row = 0; row < target->count(); ++row)
                                  if (target->item(row)->data(Qt::UserRole).toString() == id)
                                      target->item(row)->setIcon(QIcon(picture));
                          });
}

QLabel* PhotoSlotsPage::labellabel() const {
    return formView() ? formView()->findChild<QLabel*>("labellabel") : nullptr;
}

void PhotoSlotsPage::dispCollectionView() {
    for (QWidget* w : {static_cast<QWidget*>(collectionView()), static_cast<QWidget*>(deselectBtn()),
                       static_cast<QWidget*>(closeCollectionBtn()), static_cast<QWidget*>(labellabel())})
        if (w) {
            w->setVisible(true);
            w->raise();
        }
}

void PhotoSlotsPage::hideCollectionView() {
    for (QWidget* w : {static_cast<QWidget*>(collectionView()), static_cast<QWidget*>(deselectBtn()),
                       static_cast<QWidget*>(closeCollectionBtn()), static_cast<QWidget*>(labellabel())})
        if (w) w->setVisible(false);
}

void PhotoSlotsPage::closeCollection() {
    hideCollectionView();
    tapImageView(selectTagNo_);
}

void PhotoSlotsPage::deselectPhoto() {
    if (selectTagNo_ != 0) deselectPhotoFromList(std::to_string(selectTagNo_));
}

void PhotoSlotsPage::didSelectItem(int row) {
    if (selectTagNo_ == 0 || row < 0 || row >= int(assetsList_.size())) return;
    const std::string key = std::to_string(selectTagNo_);
    QLabel* slot = labelWithTag(int(selectTagNo_));
    if (record().count(key)) deselectPhotoFromList(key);
    const store::PhotoAsset asset = assetsList_[size_t(row)];
    if (slot) requestSlotImage(asset.localIdentifier, slot);
    if (deselectBtn()) deselectBtn()->setEnabled(true);
    assetsList_.erase(assetsList_.begin() + row);
    if (auto* list = collectionView()) delete list->takeItem(row);
    if (slotsTakeFromSource()) removeAssetFromAllassetsList(asset);
    record()[key] = asset.localIdentifier;
}

void PhotoSlotsPage::removeAssetFromAllassetsList(const store::PhotoAsset& asset) {
    auto& list = sourceList();
    const auto it = std::find(list.begin(), list.end(), asset);
    if (it != list.end()) list.erase(it);
}

void PhotoSlotsPage::deselectPhotoFromList(const std::string& key) {
    const auto stored = record().find(key);
    if (stored != record().end() && appDelegate_) {
        const auto asset = appDelegate_->assetLocalIDList().find(stored->second);
        if (asset != appDelegate_->assetLocalIDList().end()) {
            assetsList_.push_back(asset->second);
            addListItem(asset->second);
            if (slotsTakeFromSource()) sourceList().push_back(asset->second);
        }
    }
    record().erase(key);
    if (QLabel* slot = labelWithTag(int(integerValue(key)))) {
        slot->setProperty(kRequestedPhoto, QVariant());
        slot->setPixmap(QPixmap());
    }
    if (deselectBtn()) deselectBtn()->setEnabled(false);
}

bool PhotoSlotsPage::textViewShouldBeginEditing(ui::TextView& view) {
    touchViewTag_ = ui::tag(&view);
    return touchMode();
}

void PhotoSlotsPage::keyboardWillShow(const foundation::Notification& notification) {
    if (appDelegate_) appDelegate_->viewPositionChange(notification, view(), true);
}

void PhotoSlotsPage::keyboardWillHide(const foundation::Notification& notification) {
    if (appDelegate_) appDelegate_->viewPositionChange(notification, view(), false);
}
