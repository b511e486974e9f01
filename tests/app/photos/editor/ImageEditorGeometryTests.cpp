// The editor's frames, ratios, modes and crop, with the worked numbers of a 600 x 600 window.
#include <QAbstractButton>
#include <QLabel>
#include <catch2/catch.hpp>

#include "app/photos/editing/ImageRepair.h"
#include "app/photos/editor/ImageEditorViewController.h"
#include "platform/ui/Tag.h"
#include "tests/support/Pictures.h"

using ui::ImageOrientation;

namespace {

bool near(QRectF a, QRectF b, double eps = 1e-3) {
    return std::abs(a.x() - b.x()) < eps && std::abs(a.y() - b.y()) < eps &&
           std::abs(a.width() - b.width()) < eps && std::abs(a.height() - b.height()) < eps;
}

// An editor handed a picture as the one-page certificate does.
std::shared_ptr<ImageEditorViewController> handedOver(const QImage& picture) {
    auto editor = std::make_shared<ImageEditorViewController>();
    editor->loadViewIfNeeded();
    editor->setImage({picture, ImageOrientation::Up});
    editor->getDefaultPhotoRect(QSizeF(picture.size()));
    editor->setTargetAsset({});
    editor->setRotateType(0);
    editor->setReversalVertical(false);
    editor->setReversalHorizontal(false);
    editor->changeRotateAndReverse(true);
    return editor;
}

} // namespace

TEST_CASE("the fitted picture's frame and ratios in a 600 x 600 window", "[editor][geometry]") {
    auto editor = handedOver(QImage(40, 30, QImage::Format_RGB32));
    REQUIRE(editor->baseView()->size() == QSize(600, 600));
    moveObject* view = editor->imageView();
    REQUIRE(view);
    CHECK(ui::tag(view) == 1);

    editor->getDefaultPhotoRect({4000, 3000});
    CHECK(editor->baseImageRatio() == 0.15f);
    CHECK(near(view->defaultFrame(), {0, 75, 600, 450}));
    CHECK(view->ratioX() == 1);
    CHECK(view->ratioY() == Approx(0.875));
    CHECK(view->baseFrame() == QRectF(editor->baseView()->geometry()));

    editor->getDefaultPhotoRect({3000, 4000});
    CHECK(editor->baseImageRatio() == 0.15f);
    CHECK(near(view->defaultFrame(), {75, 0, 450, 600}));
    CHECK(view->ratioX() == Approx(0.875));
    CHECK(view->ratioY() == 1);

    editor->getDefaultPhotoRect({3000, 3000}); // square: fitted by height
    CHECK(near(view->defaultFrame(), {0, 0, 600, 600}));
}

TEST_CASE("turning wraps at 0 and 360 and refits the turned picture", "[editor][geometry]") {
    auto editor = handedOver(QImage(40, 30, QImage::Format_RGB32));
    editor->leftAngleRotation();
    CHECK(editor->rotateType() == 270);
    CHECK(editor->imageView()->image().orientation == ImageOrientation::Left);
    CHECK(near(editor->imageView()->defaultFrame(), {75, 0, 450, 600}));
    editor->rightAngleRotation();
    CHECK(editor->rotateType() == 0);
    CHECK(editor->imageView()->image().orientation == ImageOrientation::Up);
    editor->rightAngleRotation();
    CHECK(editor->imageView()->image().orientation == ImageOrientation::Right);
    editor->rightAngleRotation();
    CHECK(editor->imageView()->image().orientation == ImageOrientation::Down);
    CHECK(editor->rotateType() == 180);
    // The view's frame is not moved by a turn.
    CHECK(editor->imageView()->frame() == QRectF(0, 0, 600, 600));
}

