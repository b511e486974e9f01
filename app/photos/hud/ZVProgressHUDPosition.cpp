// Where the HUD's box goes: its layout from the status text, its place above the keyboard, and the
// touches that land on the mask.
#include <QLabel>
#include <QMouseEvent>

#include "app/photos/hud/HudGeometry.h"
#include "app/photos/hud/HudKeyboard.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "platform/ui/AnimatedValue.h"

namespace {
// The tablet's status bar; the keyboard arithmetic gives it back twice.
constexpr double kStatusBarHeight = 20;
} // namespace

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

double ZVProgressHUD::visibleKeyboardHeight() const {
    return _keyboardHeight;
}

void ZVProgressHUD::positionHUD(const foundation::Notification* notification) {
    QRect bounds = screenBounds();
    view()->setGeometry(bounds);
    if (_overlayView && _overlayView->parentWidget()) _overlayView->setGeometry(bounds);

    double keyboardHeight = 0, duration = 0;
    if (notification) {
        if (notification->name == hud::kKeyboardWillShow || notification->name == hud::kKeyboardDidShow)
            keyboardHeight = hud::keyboardHeight(notification->userInfo);
        duration = notification->userInfo.count(hud::kKeyboardDuration)
                       ? notification->userInfo.at(hud::kKeyboardDuration).doubleValue()
                       : 0;
    } else {
        keyboardHeight = visibleKeyboardHeight();
    }
    QPointF center = hud::boxCenter(QSizeF(bounds.size()), keyboardHeight, kStatusBarHeight);
    // The gradient is centred above the keyboard: all of it moves, not just what the box uncovers.
    if (_maskType == ZVProgressHUDMaskTypeGradient) view()->update();
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
    for (const char* name : {hud::kOrientationDidChange, hud::kKeyboardWillHide, hud::kKeyboardDidHide,
                             hud::kKeyboardWillShow, hud::kKeyboardDidShow})
        _observers.add(name, [this](const foundation::Notification& n) { positionHUD(&n); });
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
