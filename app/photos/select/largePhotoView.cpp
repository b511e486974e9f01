#include "app/photos/select/largePhotoView.h"

#include "app/photos/albums/PhotoAlbumScan.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "ui_largePhotoView.h"

std::atomic<int>& largePhotoView::photoLibraryBusyFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

largePhotoView::largePhotoView() = default;
largePhotoView::~largePhotoView() = default;

void largePhotoView::loadView() {
    ui_ = std::make_unique<Ui::largePhotoView>();
    loadViewFromForm(*ui_);
    bindControls(view(), "modeLabel");
}

void largePhotoView::viewDidLoad() {
    PhotoEditorBase::viewDidLoad();
}

PhotoEditorBase::SaveTarget largePhotoView::saveTarget() {
    SaveTarget target;
    auto host = std::dynamic_pointer_cast<largePhotoViewHost>(parentViewController());
    auto scan = host ? host->albumScan() : nullptr;
    if (!scan) return target; // no album: the save fails, creating nothing
    if (scan->targetAlbum) target.albumLocalIdentifier = scan->targetAlbum->localIdentifier;
    // The host's lists take the new photo on the main thread, once the wait is over and before the
    // close; held weakly, so a scan that is gone is left alone.
    std::weak_ptr<photoalbums::PhotoAlbumScan> weakScan = scan;
    target.created = [weakScan](const photos::Asset& asset) {
        auto scan = weakScan.lock();
        if (!scan) return;
        scan->assetsList.push_back(asset);
        scan->selectedAssetList[asset.localIdentifier] = std::nullopt;
        scan->rowsList.push_back(asset.localIdentifier);
        scan->inAssetsFlgPatient = true;
    };
    return target;
}

void largePhotoView::largePhotoClose(const std::string& reason) {
    resetImageView();
    if (reason == "cancel") {
        if (auto d = delegate()) d->closeLargePhotoContainer();
        return;
    }
    ZVProgressHUD::dismiss();
    if (auto d = delegate()) d->didSavedImage(reason);
}
