#include "app/photos/editing/PhotoEditorBase.h"

#include <QAbstractButton>
#include <QBuffer>
#include <QByteArray>
#include <QIcon>
#include <QLabel>
#include <chrono>
#include <thread>

#include "app/assets/PageResources.h"
#include "app/photos/editing/ImageRepair.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/photos/LibraryWait.h"
#include "platform/photos/PhotoLibrary.h"
#include "platform/ui/AlertController.h"
#include "platform/ui/Tag.h"

namespace {

std::atomic<double> settle{0.8};
std::atomic<double> successPause{2.0};

constexpr double kPollSeconds = 0.1;

// What the change's completion learns, read by the main thread once the busy flag is down.
struct SaveOutcome {
    std::string identifier;
    bool success = false;
    std::string errorDescription;
    // The created asset went to the main queue for the screen's lists; set there once it has run.
    bool appendPosted = false;
    std::atomic<bool> appended{false};
};

// A main-loop step while the created asset's append is awaited: short, it is next in the queue.
constexpr double kAppendStep = 0.01;

std::optional<foundation::Data> encodePng(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) return std::nullopt;
    return foundation::Data(bytes.begin(), bytes.end());
}

} // namespace

PhotoEditorBase::PhotoEditorBase() = default;
PhotoEditorBase::~PhotoEditorBase() = default;

void PhotoEditorBase::setSettleSeconds(double seconds) {
    settle = seconds;
}
double PhotoEditorBase::settleSeconds() {
    return settle;
}
void PhotoEditorBase::setSuccessPauseSeconds(double seconds) {
    successPause = seconds;
}
double PhotoEditorBase::successPauseSeconds() {
    return successPause;
}

void PhotoEditorBase::bindControls(QWidget* root, const char* modeLabelName) {
    imageObj_ = qobject_cast<moveObject*>(ui::viewWithTag(root, 1));
    baseView_ = root->findChild<QWidget*>("baseView");
    modeLabel_ = root->findChild<QLabel*>(modeLabelName);
    closeButton_ = root->findChild<QAbstractButton*>("closeButton");
    changeModeBtn_ = root->findChild<QAbstractButton*>("changeModeBtn");
    leftRotateBtn_ = root->findChild<QAbstractButton*>("leftRotateBtn");
    rightRotateBtn_ = root->findChild<QAbstractButton*>("rightRotateBtn");
    flipHorizontalBtn_ = root->findChild<QAbstractButton*>("flipHorizontalBtn");
    flipVerticalBtn_ = root->findChild<QAbstractButton*>("flipVerticalBtn");
}

void PhotoEditorBase::viewDidLoad() {
    rotateType_ = 0;
    if (imageObj_) {
        imageObj_->setTouchEndFlg(true);
        imageObj_->setMode("");
        imageObj_->setParentView(view());
        imageObj_->setFrame(QRectF(imageObj_->geometry()));
        imageObj_->setDefaultFrame(QRectF(imageObj_->geometry()));
    }
    std::weak_ptr<ViewController> weak = weak_from_this();
    auto call = [weak](void (PhotoEditorBase::*action)()) {
        return [weak, action] {
            if (auto self = std::static_pointer_cast<PhotoEditorBase>(weak.lock())) ((*self).*action)();
        };
    };
    saveButton_ =
        ui::BarButtonItem::create("保存", ui::BarButtonItemStyle::Done, call(&PhotoEditorBase::saveNewImage));
    auto wire = [this](QAbstractButton* button, auto action) {
        if (!button) return;
        // Held through the call: closing may drop the last other reference.
        connect(button, &QAbstractButton::clicked, this, [this, action] {
            auto keep = weak_from_this().lock();
            // The main loop turns while a save settles; the screen stays as the save found it.
            if (saving()) return;
            (this->*action)();
        });
    };
    wire(closeButton_, &PhotoEditorBase::tapCloseButton);
    wire(changeModeBtn_, &PhotoEditorBase::changeMode);
    wire(leftRotateBtn_, &PhotoEditorBase::leftAngleRotation);
    wire(rightRotateBtn_, &PhotoEditorBase::rightAngleRotation);
    wire(flipHorizontalBtn_, &PhotoEditorBase::flipHorizontal);
    wire(flipVerticalBtn_, &PhotoEditorBase::flipVertical);
}

void PhotoEditorBase::setImage(const ui::Image& image, const QImage& paintSource) {
    if (!imageObj_) return;
    imageObj_->setImage(image, paintSource);
    // A new picture starts unscaled over the whole window, whatever the last one was left at.
    imageObj_->setTransform(QTransform());
    imageObj_->setFrame(
        QRectF(QPointF(0, 0), baseView_ ? QSizeF(baseView_->size()) : QSizeF(imageObj_->size())));
    imageObj_->setTouchEndFlg(true);
    imageObj_->setMode("");
}

void PhotoEditorBase::setReversalVertical(bool flag) {
    reversalVertical_ = flag;
}
void PhotoEditorBase::setReversalHorizontal(bool flag) {
    reversalHorizontal_ = flag;
}

