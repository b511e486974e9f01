#include "app/documents/certificate/certificateSlotsPage.h"

#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "app/assets/PageResources.h"
#include "app/documents/certificate/certificateView3.h"
#include "app/documents/certificate/selectPhotoCell3.h"
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

std::vector<std::string> splitPositions(const std::string& group) {
    std::vector<std::string> out;
    for (const QString& part : QString::fromStdString(group).split(',', Qt::SkipEmptyParts))
        out.push_back(part.toStdString());
    return out;
}

} // namespace

certificateSlotsPage::certificateSlotsPage(int page) : certificatePageView(page) {}
certificateSlotsPage::~certificateSlotsPage() = default;

long certificateSlotsPage::integerValue(const std::string& text) {
    bool ok = false;
    const long v = QString::fromStdString(text).trimmed().toLong(&ok);
    return ok ? v : 0;
}

store::FormData& certificateSlotsPage::record() const {
    static store::FormData none;
    return appDelegate_ ? appDelegate_->certifiDataList() : none;
}

std::vector<store::PhotoAsset>& certificateSlotsPage::sourceList() {
    static std::vector<store::PhotoAsset> none;
    if (!appDelegate_) return none;
    if (pageNumber() == 3) return appDelegate_->allAssetsListForStep4();
    return appDelegate_->allAssetsList()[showPhotoType_];
}

QListWidget* certificateSlotsPage::collectionView() const {
    return formView() ? formView()->findChild<QListWidget*>("collectionView") : nullptr;
}
QPushButton* certificateSlotsPage::deselectBtn() const {
    return formView() ? formView()->findChild<QPushButton*>("deselectBtn") : nullptr;
}
QPushButton* certificateSlotsPage::closeCollectionBtn() const {
    return formView() ? formView()->findChild<QPushButton*>("closeCollectionBtn") : nullptr;
}

std::string certificateSlotsPage::positionGroup(int page, const std::string& kind, long slotNumber) {
    if (page == 3) {
        if (kind != "normal") return {};
        return slotNumber == 1 ? "2" : slotNumber == 2 ? "8" : "";
    }
    if (kind == "roentgen") return slotNumber == 1 ? "50" : "";
    static const char* const kGroups[] = {"", "5", "2,8", "7,9", "12,15", "1,3,4,6"};
    return slotNumber >= 0 && slotNumber <= 5 ? kGroups[slotNumber] : "";
}

