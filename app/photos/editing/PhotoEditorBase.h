#pragma once
// What the photo editor and the large photo viewer share: trimming and turning in the trimming
// window, mirroring in reversal mode, and the save that writes the edited picture (PNG) as a new
// asset into an album, leaving the opened asset as it was. The subclasses give the form, the album,
// what a created asset updates, and how the screen closes.
#include <QImage>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/photos/editing/moveObject.h"
#include "platform/image/Image.h"
#include "platform/photos/Asset.h"
#include "platform/ui/BarButtonItem.h"
#include "platform/ui/ViewController.h"

class QAbstractButton;
class QLabel;

class PhotoEditorBase : public ui::ViewController {
    Q_OBJECT
  public:
    static constexpr const char* kModeTrimming = "トリミング／回転";
    static constexpr const char* kModeReversal = "画像反転";
    static constexpr const char* kReversalButtonImage = "btn_reversal.png";
    static constexpr const char* kTrimmingButtonImage = "btn_trimming.png";

    PhotoEditorBase();
    ~PhotoEditorBase() override;

    void viewDidLoad() override;

    // ---- host set-up (in this order): setImage, getDefaultPhotoRect, setTargetAsset, setRotateType,
    // setReversalVertical, setReversalHorizontal, changeRotateAndReverse(true)
    // The image view with tag 1.
    moveObject* imageView() const { return imageObj_; }
    // `paintSource`: the image view's painting copy, when made beforehand (see photoedit::openUpright).
    void setImage(const ui::Image& image, const QImage& paintSource = QImage());
    void getDefaultPhotoRect(QSizeF size);
    const photos::Asset& targetAsset() const { return targetAsset_; }
    void setTargetAsset(photos::Asset asset) { targetAsset_ = std::move(asset); }
    int rotateType() const { return rotateType_; }
    void setRotateType(int degrees) { rotateType_ = degrees; }
    bool reversalVertical() const { return reversalVertical_; }
    void setReversalVertical(bool flag);
    bool reversalHorizontal() const { return reversalHorizontal_; }
    void setReversalHorizontal(bool flag);

    // ---- modes
    void changeRotateAndReverse(bool rotateMode);
    void changeMode();
    bool rotateModeFlg() const { return rotateModeFlg_; }
    void leftAngleRotation() { imageRotate(-90); }
    void rightAngleRotation() { imageRotate(90); }
    void imageRotate(int degrees);
    void flipVertical();
    void flipHorizontal();

    // ---- saving
    // A save's picture is drawn where the save's library change runs, on the library's queue: turning,
    // mirroring, cutting and encoding a 12-megapixel photograph take far longer than the GUI thread may
    // be held. The drawing works on copies it holds itself, never on the screen.
    using PictureDrawing = std::function<QImage()>;
    void saveNewImage();
    // The trimming save: `drawTurned` draws the picture turned as shown, of `turnedSize`; the part of it
    // inside the trimming window is saved.
    void saveRotateImage(QSize turnedSize, PictureDrawing drawTurned);
    void saveImageToAlbum(PictureDrawing draw);
    // "cancel", "fail", "rotate" (or anything else: only the reset and the HUD).
    virtual void largePhotoClose(const std::string& reason) = 0;
    void tapCloseButton() { largePhotoClose("cancel"); }

    std::shared_ptr<ui::BarButtonItem> saveButton() const { return saveButton_; }
    void setSaveButton(std::shared_ptr<ui::BarButtonItem> item) { saveButton_ = std::move(item); }
    const std::string& addAssetIdentifier() const { return addAssetIdentifier_; }
    void setAddAssetIdentifier(std::string identifier) { addAssetIdentifier_ = std::move(identifier); }
    float baseImageRatio() const { return baseImageRatio_; }
    const std::string& recipes() const { return recipes_; }

    // ---- the form's controls
    QWidget* baseView() const { return baseView_; }
    QLabel* modeLabel() const { return modeLabel_; }
    QAbstractButton* closeButton() const { return closeButton_; }
    QAbstractButton* changeModeBtn() const { return changeModeBtn_; }
    QAbstractButton* leftRotateBtn() const { return leftRotateBtn_; }
    QAbstractButton* rightRotateBtn() const { return rightRotateBtn_; }
    QAbstractButton* flipHorizontalBtn() const { return flipHorizontalBtn_; }
    QAbstractButton* flipVerticalBtn() const { return flipVerticalBtn_; }

    // The fixed waits of a save: the main loop runs `settle` seconds before the change (0.8 s, so the
    // HUD is drawn) and a successful completion pauses `pause` seconds (2 s). Tests shorten them.
    static void setSettleSeconds(double seconds);
    static double settleSeconds();
    static void setSuccessPauseSeconds(double seconds);
    static double successPauseSeconds();

  protected:
    // Where a save goes, taken on the main thread when it starts.
    struct SaveTarget {
        std::optional<std::string> albumLocalIdentifier; // none: the save fails, creating nothing
        // Runs on the main thread with the created asset, after the wait and before the close; the
        // lists it writes are the GUI thread's own.
        std::function<void(const photos::Asset&)> created;
    };
    virtual SaveTarget saveTarget() = 0;
    // This class's busy flag: 1 from the start of a save until its completion.
    virtual std::atomic<int>& busyFlag() = 0;
    // From the start of a save until it has closed or failed; the screen takes no input meanwhile.
    bool saving() { return saving_ || busyFlag().load() != 0; }

    // Finds the controls of the form under `root` by object name (the mode label's name given).
    void bindControls(QWidget* root, const char* modeLabelName);
    // The image view back to identity transform and its default frame.
    void resetImageView();

  private:
    // After the wait, on the main thread, when the change failed: the HUD goes, then an alert says why;
    // its "OK" closes with "fail".
    void saveFailed(const std::string& localizedDescription);

    moveObject* imageObj_ = nullptr;
    QWidget* baseView_ = nullptr;
    QLabel* modeLabel_ = nullptr;
    QAbstractButton* closeButton_ = nullptr;
    QAbstractButton* changeModeBtn_ = nullptr;
    QAbstractButton* leftRotateBtn_ = nullptr;
    QAbstractButton* rightRotateBtn_ = nullptr;
    QAbstractButton* flipHorizontalBtn_ = nullptr;
    QAbstractButton* flipVerticalBtn_ = nullptr;

    float baseImageRatio_ = 0;
    bool rotateModeFlg_ = true;
    std::string recipes_;
    int rotateType_ = 0;
    bool reversalVertical_ = false;
    bool reversalHorizontal_ = false;
    std::shared_ptr<ui::BarButtonItem> saveButton_;
    photos::Asset targetAsset_;
    std::string addAssetIdentifier_;
    bool saving_ = false;
};