void PhotoEditorBase::getDefaultPhotoRect(QSizeF size) {
    if (!baseView_ || !imageObj_) return;
    const QRectF base(baseView_->geometry());
    const double W = base.width(), H = base.height();
    const double w = size.width(), h = size.height();
    if (w <= 0 || h <= 0) return;
    if (w > h) {
        baseImageRatio_ = float(W / w);
        const float ph = float(h * baseImageRatio_);
        const float m = float((H - ph) * 0.5);
        imageObj_->setRatioX(1);
        imageObj_->setRatioY(float((ph + m) / H));
        imageObj_->setDefaultFrame(QRectF(0, m, float(W), ph));
    } else {
        baseImageRatio_ = float(H / h);
        const float pw = float(w * baseImageRatio_);
        const float m = float((W - pw) * 0.5);
        imageObj_->setRatioX(float((pw + m) / W));
        imageObj_->setRatioY(1);
        imageObj_->setDefaultFrame(QRectF(m, 0, pw, float(H)));
    }
    imageObj_->setBaseFrame(base);
}

void PhotoEditorBase::changeRotateAndReverse(bool rotateMode) {
    rotateModeFlg_ = rotateMode;
    if (!imageObj_) return;
    imageObj_->setTransform(QTransform());
    auto show = [](QWidget* w, bool visible) {
        if (w) w->setVisible(visible);
    };
    show(leftRotateBtn_, rotateMode);
    show(rightRotateBtn_, rotateMode);
    show(flipHorizontalBtn_, !rotateMode);
    show(flipVerticalBtn_, !rotateMode);
    if (modeLabel_) modeLabel_->setText(rotateMode ? kModeTrimming : kModeReversal);
    if (changeModeBtn_)
        changeModeBtn_->setIcon(
            QIcon(assets::bundleImage(rotateMode ? kReversalButtonImage : kTrimmingButtonImage)));
    imageObj_->setDisableFlg(!rotateMode);
    if (rotateMode) return;
    const QSizeF window = baseView_ ? QSizeF(baseView_->size()) : QSizeF(imageObj_->size());
    imageObj_->setFrame(QRectF(QPointF(0, 0), window));
    if (rotateType_ >= 1) imageRotate(360 - rotateType_);
    // The mirror flags survive mode changes; show the ones a save will apply.
    imageObj_->setTransform(QTransform::fromScale(reversalHorizontal_ ? -1 : 1, reversalVertical_ ? -1 : 1));
}

void PhotoEditorBase::changeMode() {
    changeRotateAndReverse(!rotateModeFlg_);
}

void PhotoEditorBase::imageRotate(int degrees) {
    rotateType_ += degrees;
    if (rotateType_ < 0)
        rotateType_ = 270;
    else if (rotateType_ >= 271)
        rotateType_ = 0;
    if (!imageObj_) return;
    ui::Image image = imageObj_->image();
    switch (rotateType_) {
    case 0:
        image.orientation = ui::ImageOrientation::Up;
        break;
    case 90:
        image.orientation = ui::ImageOrientation::Right;
        break;
    case 180:
        image.orientation = ui::ImageOrientation::Down;
        break;
    case 270:
        image.orientation = ui::ImageOrientation::Left;
        break;
    default:
        break;
    }
    imageObj_->setImage(image);
    getDefaultPhotoRect(QSizeF(image.size()));
}

void PhotoEditorBase::flipVertical() {
    if (!imageObj_) return;
    imageObj_->geometryModel().concatScale(1, -1);
    imageObj_->setTransform(imageObj_->transform());
    reversalVertical_ = !reversalVertical_;
}

void PhotoEditorBase::flipHorizontal() {
    if (!imageObj_) return;
    imageObj_->geometryModel().concatScale(-1, 1);
    imageObj_->setTransform(imageObj_->transform());
    reversalHorizontal_ = !reversalHorizontal_;
}

void PhotoEditorBase::saveNewImage() {
    if (!imageObj_ || saving()) return;
    ZVProgressHUD::showWithStatus(QStringLiteral("保存中"));
    // The view's picture is shared, not copied: the drawing later reads this very bitmap.
    const ui::Image picture = imageObj_->image();
    if (rotateModeFlg_) {
        const int turn = rotateType_;
        // Turned as shown, the picture has its displayed size.
        saveRotateImage(picture.size(),
                        [picture, turn] { return photoedit::rotateImage(picture, turn).bitmap; });
        return;
    }
    const bool vertical = reversalVertical_, horizontal = reversalHorizontal_;
    if (const char* recipe = photoedit::reversalRecipe(vertical, horizontal); *recipe) recipes_ = recipe;
    saveImageToAlbum([picture, vertical, horizontal] {
        return photoedit::reversalImage(picture, vertical, horizontal).image.bitmap;
    });
}

