#include "app/photos/ImageEditorViewController.h"

#include "app/photos/ZVProgressHUD.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationBar.h"
#include "ui_ImageEditorViewController.h"

std::atomic<int>& ImageEditorViewController::photoLibraryBusyFlag() {
    static std::atomic<int> flag{0};
    return flag;
}

ImageEditorViewController::ImageEditorViewController() = default;
ImageEditorViewController::~ImageEditorViewController() = default;

void ImageEditorViewController::loadView() {
    ui_ = std::make_unique<Ui::ImageEditorViewController>();
    loadViewFromForm(*ui_);
    bindControls(view(), "modelLabel");
}

QWidget* ImageEditorViewController::navigationBarView() const {
    return ui_ ? ui_->imageEditorNavigationBar : nullptr;
}

void ImageEditorViewController::viewDidLoad() {
    PhotoEditorBase::viewDidLoad();
    imageEditorNavigationBar_.setRightBarButtonItem(saveButton());
    std::weak_ptr<ViewController> weak = weak_from_this();
    imageEditorNavigationBar_.setLeftBarButtonItem(
        ui::BarButtonItem::create("戻る", ui::BarButtonItemStyle::Done, [weak] {
            if (auto self = std::static_pointer_cast<ImageEditorViewController>(weak.lock()))
                self->closeView();
        }));
    auto* bar = ui_->imageEditorNavigationBar;
    auto refresh = [this, bar] {
        bar->setContent({"", false, "", imageEditorNavigationBar_.leftBarButtonItems(),
                         imageEditorNavigationBar_.rightBarButtonItems()},
                        {});
    };
    connect(&imageEditorNavigationBar_, &ui::NavigationItem::changed, bar, refresh);
    refresh();
}

void ImageEditorViewController::closeView() {
    if (saving()) return; // not while a save is under way
    dismiss(true);
}

PhotoEditorBase::SaveTarget ImageEditorViewController::saveTarget() {
    const auto& album = StaticVariableHelper::targetAlbumForOnePageImageEditor();
    foundation::log("ImageEditorViewController, saveImageToAlbum, targetAlbum: %@",
                    album ? album->localizedTitle : std::string("(null)"));
    SaveTarget target;
    if (album) target.albumLocalIdentifier = album->localIdentifier;
    // Presented on its own, the editor has no parent view whose list would take the new photo; the
    // one-page certificate rebuilds its list from the patient's photos when it comes back into view.
    return target;
}

void ImageEditorViewController::largePhotoClose(const std::string& reason) {
    resetImageView();
    if (reason == "cancel") {
        dismiss(true);
        return;
    }
    ZVProgressHUD::dismiss();
    if (reason == "fail") {
        dismiss(true);
    } else if (reason == "rotate") {
        auto alert = ui::AlertController::create("メッセージ", "加工した画像を追加しました。");
        std::weak_ptr<ViewController> weak = weak_from_this();
        alert->addAction(
            ui::AlertAction::create("OK", ui::AlertActionStyle::Default, [weak](ui::AlertAction&) {
                if (auto self = weak.lock()) self->dismiss(true);
            }));
        present(alert, true);
    }
}
