#include "app/photos/hud/ZVProgressHUD.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>

#include "app/photos/hud/HudArtwork.h"
#include "app/photos/hud/HudGeometry.h"
#include "app/photos/hud/HudKeyboard.h"
#include "platform/ui/AnimatedValue.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace {

struct Settings {
    QColor backgroundColor;
    QColor foregroundColor;
    QFont font;
    double ringThickness = 2.0;
    QImage infoImage, successImage, errorImage;
    ZVProgressHUD::MaskType defaultMaskType = ZVProgressHUDMaskTypeNone;
    QPointer<QWidget> viewForExtension;
};

Settings& settings() {
    static Settings s;
    return s;
}

QPointer<QWidget>& hostOverride() {
    static QPointer<QWidget> host;
    return host;
}

std::unique_ptr<ZVProgressHUD>& sharedInstance() {
    static std::unique_ptr<ZVProgressHUD> instance;
    return instance;
}

void announce(QWidget* w) {
    if (!w || !QAccessible::isActive()) return;
    QAccessibleEvent e(w, QAccessible::Alert);
    QAccessible::updateAccessibility(&e);
}

} // namespace

// ---- shared view and settings ----

ZVProgressHUD& ZVProgressHUD::sharedView() {
    auto& instance = sharedInstance();
    if (!instance) {
        instance.reset(new ZVProgressHUD);
        // Widgets must go while the application object still stands.
        qAddPostRoutine(releaseSharedView);
    }
    return *instance;
}

void ZVProgressHUD::releaseSharedView() {
    qRemovePostRoutine(releaseSharedView); // the next shared view registers again
    sharedInstance().reset();
}

ZVProgressHUD::ZVProgressHUD() {
    view(); // alpha 0, clear, no touches
    auto& s = settings();
    s.backgroundColor = Qt::white;
    s.foregroundColor = Qt::black;
    QFont font("Noto Sans CJK JP");
    font.setPixelSize(15); // the subheadline size
    s.font = font;
    s.infoImage = hud::bundleImage("info");
    s.successImage = hud::bundleImage("success");
    s.errorImage = hud::bundleImage("error");
    s.ringThickness = 2.0;
    s.defaultMaskType = ZVProgressHUDMaskTypeNone;
    // What keyboard is up now, for placing the box when no notification says so.
    _keyboardHeight = ui::Keyboard::shared().isVisible() ? ui::kKeyboardHeight : 0;
    for (const char* name : {hud::kKeyboardWillShow, hud::kKeyboardDidShow})
        _keyboardWatch.add(name, [this](const foundation::Notification& n) {
            _keyboardHeight = hud::keyboardHeight(n.userInfo);
        });
    for (const char* name : {hud::kKeyboardWillHide, hud::kKeyboardDidHide})
        _keyboardWatch.add(name, [this](const foundation::Notification&) { _keyboardHeight = 0; });
}

ZVProgressHUD::~ZVProgressHUD() {
    // No handler may come into a HUD half taken apart: the observers go first.
    _observers.clear();
    _keyboardWatch.clear();
    if (_fadeOutTimer) _fadeOutTimer->invalidate();
}

QColor ZVProgressHUD::currentBackgroundColor() {
    return settings().backgroundColor;
}
QColor ZVProgressHUD::currentForegroundColor() {
    return settings().foregroundColor;
}
QFont ZVProgressHUD::currentFont() {
    return settings().font;
}
double ZVProgressHUD::currentRingThickness() {
    return settings().ringThickness;
}

void ZVProgressHUD::setHostWindow(QWidget* host) {
    hostOverride() = host;
}

QWidget* ZVProgressHUD::hostWindow() {
    if (hostOverride()) return hostOverride().data();
    auto* app = ui::Application::shared();
    return app ? app->keyWindow().get() : nullptr;
}

void ZVProgressHUD::setBackgroundColor(QColor color) {
    auto& hud = sharedView();
    settings().backgroundColor = color;
    if (hud._hudView) hud._hudView->setBackgroundColor(color);
}

void ZVProgressHUD::setForegroundColor(QColor color) {
    sharedView();
    settings().foregroundColor = color;
}

void ZVProgressHUD::setFont(QFont font) {
    sharedView();
    settings().font = font;
}

void ZVProgressHUD::setRingThickness(double width) {
    sharedView();
    settings().ringThickness = width;
}

void ZVProgressHUD::setInfoImage(QImage image) {
    sharedView();
    settings().infoImage = image;
}

void ZVProgressHUD::setSuccessImage(QImage image) {
    sharedView();
    settings().successImage = image;
}

void ZVProgressHUD::setErrorImage(QImage image) {
    sharedView();
    settings().errorImage = image;
}

void ZVProgressHUD::setDefaultMaskType(MaskType maskType) {
    sharedView();
    settings().defaultMaskType = maskType;
}

void ZVProgressHUD::setViewForExtension(QWidget* view) {
    sharedView();
    settings().viewForExtension = view;
}

void ZVProgressHUD::setOffsetFromCenter(QPointF offset) {
    sharedView()._offsetFromCenter = offset;
}