void PhotoEditorBase::saveRotateImage(QSize turnedSize, PictureDrawing drawTurned) {
    const QRectF f = imageObj_ ? imageObj_->frame() : QRectF();
    const QSizeF window = baseView_ ? QSizeF(baseView_->size()) : QSizeF();
    foundation::log("imageObj X:%f / Y:%f, W:%f / H:%f", f.x(), f.y(), f.width(), f.height());
    foundation::log("baseImage W:%f / H:%f", double(turnedSize.width()), double(turnedSize.height()));
    const QRectF crop =
        photoedit::cropRect(window, f, imageObj_ ? imageObj_->defaultFrame() : QRectF(), baseImageRatio_);
    foundation::log("cutPoint X:%f / Y:%f", crop.x(), crop.y());
    foundation::log("cutSize W:%f / H:%f", crop.width(), crop.height());
    // An empty cut goes on as a picture-less save, which fails without creating anything.
    saveImageToAlbum([drawTurned = std::move(drawTurned), crop] {
        return drawTurned ? photoedit::cutImage(drawTurned(), crop) : QImage();
    });
}

void PhotoEditorBase::saveImageToAlbum(PictureDrawing draw) {
    SaveTarget target = saveTarget();
    std::atomic<int>& flag = busyFlag();
    saving_ = true;
    flag.store(1);
    photos::runMainLoopFor(settleSeconds());

    auto outcome = std::make_shared<SaveOutcome>();
    auto library = photos::PhotoLibrary::shared();
    const std::optional<std::string> album = target.albumLocalIdentifier;
    std::weak_ptr<photos::PhotoLibrary> weakLibrary = library;
    std::weak_ptr<ViewController> weakSelf = weak_from_this();
    const double pause = successPauseSeconds();
    library->performChanges(
        [draw = std::move(draw), album, outcome](photos::ChangeRequest& request) {
            if (!album) return request.fail("There is no album to save the edited photo into.");
            const QImage bitmap = draw ? draw() : QImage();
            if (bitmap.isNull()) return request.fail("The trimmed area holds no picture.");
            auto png = encodePng(bitmap);
            if (!png) return request.fail("The edited photo could not be encoded.");
            outcome->identifier = request.createImageAsset(std::move(*png));
            request.addAssets(*album, {outcome->identifier});
        },
        [outcome, weakLibrary, weakSelf, created = std::move(target.created), pause,
         &flag](bool success, foundation::ErrorPtr error) {
            if (success) {
                foundation::log("creating Asset Success");
                auto library = weakLibrary.lock();
                auto assets = library ? library->assetsWithLocalIdentifiers({outcome->identifier})
                                      : std::vector<photos::Asset>{};
                if (!assets.empty() && created) {
                    // The screen's lists belong to the GUI thread: the append goes to the main queue,
                    // which the GUI thread's poll runs; it is awaited before the screen closes.
                    outcome->appendPosted = true;
                    foundation::SerialQueue::main()->async(
                        [weakSelf, created, asset = assets.front(), outcome] {
                            if (auto self = weakSelf.lock()) created(asset);
                            outcome->appended = true;
                        });
                }
                std::this_thread::sleep_for(std::chrono::duration<double>(pause));
                outcome->success = true;
            } else {
                foundation::log("creating Asset Error: %@",
                                error ? error->description() : std::string("(null)"));
                outcome->errorDescription = error ? error->localizedDescription() : std::string();
            }
            // Last: the main thread reads the outcome once it sees the flag down.
            flag.store(0);
        });

    // The flag is looked at every 100 ms. In between the main loop runs, as in the settle, so the GUI
    // thread stays live (the HUD turns) while the library draws, encodes and writes; the screen takes
    // no input meanwhile (see saving()).
    while (flag.load() != 0)
        photos::runMainLoopFor(kPollSeconds);
    // The created asset joins the screen's lists before the screen closes.
    if (outcome->appendPosted)
        photos::runMainLoopUntil([outcome] { return outcome->appended.load(); }, kAppendStep);
    saving_ = false;

    if (outcome->success) {
        addAssetIdentifier_ = outcome->identifier;
        largePhotoClose("rotate");
    } else {
        saveFailed(outcome->errorDescription);
    }
}

void PhotoEditorBase::saveFailed(const std::string& localizedDescription) {
    // The spinner would otherwise stay over the alert until it is answered.
    ZVProgressHUD::dismiss();
    auto alert = ui::AlertController::create("Failed To Save New Image", localizedDescription);
    std::weak_ptr<ViewController> weak = weak_from_this();
    alert->addAction(ui::AlertAction::create("OK", ui::AlertActionStyle::Default, [weak](ui::AlertAction&) {
        if (auto self = std::static_pointer_cast<PhotoEditorBase>(weak.lock())) self->largePhotoClose("fail");
    }));
    present(alert, true);
}

void PhotoEditorBase::resetImageView() {
    if (!imageObj_) return;
    imageObj_->setTransform(QTransform());
    imageObj_->setFrame(imageObj_->defaultFrame());
}
