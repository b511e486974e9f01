#include "app/documents/certificate/certificateSlotsPage.h"

#include <QLabel>
#include <QListWidget>
#include <QString>

#include "app/assets/PageResources.h"
#include "app/documents/certificate/certificateView3.h"
#include "app/documents/certificate/selectPhotoCell3.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/photos/ImageManager.h"
#include "platform/ui/Tag.h"

namespace {

std::vector<std::string> splitPositions(const std::string& group) {
    std::vector<std::string> out;
    for (const QString& part : QString::fromStdString(group).split(',', Qt::SkipEmptyParts))
        out.push_back(part.toStdString());
    return out;
}

} // namespace

certificateSlotsPage::certificateSlotsPage(int page) : PhotoSlotsPage(page) {}
certificateSlotsPage::~certificateSlotsPage() = default;

store::FormData& certificateSlotsPage::record() const {
    static store::FormData none;
    return appDelegate_ ? appDelegate_->certifiDataList() : none;
}

std::vector<store::PhotoAsset>& certificateSlotsPage::sourceList() {
    if (appDelegate_ && pageNumber() == 3) return appDelegate_->allAssetsListForStep4();
    return PhotoSlotsPage::sourceList();
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

void certificateSlotsPage::showStoredLabel(QLabel* label, int t, const std::string& v) {
    if (label->hasScaledContents() && t < 10000 && pageNumber() == 3)
        label->setPixmap(assets::bundleImage("icon_" + v + ".png"));
    else
        PhotoSlotsPage::showStoredLabel(label, t, v);
}

bool certificateSlotsPage::showInCell(QListWidget* list, QListWidgetItem* item,
                                      const std::vector<photos::Asset>& found) {
    if (pageNumber() != 3 && pageNumber() != kOnePage) return false;
    auto* cell = new selectPhotoCell3(QRect(0, 0, 128, 128));
    list->setItemWidget(item, cell);
    if (!found.empty()) cell->showPhotograph(found.front(), photos::ImageManager::defaultManager());
    return true;
}

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

void certificateSlotsPage::settingRegisterdPhoto(const std::string& kind, long slotNumber) {
    setShowPhotoType(kind);
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