void ZVProgressHUD::resetOffsetFromCenter() {
    setOffsetFromCenter(QPointF(0, 0));
}

// ---- class-level showing ----

void ZVProgressHUD::show() {
    showWithStatus(QString());
}

void ZVProgressHUD::showWithStatus(const QString& status) {
    showProgressStatus(-1, status);
}

void ZVProgressHUD::showWithMaskType(MaskType maskType) {
    showProgressMaskType(-1, maskType);
}

void ZVProgressHUD::showWithStatusMaskType(const QString& status, MaskType maskType) {
    showProgressStatusMaskType(-1, status, maskType);
}

void ZVProgressHUD::showProgress(float progress) {
    showProgressStatusMaskType(progress, QString(), settings().defaultMaskType);
}

void ZVProgressHUD::showProgressMaskType(float progress, MaskType maskType) {
    showProgressStatusMaskType(progress, QString(), maskType);
}

void ZVProgressHUD::showProgressStatus(float progress, const QString& status) {
    sharedView();
    showProgressStatusMaskType(progress, status, settings().defaultMaskType);
}

void ZVProgressHUD::showProgressStatusMaskType(float progress, const QString& status, MaskType maskType) {
    sharedView().showViewProgress(progress, status, maskType);
}

void ZVProgressHUD::showInfoWithStatus(const QString& status) {
    sharedView();
    showInfoWithStatusMaskType(status, settings().defaultMaskType);
}

void ZVProgressHUD::showInfoWithStatusMaskType(const QString& status, MaskType maskType) {
    sharedView();
    showImageStatusMaskType(settings().infoImage, status, maskType);
}

void ZVProgressHUD::showSuccessWithStatus(const QString& status) {
    sharedView();
    showSuccessWithStatusMaskType(status, settings().defaultMaskType);
}

void ZVProgressHUD::showSuccessWithStatusMaskType(const QString& status, MaskType maskType) {
    sharedView();
    showImageStatusMaskType(settings().successImage, status, maskType);
}

void ZVProgressHUD::showErrorWithStatus(const QString& status) {
    sharedView();
    showErrorWithStatusMaskType(status, settings().defaultMaskType);
}

void ZVProgressHUD::showErrorWithStatusMaskType(const QString& status, MaskType maskType) {
    sharedView();
    showImageStatusMaskType(settings().errorImage, status, maskType);
}

void ZVProgressHUD::showImageStatus(const QImage& image, const QString& status) {
    sharedView();
    showImageStatusMaskType(image, status, settings().defaultMaskType);
}

void ZVProgressHUD::showImageStatusMaskType(const QImage& image, const QString& status, MaskType maskType) {
    double duration = displayDurationForString(status);
    sharedView().showImageStatusDurationMaskType(image, status, duration, maskType);
}

void ZVProgressHUD::setStatus(const QString& status) {
    sharedView().setViewStatus(status);
}

void ZVProgressHUD::popActivity() {
    auto& hud = sharedView();
    if (hud._activityCount > 0) hud._activityCount--;
    if (hud._activityCount == 0) hud.dismissView();
}

void ZVProgressHUD::dismiss() {
    if (isVisible()) sharedView().dismissView();
}

bool ZVProgressHUD::isVisible() {
    return sharedView().view()->animated().alpha() == 1.0;
}

double ZVProgressHUD::displayDurationForString(const QString& string) {
    return hud::displayDuration(string);
}

// ---- the shared view's showing ----

QRect ZVProgressHUD::screenBounds() const {
    if (QWidget* host = hostWindow()) return host->rect();
    return ui::mainScreenBounds();
}

void ZVProgressHUD::attachOverlay() {
    auto* overlay = overlayView();
    QWidget* host = hostWindow();
    if (host && overlay->parentWidget() == host) {
        overlay->raise();
    } else if (host) {
        if (auto* window = qobject_cast<ui::Window*>(host)) {
            window->addLayer(overlay); // the window keeps its layers sized to it
        } else {
            overlay->setParent(host);
            overlay->setGeometry(host->rect());
        }
        overlay->raise();
    }
    // Without a host the overlay stays outside any window: nothing is seen, the state moves on.
    if (view()->parentWidget() != overlay) view()->setParent(overlay);
}

void ZVProgressHUD::detachOverlay() {
    if (!_overlayView) return;
    if (auto* window = qobject_cast<ui::Window*>(_overlayView->parentWidget()))
        window->removeLayer(_overlayView.get());
    _overlayView.reset();
}

void ZVProgressHUD::applyMaskTouches(const QString& status) {
    bool passThrough = _maskType == ZVProgressHUDMaskTypeNone;
    overlayView()->setAttribute(Qt::WA_TransparentForMouseEvents, passThrough);
    // The part that speaks for the HUD: the box alone when touches pass, else the whole view.
    hudView()->setAccessibleName(passThrough ? status : QString());
    view()->setAccessibleName(passThrough ? QString() : status);
}

