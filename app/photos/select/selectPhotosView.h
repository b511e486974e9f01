#pragma once
// The photo selection screen of one kind: the patient's pool of photographs as a grid of thumbnails
// beside a board of numbered slots. Photographs are placed into the chosen slot, taken out again,
// opened large for editing, and registered: the move files them into the patient's albums and the
// slot map goes to photoMst. Nothing is stored before the register.
#include <QPointer>
#include <QPushButton>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/photos/albums/PhotoAlbumScan.h"
#include "app/photos/select/largePhotoView.h"
#include "app/shell/OneRunAtATime.h"
#include "platform/photos/ImageManager.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace ui {
class LongPressGestureRecognizer;
}
namespace Ui {
class selectPhotosView;
}

class selectPhotosView : public ui::ViewController,
                         public ui::CollectionViewDataSource,
                         public ui::CollectionViewDelegate,
                         public largePhotoViewDelegate,
                         public largePhotoViewHost {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "selectPhotosView";
    static constexpr const char* kCellIdentifier = "thumbnailCell";
    static constexpr int kRoentgenSlot = 50;
    static constexpr int kBoardTag = 100;
    static constexpr int kCoverTag = 999;
    // Thumbnails and slot pictures are asked for at this size, cut to fill it.
    static constexpr int kThumbnailSide = 300;

    selectPhotosView();
    ~selectPhotosView() override;

    void setPhotoType(std::string kind) { photoType_ = std::move(kind); }
    const std::string& photoType() const { return photoType_; }
    void setContentTitle(std::string title) { contentTitle_ = std::move(title); }
    const std::string& contentTitle() const { return contentTitle_; }

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

    // ---- the grid
    int numberOfItemsInSection(ui::CollectionView& view, int section) override;
    ui::CollectionViewCell* cellForItemAt(ui::CollectionView& view, int item) override;
    // Places the tapped photograph into the chosen slot.
    void didSelectItemAt(ui::CollectionView& view, int item) override;

    // ---- the board
    // A touch on a slot chooses it, or un-chooses it when it was chosen.
    void touchesBegan(QWidget* touched);
    void tapDeselectBtn();
    // Returns the chosen slot's photograph to the pool; true when `item` (the tapped row) moved down
    // by one because the photograph landed before it.
    bool deselectPhotoFromList(std::optional<int> item);
    // Shows the stored slot map's photographs in their slots and forgets slots whose photograph is no
    // longer in the kind album.
    void setRegistedPhotos();

    // ---- the large viewer
    void dispLargePhoto(ui::LongPressGestureRecognizer& recognizer);
    void dispLargePhotoFromList(ui::LongPressGestureRecognizer& recognizer);
    void openLargePhotoContainer(const photos::Asset& asset);
    ui::Image repairImage(const ui::Image& image);
    void closeLargePhotoContainer() override;
    void didSavedImage(const std::string& result) override;
    // Shows in the grid the photographs the viewer appended to the pool.
    void reloadCollection();
    std::shared_ptr<photoalbums::PhotoAlbumScan> albumScan() override { return scan_; }
    // The viewer, the one child controller.
    std::vector<ui::ViewControllerPtr> childViewControllers() const;

    // ---- register and cancel
    void registData();
    void tapCancelButton();

    // ---- state and views
    int selectTagNo() const { return selectTagNo_; }
    bool processFlg() const { return processFlg_; }
    ui::CollectionView* collectionView() const;
    QWidget* largePhotoContainer() const;
    QPushButton* deselectBtn() const;
    QWidget* cover() const;
    // The slot (or other board view) with the tag, or null.
    QWidget* slotView(int tag) const;
    const ui::BarButtonItemPtr& closeButton() const { return closeButton_; }
    ui::ImageView* uploadImage() const { return uploadImage_; }

  protected:
    void loadView() override;
    std::vector<ui::ViewControllerPtr> visibleChildren() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::shared_ptr<selectPhotosView> self();
    bool isSlotTag(int tag) const;
    void showPicture(int tag, const photos::Asset& asset, bool endsLoading);
    void restoreBarButtons();
    // Reads the stored slots again after a read that failed and places them on the board; false (and
    // the staff told why) when it fails again.
    bool takeStoredSlots();

    std::unique_ptr<Ui::selectPhotosView> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    std::shared_ptr<photos::ImageManager> imageManager_;
    std::shared_ptr<photoalbums::PhotoAlbumScan> scan_;
    std::shared_ptr<largePhotoView> viewer_;
    std::string photoType_;
    std::string contentTitle_;
    int selectTagNo_ = 0;
    bool processFlg_ = false;
    shell::OneRunAtATime registering_;
    int openRequest_ = 0; // the latest photograph asked for the large viewer
    ui::BarButtonItemPtr closeButton_;
    QPointer<ui::ImageView> uploadImage_;
};
