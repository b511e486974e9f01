#pragma once
// The large photo viewer: the photo editor embedded as a child controller in the photo selection
// screen. It saves into the host's album and puts the new photo into the host's pool; the host shows
// saveButton() on its own bar and is told when the viewer closes.
#include <atomic>
#include <memory>
#include <string>

#include "app/photos/editing/PhotoEditorBase.h"

namespace photoalbums {
class PhotoAlbumScan;
}
namespace Ui {
class largePhotoView;
}

class largePhotoViewDelegate {
  public:
    virtual ~largePhotoViewDelegate() = default;
    virtual void closeLargePhotoContainer() = 0;
    // "rotate" after a save, "fail" after a failed one.
    virtual void didSavedImage(const std::string& result) = 0;
};

// What the viewer needs of its parent controller: the scan whose album it saves into and whose lists
// (assetsList, selectedAssetList, rowsList, inAssetsFlgPatient) take the new photo, on the main
// thread after the save's wait.
class largePhotoViewHost {
  public:
    virtual ~largePhotoViewHost() = default;
    virtual std::shared_ptr<photoalbums::PhotoAlbumScan> albumScan() = 0;
};

class largePhotoView : public PhotoEditorBase {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "largePhotoView";

    largePhotoView();
    ~largePhotoView() override;

    void viewDidLoad() override;
    void largePhotoClose(const std::string& reason) override;

    // Held weakly: a delegate that is gone is not told anything.
    void setDelegate(std::weak_ptr<largePhotoViewDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<largePhotoViewDelegate> delegate() const { return delegate_.lock(); }

    static std::atomic<int>& photoLibraryBusyFlag();

  protected:
    void loadView() override;
    SaveTarget saveTarget() override;
    std::atomic<int>& busyFlag() override { return photoLibraryBusyFlag(); }

  private:
    std::unique_ptr<Ui::largePhotoView> ui_;
    std::weak_ptr<largePhotoViewDelegate> delegate_;
};
