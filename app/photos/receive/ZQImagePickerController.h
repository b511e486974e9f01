#pragma once
// A picker over the library's photographs: a grid of thumbnails of the all-photos album, newest
// first, filled by the image manager as the thumbnails are decoded; a tap picks (one, or several when
// multiple selection is on and "完了" is tapped), "キャンセル" cancels. The delegate hears both; it decides
// whether to dismiss.
#include <QListWidget>
#include <memory>
#include <vector>

#include "platform/photos/Asset.h"
#include "platform/photos/ImageManager.h"
#include "platform/ui/ViewController.h"

class ZQImagePickerController;

class ZQImagePickerControllerDelegate {
  public:
    virtual ~ZQImagePickerControllerDelegate() = default;
    virtual void qb_imagePickerControllerDidFinishPickingAssets(ZQImagePickerController& picker,
                                                                const std::vector<photos::Asset>& assets) = 0;
    virtual void qb_imagePickerControllerDidCancel(ZQImagePickerController& picker) = 0;
};

class ZQImagePickerController : public ui::ViewController {
    Q_OBJECT
  public:
    // The library's smart album of every photograph.
    static constexpr int kAssetCollectionSubtypeSmartAlbumUserLibrary = 209;
    static constexpr int kMediaTypeImage = 1;
    // How many of the newest photographs the grid shows.
    static constexpr int kMaxShown = 60;

    void setDelegate(const std::shared_ptr<ZQImagePickerControllerDelegate>& d) { delegate_ = d; }
    void setAllowsMultipleSelection(bool allows) { allowsMultipleSelection_ = allows; }
    bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
    void setMediaType(int type) { mediaType_ = type; }
    int mediaType() const { return mediaType_; }
    void setAssetCollectionSubtypes(std::vector<int> subtypes) { subtypes_ = std::move(subtypes); }
    const std::vector<int>& assetCollectionSubtypes() const { return subtypes_; }

    ~ZQImagePickerController() override;

    QListWidget* gridView() const { return grid_; }
    const std::vector<photos::Asset>& shownAssets() const { return assets_; }

    void viewDidLoad() override;

  private:
    void picked();
    void cancelled();
    void done();

    std::weak_ptr<ZQImagePickerControllerDelegate> delegate_;
    bool allowsMultipleSelection_ = true;
    int mediaType_ = 0;
    std::vector<int> subtypes_;
    std::vector<photos::Asset> assets_;
    QListWidget* grid_ = nullptr;
    std::weak_ptr<photos::ImageManager> imageManager_;
    std::vector<photos::ImageRequestID> requests_; // cancelled when the picker goes
};
