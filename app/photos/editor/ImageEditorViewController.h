#pragma once
// The photo editor presented by the one-page certificate: trims, turns and mirrors one photo of the
// patient and saves the result as a new asset in the patient's album
// (StaticVariableHelper::targetAlbumForOnePageImageEditor). Its own bar carries "戻る" and "保存".
#include <atomic>
#include <memory>

#include "app/photos/editing/PhotoEditorBase.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/NavigationItem.h"
#include "platform/ui/ViewController.h"

namespace Ui {
class ImageEditorViewController;
}

class ImageEditorViewController : public PhotoEditorBase {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "ImageEditorViewController";

    ImageEditorViewController();
    ~ImageEditorViewController() override;

    void viewDidLoad() override;
    void largePhotoClose(const std::string& reason) override;
    // Dismisses at once.
    void closeView();

    // The editor's own bar (left "戻る", right "保存").
    ui::NavigationItem& imageEditorNavigationBar() { return imageEditorNavigationBar_; }
    // The bar's widget in the form.
    QWidget* navigationBarView() const;

    static std::atomic<int>& photoLibraryBusyFlag();

    // Opens the library's asset in a new editor presented over `presenter`, once its picture has been
    // read and made upright off the GUI thread; nothing is shown once the presenter is gone.
    static void openOver(const std::shared_ptr<ui::ViewController>& presenter, const photos::Asset& asset);

  protected:
    void loadView() override;
    SaveTarget saveTarget() override;
    std::atomic<int>& busyFlag() override { return photoLibraryBusyFlag(); }

  private:
    std::unique_ptr<Ui::ImageEditorViewController> ui_;
    ui::NavigationItem imageEditorNavigationBar_;
};