void ZVProgressHUD::showViewProgress(float progress, const QString& status, MaskType maskType) {
    attachOverlay();

    setFadeOutTimer(nullptr);
    imageView()->hide();
    _maskType = maskType;
    _progress = progress;
    _status = status;
    stringLabel()->setText(status);
    updatePosition();

    if (progress >= 0) {
        imageView()->setImage(QImage());
        imageView()->show();
        if (_indefiniteAnimatedView) _indefiniteAnimatedView->setParent(nullptr);
        ringLayer()->setStrokeEnd(progress);
        if (progress == 0) _activityCount++;
    } else {
        _activityCount++;
        cancelRingLayerAnimation();
        auto* spinner = indefiniteAnimatedView();
        if (spinner->parentWidget() != hudView()) spinner->setParent(hudView());
        spinner->show();
    }

    applyMaskTouches(status);

    auto* overlay = overlayView();
    if (overlay->parentWidget()) overlay->show();
    view()->show();
    hudView()->show();
    positionHUD(nullptr);

    auto& viewLook = view()->animated();
    auto& boxLook = hudView()->animated();
    if (viewLook.alpha() == 1.0 && boxLook.alpha() == 1.0) {
        view()->update(); // on screen: new content (perhaps another mask), no new appearing
        return;
    }

    postNotification(ZVProgressHUDWillAppearNotification, notificationUserInfo());
    registerNotifications();
    boxLook.setScale(boxLook.scale() * 1.3);
    if (isClear()) {
        viewLook.setAlpha(1);
        boxLook.setAlpha(0);
    }
    ui::animate(
        0.15,
        [&] {
            boxLook.setScale(boxLook.scale() * (1 / 1.3));
            // A clear HUD fading out left its box at 0: a masked show coming in meanwhile brings the
            // box back too, or the fade-out's end would find it at 0 and take the new showing away.
            boxLook.setAlpha(1);
            if (!isClear()) viewLook.setAlpha(1);
        },
        [this, alive = lifetime()](bool) {
            if (!alive) return;
            postNotification(ZVProgressHUDDidAppearNotification, notificationUserInfo());
            announce(_hudView.get());
        });
    view()->update();
}

void ZVProgressHUD::showImageStatusDurationMaskType(const QImage& image, const QString& status,
                                                    double duration, MaskType maskType) {
    _progress = -1;
    _maskType = maskType;
    cancelRingLayerAnimation();

    if (!isVisible()) showWithMaskType(maskType);

    imageView()->setTintColor(settings().foregroundColor);
    imageView()->setImage(image);
    imageView()->show();
    _status = status;
    stringLabel()->setText(status);
    updatePosition();
    if (_indefiniteAnimatedView) _indefiniteAnimatedView->setParent(nullptr);

    applyMaskTouches(status);
    announce(hudView());

    setFadeOutTimer(ui::AnimationClock::shared().schedule(duration, [this, alive = lifetime()] {
        if (alive) dismissView();
    }));
}

void ZVProgressHUD::setViewStatus(const QString& status) {
    _status = status;
    stringLabel()->setText(status);
    updatePosition();
}

void ZVProgressHUD::setFadeOutTimer(ui::ClockTimerPtr timer) {
    if (_fadeOutTimer && _fadeOutTimer != timer) _fadeOutTimer->invalidate();
    _fadeOutTimer = std::move(timer);
}

bool ZVProgressHUD::isClear() const {
    return _maskType == ZVProgressHUDMaskTypeClear || _maskType == ZVProgressHUDMaskTypeNone;
}

foundation::Dictionary ZVProgressHUD::notificationUserInfo() const {
    if (_status.isEmpty()) return {};
    return {{ZVProgressHUDStatusUserInfoKey, _status.toStdString()}};
}

void ZVProgressHUD::postNotification(const char* name, foundation::Dictionary userInfo) {
    foundation::NotificationCenter::defaultCenter()->post(name, nullptr, std::move(userInfo));
}

// ---- dismissal ----

void ZVProgressHUD::dismissView() {
    // A pending fade-out would come back and dismiss a later showing (or this one twice).
    setFadeOutTimer(nullptr);
    auto userInfo = notificationUserInfo();
    postNotification(ZVProgressHUDWillDisappearNotification, userInfo);
    _activityCount = 0;

    auto& viewLook = view()->animated();
    auto& boxLook = hudView()->animated();
    ui::animate(
        0.15,
        [&] {
            boxLook.setScale(boxLook.scale() * double(0.8f));
            if (isClear())
                boxLook.setAlpha(0);
            else
                viewLook.setAlpha(0);
        },
        [this, alive = lifetime(), userInfo](bool) {
            if (!alive) return;
            auto& viewLook = view()->animated();
            bool boxGone = !_hudView || _hudView->animated().alpha() == 0;
            if (viewLook.alpha() != 0 && !boxGone) return; // shown again meanwhile
            viewLook.setAlpha(0);
            if (_hudView) _hudView->animated().setAlpha(0);
            _observers.clear();
            cancelRingLayerAnimation();
            _hudView.reset();
            // The shared view leaves the overlay first, so the overlay's end does not take it along.
            view()->setParent(nullptr);
            detachOverlay();
            _indefiniteAnimatedView.reset();
            postNotification(ZVProgressHUDDidDisappearNotification, userInfo);
        });
}
