#include "app/photos/ZVProgressHUD.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QThread>

#include "app/photos/HudArtwork.h"
#include "app/photos/HudGeometry.h"
#include "platform/ui/AnimatedValue.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "platform/ui/Screen.h"

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

// The tablet's status bar; the keyboard arithmetic gives it back twice.
constexpr double kStatusBarHeight = 20;

constexpr const char* kKeyboardWillShow = "UIKeyboardWillShowNotification";
constexpr const char* kKeyboardDidShow = "UIKeyboardDidShowNotification";
constexpr const char* kKeyboardWillHide = "UIKeyboardWillHideNotification";
constexpr const char* kKeyboardDidHide = "UIKeyboardDidHideNotification";
constexpr const char* kOrientationDidChange = "UIApplicationDidChangeStatusBarOrientationNotification";
constexpr const char* kKeyboardFrameBegin = "UIKeyboardFrameBeginUserInfoKey";
constexpr const char* kKeyboardFrameEnd = "UIKeyboardFrameEndUserInfoKey";
constexpr const char* kKeyboardDuration = "UIKeyboardAnimationDurationUserInfoKey";

// A keyboard frame's height from user info: an array (x, y, w, h), a dictionary with "height", or
// text holding four numbers such as "{{0, 760}, {768, 264}}" or "0,760,768,264".
double frameHeight(const foundation::Value& v) {
    if (auto a = v.array(); a && a->size() == 4) return (*a)[3].doubleValue();
    if (auto d = v.dictionary()) return v["height"].doubleValue();
    if (auto s = v.string()) {
        static const QRegularExpression number(R"([-+]?\d*\.?\d+(?:[eE][-+]?\d+)?)");
        std::vector<double> n;
        for (auto it = number.globalMatch(QString::fromStdString(*s)); it.hasNext();)
            n.push_back(it.next().captured().toDouble());
        if (n.size() == 4) return n[3];
    }
    return 0;
}

double keyboardHeightIn(const foundation::Dictionary& info) {
    auto it = info.find(kKeyboardFrameBegin);
    if (it == info.end()) it = info.find(kKeyboardFrameEnd);
    return it == info.end() ? 0 : frameHeight(it->second);
}

// Notifications may be posted from any thread; the HUD is touched on the GUI thread only.
void onGuiThread(std::function<void()> fn) {
    auto* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        fn();
    else
        QMetaObject::invokeMethod(app, std::move(fn), Qt::QueuedConnection);
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
        qAddPostRoutine([] { sharedInstance().reset(); });
    }
    return *instance;
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
    _keyboardWatch = foundation::NotificationCenter::defaultCenter()->addObserver(
        "", nullptr, nullptr, [this](const foundation::Notification& n) {
            if (n.name == kKeyboardWillShow || n.name == kKeyboardDidShow) {
                double h = keyboardHeightIn(n.userInfo);
                onGuiThread([this, h] { _keyboardHeight = h; });
            } else if (n.name == kKeyboardWillHide || n.name == kKeyboardDidHide) {
                onGuiThread([this] { _keyboardHeight = 0; });
            }
        });
}

ZVProgressHUD::~ZVProgressHUD() {
    if (_fadeOutTimer) _fadeOutTimer->invalidate();
}

QColor ZVProgressHUD::currentBackgroundColor() { return settings().backgroundColor; }
QColor ZVProgressHUD::currentForegroundColor() { return settings().foregroundColor; }
QFont ZVProgressHUD::currentFont() { return settings().font; }
double ZVProgressHUD::currentRingThickness() { return settings().ringThickness; }

void ZVProgressHUD::setHostWindow(QWidget* host) { hostOverride() = host; }

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

void ZVProgressHUD::setOffsetFromCenter(QPointF offset) { sharedView()._offsetFromCenter = offset; }

void ZVProgressHUD::resetOffsetFromCenter() { setOffsetFromCenter(QPointF(0, 0)); }

// ---- class-level showing ----

void ZVProgressHUD::show() { showWithStatus(QString()); }

void ZVProgressHUD::showWithStatus(const QString& status) { showProgressStatus(-1, status); }

void ZVProgressHUD::showWithMaskType(MaskType maskType) { showProgressMaskType(-1, maskType); }

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

void ZVProgressHUD::setStatus(const QString& status) { sharedView().setViewStatus(status); }

void ZVProgressHUD::popActivity() {
    auto& hud = sharedView();
    if (hud._activityCount > 0) hud._activityCount--;
    if (hud._activityCount == 0) hud.dismissView();
}

void ZVProgressHUD::dismiss() {
    if (isVisible()) sharedView().dismissView();
}

bool ZVProgressHUD::isVisible() { return sharedView().view()->animated().alpha() == 1.0; }

