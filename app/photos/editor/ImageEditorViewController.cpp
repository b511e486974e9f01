#include "app/photos/editor/ImageEditorViewController.h"

#include "app/photos/editing/PhotoOpening.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "app/shell/StaticVariableHelper.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/NavigationBar.h"
#include "platform/ui/Storyboard.h"
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

void ImageEditorViewController::openOver(const std::shared_ptr<ui::ViewController>& presenter,
                                         const photos::Asset& asset) {
    auto library = photos::PhotoLibrary::shared();
    if (!library || !presenter) return;
    std::weak_ptr<ui::ViewController> weak = presenter;
    // Read, decoded and made upright (repairImage) off the GUI thread.
    photoedit::openUpright(library, asset, weak, [weak, asset](std::optional<photoedit::OpenedPhoto> photo) {
        auto self = weak.lock();
        if (!self || !photo) return;
        auto editor = std::dynamic_pointer_cast<ImageEditorViewController>(
            ui::Storyboard::named("Main")->instantiateViewController(kSceneIdentifier));
        if (!editor) return;
        editor->loadViewIfNeeded();
        const ui::Image& upright = photo->image;
        editor->setImage(upright, photo->paintSource);
        editor->getDefaultPhotoRect(QSizeF(upright.size()));
        editor->setTargetAsset(asset);
        editor->setRotateType(0);
        editor->setReversalVertical(false);
        editor->setReversalHorizontal(false);
        editor->changeRotateAndReverse(true);
        self->present(editor, true);
    });
}
