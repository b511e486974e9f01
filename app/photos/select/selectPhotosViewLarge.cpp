// The selection screen's large viewer: opened by a long press on a thumbnail or a slot, closed by
// its own buttons; a saved edit joins the pool.

#include "app/photos/editing/ImageRepair.h"
#include "app/photos/editing/PhotoOpening.h"
#include "app/photos/select/selectPhotoCell.h"
#include "app/photos/select/selectPhotosView.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/Tag.h"

std::vector<ui::ViewControllerPtr> selectPhotosView::childViewControllers() const {
    if (!viewer_) return {};
    return {viewer_};
}

std::vector<ui::ViewControllerPtr> selectPhotosView::visibleChildren() const {
    if (!viewer_ || !isViewLoaded() || largePhotoContainer()->isHidden()) return {};
    return {viewer_};
}

void selectPhotosView::dispLargePhoto(ui::LongPressGestureRecognizer& recognizer) {
    if (recognizer.state() != ui::GestureState::Began || !scan_) return;
    ui::CollectionView* grid = collectionView();
    const auto item = grid->indexForItemAtPoint(recognizer.locationInView(grid).toPoint());
    if (!item || *item >= int(scan_->assetsList.size())) return;
    if (auto* cell = dynamic_cast<PhotoThumbnailCell*>(grid->cellForItem(*item)))
        uploadImage_ = cell->imageView();
    openLargePhotoContainer(scan_->assetsList[*item]);
}

void selectPhotosView::dispLargePhotoFromList(ui::LongPressGestureRecognizer& recognizer) {
    if (recognizer.state() != ui::GestureState::Began || !scan_) return;
    QWidget* slot = recognizer.view();
    if (!slot) return;
    uploadImage_ = qobject_cast<ui::ImageView*>(slot);
    auto id = scan_->selectedTagList.find(std::to_string(ui::tag(slot)));
    if (id == scan_->selectedTagList.end()) return;
    auto asset = scan_->selectedAssetList.find(id->second);
    if (asset == scan_->selectedAssetList.end() || !asset->second) return;
    openLargePhotoContainer(*asset->second);
}

ui::Image selectPhotosView::repairImage(const ui::Image& image) {
    return photoedit::repairImage(image);
}

void selectPhotosView::openLargePhotoContainer(const photos::Asset& asset) {
    std::weak_ptr<selectPhotosView> weak = self();
    // Pictures are decoded off the GUI thread; of two presses in a row only the later one is shown.
    const int request = ++openRequest_;
    photoedit::openUpright(photos::PhotoLibrary::shared(), asset, weak,
                           [weak, asset, request](std::optional<photoedit::OpenedPhoto> photo) {
                               auto s = weak.lock();
                               if (!s || !s->isViewLoaded() || request != s->openRequest_) return;
                               std::shared_ptr<largePhotoView> viewer;
                               for (const auto& child : s->childViewControllers())
                                   if ((viewer = std::dynamic_pointer_cast<largePhotoView>(child))) break;
                               if (!viewer) return;
                               if (!photo) {
                                   foundation::log("openLargePhotoContainer: no picture in %@",
                                                   asset.localIdentifier);
                                   return;
                               }
                               viewer->setDelegate(std::weak_ptr<largePhotoViewDelegate>(s));
                               // Made upright by repairImage on the opening queue.
                               const ui::Image& image = photo->image;
                               viewer->loadViewIfNeeded();
                               viewer->setImage(image, photo->paintSource);
                               viewer->getDefaultPhotoRect(QSizeF(image.size()));
                               viewer->setTargetAsset(asset);
                               viewer->setRotateType(0);
                               viewer->setReversalVertical(false);
                               viewer->setReversalHorizontal(false);
                               viewer->changeRotateAndReverse(true);
                               s->largePhotoContainer()->show();
                               s->largePhotoContainer()->raise();
                               s->navigationItem().setRightBarButtonItem(viewer->saveButton());
                               s->navigationItem().setLeftBarButtonItem(s->closeButton_);
                           });
}

void selectPhotosView::closeLargePhotoContainer() {
    if (!isViewLoaded()) return;
    largePhotoContainer()->hide();
    restoreBarButtons();
}

void selectPhotosView::didSavedImage(const std::string& result) {
    closeLargePhotoContainer();
    if (result != "rotate") return;
    auto alert = ui::AlertController::create("メッセージ", "加工した画像を追加しました。");
    std::weak_ptr<selectPhotosView> weak = self();
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, [weak](ui::AlertAction&) {
        if (auto s = weak.lock()) s->reloadCollection();
    }));
    present(alert, true);
}

void selectPhotosView::reloadCollection() {
    if (!scan_ || !isViewLoaded()) return;
    // The viewer appends to the pool; the grid is told of every photograph it does not show yet.
    std::vector<int> added;
    for (int item = collectionView()->numberOfItems(); item < int(scan_->assetsList.size()); ++item)
        added.push_back(item);
    if (added.empty()) return;
    try {
        collectionView()->insertItems(added);
        collectionView()->scrollToItem(added.back());
    } catch (const foundation::NamedException& e) {
        foundation::log("%@: %@", e.name(), e.reason());
        collectionView()->reloadData();
    }
}