TEST_CASE("the two modes show their controls, and reversal mode turns the picture upright",
          "[editor][geometry]") {
    auto editor = handedOver(QImage(40, 30, QImage::Format_RGB32));
    CHECK(editor->rotateModeFlg());
    CHECK(editor->modeLabel()->text() == "トリミング／回転");
    CHECK_FALSE(editor->leftRotateBtn()->isHidden());
    CHECK_FALSE(editor->rightRotateBtn()->isHidden());
    CHECK(editor->flipHorizontalBtn()->isHidden());
    CHECK(editor->flipVerticalBtn()->isHidden());
    CHECK_FALSE(editor->changeModeBtn()->icon().isNull());
    CHECK_FALSE(editor->imageView()->disableFlg());

    editor->rightAngleRotation();
    editor->rightAngleRotation();
    editor->changeMode();
    CHECK_FALSE(editor->rotateModeFlg());
    CHECK(editor->modeLabel()->text() == "画像反転");
    CHECK(editor->leftRotateBtn()->isHidden());
    CHECK_FALSE(editor->flipVerticalBtn()->isHidden());
    CHECK(editor->imageView()->disableFlg());
    CHECK(editor->rotateType() == 0);
    CHECK(editor->imageView()->image().orientation == ImageOrientation::Up);
    CHECK(editor->imageView()->frame() == QRectF(0, 0, 600, 600));
    CHECK_FALSE(editor->changeModeBtn()->icon().isNull());
}

TEST_CASE("flips mirror the view, and coming back to reversal mode shows the flags a save applies",
          "[editor][geometry]") {
    auto editor = handedOver(QImage(40, 30, QImage::Format_RGB32));
    editor->changeMode();
    editor->flipVertical();
    CHECK(editor->reversalVertical());
    CHECK(editor->imageView()->transform() == QTransform::fromScale(1, -1));
    editor->flipHorizontal();
    CHECK(editor->imageView()->transform() == QTransform::fromScale(-1, -1));

    editor->changeMode(); // trimming: the view is unmirrored, the flags stay
    CHECK(editor->imageView()->transform().isIdentity());
    CHECK(editor->reversalVertical());
    CHECK(editor->reversalHorizontal());
    editor->changeMode();
    CHECK(editor->imageView()->transform() == QTransform::fromScale(-1, -1));
    editor->flipVertical();
    CHECK(editor->imageView()->transform() == QTransform::fromScale(-1, 1));
    CHECK_FALSE(editor->reversalVertical());
}

TEST_CASE("the crop of the trimming window in picture pixels", "[editor][geometry]") {
    const QSizeF window(600, 600);
    const QRectF fitted(0, 75, 600, 450);
    SECTION("saved at once: the window's square over the whole picture") {
        const QRectF crop = photoedit::cropRect(window, {0, 0, 600, 600}, fitted, 0.15f);
        CHECK(near(crop, {0, -500, 4000, 4000}, 1e-2));
        QImage picture(4000, 3000, QImage::Format_RGB32);
        picture.fill(Qt::white);
        CHECK(photoedit::cutImage(picture, crop).size() == QSize(4000, 3000));
    }
    SECTION("after a 1.5x pinch: the middle two thirds") {
        const QRectF crop = photoedit::cropRect(window, {-150, -150, 900, 900}, fitted, 0.15f);
        CHECK(near(crop, {666.667, 166.667, 2666.667, 2666.667}, 1e-2));
        QImage picture(4000, 3000, QImage::Format_RGB32);
        const QImage cut = photoedit::cutImage(picture, crop);
        CHECK(cut.size() == QSize(3334 - 666, 2834 - 166));
    }
    SECTION("a cut beside the picture is empty") {
        QImage picture(40, 30, QImage::Format_RGB32);
        CHECK(photoedit::cutImage(picture, {50, 0, 10, 10}).isNull());
        CHECK(photoedit::cutImage(picture, {0, 0, 0, 0}).isNull());
        CHECK(photoedit::cutImage(picture, {0, 0, std::nan(""), 10}).isNull());
    }
}