double ZVProgressHUD::displayDurationForString(const QString& string) { return hud::displayDuration(string); }

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
    if (auto* window = qobject_cast<ui::Window*>(_overlayView->parentWidget())) window->removeLayer(_overlayView.get());
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
    if (viewLook.alpha() == 1.0 && boxLook.alpha() == 1.0) return; // on screen: new content, no new appearing

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
            if (isClear())
                boxLook.setAlpha(1);
            else
                viewLook.setAlpha(1);
        },
        [this](bool) {
            postNotification(ZVProgressHUDDidAppearNotification, notificationUserInfo());
            announce(_hudView.get());
        });
    view()->update();
}

void ZVProgressHUD::showImageStatusDurationMaskType(const QImage& image, const QString& status, double duration,
                                                    MaskType maskType) {
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

    setFadeOutTimer(ui::AnimationClock::shared().schedule(duration, [this] { dismissView(); }));
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
        [this, userInfo](bool) {
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

// ---- layout and position ----

void ZVProgressHUD::updatePosition() {
    auto* label = stringLabel();
    bool hasText = !_status.isEmpty();
    auto* image = imageView();
    bool topTaken = !image->image().isNull() || image->isHidden() || (_progress != -1 && _progress >= 0);
    QSizeF measured = hasText ? hud::measureText(_status, label->font()) : QSizeF();
    hud::Layout l = hud::layoutFor(hasText, measured, topTaken);

    auto* box = hudView();
    box->animated().setBounds(l.box);
    image->setGeometry(QRect(qRound(l.imageCenter.x() - 14), qRound(l.imageCenter.y() - 14), 28, 28));
    label->setHidden(!hasText);
    label->setGeometry(l.labelFrame.toRect());

    auto* spinner = indefiniteAnimatedView();
    spinner->setRadius(l.spinnerRadius);
    QSizeF fit = spinner->sizeThatFits();
    spinner->setFrame(QRectF(l.spinnerCenter.x() - fit.width() / 2, l.spinnerCenter.y() - fit.height() / 2,
                             fit.width(), fit.height()));
    if (_progress != -1) {
        backgroundRingLayer()->setPosition(l.spinnerCenter);
        ringLayer()->setPosition(l.spinnerCenter);
    }
}

double ZVProgressHUD::visibleKeyboardHeight() const { return _keyboardHeight; }

void ZVProgressHUD::positionHUD(const foundation::Notification* notification) {
    QRect bounds = screenBounds();
    view()->setGeometry(bounds);
    if (_overlayView && _overlayView->parentWidget()) _overlayView->setGeometry(bounds);

    double keyboardHeight = 0, duration = 0;
    if (notification) {
        if (notification->name == kKeyboardWillShow || notification->name == kKeyboardDidShow)
            keyboardHeight = keyboardHeightIn(notification->userInfo);
        duration = notification->userInfo.count(kKeyboardDuration)
                       ? notification->userInfo.at(kKeyboardDuration).doubleValue()
                       : 0;
    } else {
        keyboardHeight = visibleKeyboardHeight();
    }
    QPointF center = hud::boxCenter(QSizeF(bounds.size()), keyboardHeight, kStatusBarHeight);
    if (notification)
        ui::animate(duration, [&] { moveToPoint(center, 0); });
    else
        moveToPoint(center, 0);
}

void ZVProgressHUD::moveToPoint(QPointF newCenter, double /*angle*/) {
    // The box turns by the given angle, always 0 here: its transform goes back to plain.
    auto& look = hudView()->animated();
    look.setScale(1);
    look.setCenter(newCenter + _offsetFromCenter);
    hudView()->update();
}

void ZVProgressHUD::registerNotifications() {
    _observers.clear(); // a second appearing must not double the handlers
    auto center = foundation::NotificationCenter::defaultCenter();
    for (const char* name :
         {kOrientationDidChange, kKeyboardWillHide, kKeyboardDidHide, kKeyboardWillShow, kKeyboardDidShow})
        _observers.push_back(center->addObserver(name, nullptr, nullptr, [this](const foundation::Notification& n) {
            onGuiThread([this, n] { positionHUD(&n); });
        }));
}

// ---- touches ----

void ZVProgressHUD::overlayViewDidReceiveTouchEvent(QMouseEvent* event) {
    // The event rides along as the sender; observers that want the place find it in the payload.
    QPointF at = view()->mapFrom(overlayView(), event->position());
    auto center = foundation::NotificationCenter::defaultCenter();
    center->post(foundation::Notification{ZVProgressHUDDidReceiveTouchEventNotification, event, {}, at});
    if (_hudView && _hudView->animated().frame().contains(at))
        center->post(foundation::Notification{ZVProgressHUDDidTouchDownInsideNotification, event, {}, at});
}