void certificateSlotsPage::requestSlotImage(const std::string& localIdentifier, QLabel* slot) {
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

void certificateSlotsPage::viewDidLoad() {
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
    if (deselectBtn())
        connect(deselectBtn(), &QPushButton::clicked, this, &certificateSlotsPage::deselectPhoto);
    if (closeCollectionBtn())
        connect(closeCollectionBtn(), &QPushButton::clicked, this, &certificateSlotsPage::closeCollection);
    acceptTouches();
    setInitialData();
}

void certificateSlotsPage::showStoredLabel(QLabel* label, int t, const std::string& v) {
    if (label->hasScaledContents() && t >= 10000) {
        requestSlotImage(v, label); // a photo slot
    } else if (label->hasScaledContents() && pageNumber() == 3) {
        label->setPixmap(assets::bundleImage("icon_" + v + ".png"));
    } else {
        label->setText(QString::fromStdString(v));
    }
}

void certificateSlotsPage::setInitialData() {}

void certificateSlotsPage::touchesEnded(QWidget* touched) {
    if (!touchMode() || !appDelegate_) return;
    const int t = ui::tag(touched);
    touchViewTag_ = t;
    // Only image views are photo slots: the comment's tag lies in the slots' range too.
    const bool slot = qobject_cast<QLabel*>(touched) && qobject_cast<QLabel*>(touched)->hasScaledContents();
    if (pageNumber() == 2) {
        if (t == 30001 && slot) {
            tapImageView(t);
            settingRegisterdPhoto("roentgen", 1);
        } else if (t >= 20001 && slot) {
            tapImageView(t);
            settingRegisterdPhoto("velscope", t % 20000);
        } else if (t >= 10001 && t <= 20000 && slot) {
            tapImageView(t);
            settingRegisterdPhoto("normal", t % 10000);
        } else if (t >= 1000 && t <= 10000) {
            appDelegate_->onCheckLabelMulti(t, formView(), "●");
        } else if (t >= 600 && t <= 999) {
            appDelegate_->onCheckLabelSingle(t, formView(), "●");
        } else if (t >= 100 && t <= 599) {
            appDelegate_->onCheckLabelSingle(t, formView(), "■");
        }
        return;
    }
    if (t >= 10001 && slot) {
        tapImageView(t);
        settingRegisterdPhoto("normal", t % 40000);
    } else if (t >= 1000 && t <= 10000) {
        appDelegate_->onCheckLabelMulti(t, formView(), "●");
    } else if (t >= 100 && t <= 999) {
        appDelegate_->onCheckLabelSingle(t, formView(), "■");
    } else if (t >= 70 && t <= 99) {
        if (auto* page3 = dynamic_cast<certificateView3*>(this)) page3->nextFaceIcon(t);
    }
}

void certificateSlotsPage::tapImageView(long tag) {
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

void certificateSlotsPage::settingRegisterdPhoto(const std::string& kind, long slotNumber) {
    showPhotoType_ = kind;
    const std::vector<std::string> positions = splitPositions(positionGroup(pageNumber(), kind, slotNumber));
    const std::vector<store::PhotoAsset> candidates = sourceList();
    const store::FormData noPositions;
    const auto mapIt = appDelegate_ ? appDelegate_->allPhotoNoList().find(kind)
                                    : decltype(appDelegate_->allPhotoNoList().end()){};
    const store::FormData& map =
        appDelegate_ && mapIt != appDelegate_->allPhotoNoList().end() ? mapIt->second : noPositions;
    std::vector<store::PhotoAsset> offer;
    const auto inSlot = record().find(std::to_string(touchViewTag_));
    for (const store::PhotoAsset& asset : candidates)
        for (const std::string& position : positions) {
            const auto at = map.find(position);
            if (at == map.end() || at->second != asset.localIdentifier) continue;
            if (inSlot != record().end() && inSlot->second == asset.localIdentifier)
                removeAssetFromAllassetsList(asset); // already in this slot
            else
                offer.push_back(asset);
        }
    showAssets(std::move(offer));
    dispCollectionView();
}

void certificateSlotsPage::showAssets(std::vector<store::PhotoAsset> assets) {
    assetsList_ = std::move(assets);
    if (auto* list = collectionView()) {
        list->clear();
        for (const store::PhotoAsset& asset : assetsList_)
            addListItem(asset);
    }
}

void certificateSlotsPage::addListItem(const store::PhotoAsset& asset) {
    auto* list = collectionView();
    if (!list) return;
    auto* item = new QListWidgetItem(list);
    item->setData(Qt::UserRole, QString::fromStdString(asset.localIdentifier));
    item->setSizeHint(QSize(128, 128));
    auto library = photos::PhotoLibrary::shared();
    const auto found =
        library ? library->assetsWithLocalIdentifiers({asset.localIdentifier}) : std::vector<photos::Asset>{};
    auto manager = photos::ImageManager::defaultManager();
    // Page 3's list shows its photographs in cells of their own.
    if (pageNumber() == 3 || pageNumber() == kOnePage) {
        auto* cell = new selectPhotoCell3(QRect(0, 0, 128, 128));
        list->setItemWidget(item, cell);
        if (!found.empty()) cell->showPhotograph(found.front(), manager);
        return;
    }
    if (found.empty()) return;
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

QLabel* certificateSlotsPage::labellabel() const {
    return formView() ? formView()->findChild<QLabel*>("labellabel") : nullptr;
}

void certificateSlotsPage::dispCollectionView() {
    for (QWidget* w : {static_cast<QWidget*>(collectionView()), static_cast<QWidget*>(deselectBtn()),
                       static_cast<QWidget*>(closeCollectionBtn()), static_cast<QWidget*>(labellabel())})
        if (w) {
            w->setVisible(true);
            w->raise();
        }
}

void certificateSlotsPage::hideCollectionView() {
    for (QWidget* w : {static_cast<QWidget*>(collectionView()), static_cast<QWidget*>(deselectBtn()),
                       static_cast<QWidget*>(closeCollectionBtn()), static_cast<QWidget*>(labellabel())})
        if (w) w->setVisible(false);
}

void certificateSlotsPage::closeCollection() {
    hideCollectionView();
    tapImageView(selectTagNo_);
}

void certificateSlotsPage::deselectPhoto() {
    if (selectTagNo_ != 0) deselectPhotoFromList(std::to_string(selectTagNo_));
}

void certificateSlotsPage::didSelectItem(int row) {
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

void certificateSlotsPage::removeAssetFromAllassetsList(const store::PhotoAsset& asset) {
    auto& list = sourceList();
    const auto it = std::find(list.begin(), list.end(), asset);
    if (it != list.end()) list.erase(it);
}

void certificateSlotsPage::deselectPhotoFromList(const std::string& key) {
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

bool certificateSlotsPage::textViewShouldBeginEditing(ui::TextView& view) {
    touchViewTag_ = ui::tag(&view);
    return touchMode();
}

void certificateSlotsPage::keyboardWillShow(const foundation::Notification& notification) {
    if (appDelegate_) appDelegate_->viewPositionChange(notification, view(), true);
}

void certificateSlotsPage::keyboardWillHide(const foundation::Notification& notification) {
    if (appDelegate_) appDelegate_->viewPositionChange(notification, view(), false);
}
