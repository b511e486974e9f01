#pragma once
// The process-wide progress HUD: a rounded box in front of the main window with a spinner, a
// progress ring or an image, each with an optional status text; image showings dismiss themselves.
// An optional mask behind the box darkens the window and takes touches. Everything runs on the GUI
// thread; the class operations act on the one shared HUD.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <memory>
#include <vector>

#include "app/photos/hud/HudKeyboard.h"
#include "app/photos/hud/HudViews.h"
#include "app/photos/hud/ZVIndefiniteAnimatedView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/AnimationClock.h"
#include "platform/ui/OwnedWidget.h"
#include "platform/ui/ShapeLayer.h"

class QLabel;
class QMouseEvent;

enum ZVProgressHUDMaskType : unsigned {
    ZVProgressHUDMaskTypeNone = 1,     // touches reach the window
    ZVProgressHUDMaskTypeClear = 2,    // touches stop at the HUD, nothing drawn
    ZVProgressHUDMaskTypeBlack = 3,    // touches stop, the window darkened
    ZVProgressHUDMaskTypeGradient = 4, // touches stop, a radial darkening
};

inline constexpr const char* ZVProgressHUDWillAppearNotification = "ZVProgressHUDWillAppearNotification";
inline constexpr const char* ZVProgressHUDDidAppearNotification = "ZVProgressHUDDidAppearNotification";
inline constexpr const char* ZVProgressHUDWillDisappearNotification =
    "ZVProgressHUDWillDisappearNotification";
inline constexpr const char* ZVProgressHUDDidDisappearNotification = "ZVProgressHUDDidDisappearNotification";
inline constexpr const char* ZVProgressHUDDidReceiveTouchEventNotification =
    "ZVProgressHUDDidReceiveTouchEventNotification";
inline constexpr const char* ZVProgressHUDDidTouchDownInsideNotification =
    "ZVProgressHUDDidTouchDownInsideNotification";
inline constexpr const char* ZVProgressHUDStatusUserInfoKey = "ZVProgressHUDStatusUserInfoKey";

class ZVProgressHUD {
  public:
    using MaskType = unsigned;

    // The one HUD of the process, made on first use (a QApplication must exist).
    static ZVProgressHUD& sharedView();
    // Lets the shared HUD go; the next use makes a new one. The application does this as it ends,
    // while widgets can still be destroyed.
    static void releaseSharedView();

    // Where the HUD attaches: the application's main window, or the widget set here (tests host the
    // HUD in a plain widget; null goes back to the main window).
    static void setHostWindow(QWidget* host);
    static QWidget* hostWindow();

    // Class operations. An empty text is no text.
    static void show();
    static void showWithStatus(const QString& status);
    static void showWithMaskType(MaskType maskType);
    static void showWithStatusMaskType(const QString& status, MaskType maskType);
    static void showProgress(float progress);
    static void showProgressMaskType(float progress, MaskType maskType);
    static void showProgressStatus(float progress, const QString& status);
    static void showProgressStatusMaskType(float progress, const QString& status, MaskType maskType);
    static void showInfoWithStatus(const QString& status);
    static void showInfoWithStatusMaskType(const QString& status, MaskType maskType);
    static void showSuccessWithStatus(const QString& status);
    static void showSuccessWithStatusMaskType(const QString& status, MaskType maskType);
    static void showErrorWithStatus(const QString& status);
    static void showErrorWithStatusMaskType(const QString& status, MaskType maskType);
    static void showImageStatus(const QImage& image, const QString& status);
    static void showImageStatusMaskType(const QImage& image, const QString& status, MaskType maskType);
    static void setStatus(const QString& status);
    static void popActivity();
    // Dismisses the HUD when it is visible; otherwise does nothing.
    static void dismiss();
    static bool isVisible();
    static void setOffsetFromCenter(QPointF offset);
    static void resetOffsetFromCenter();

    // Process-wide settings.
    static void setBackgroundColor(QColor color);
    static void setForegroundColor(QColor color);
    static void setFont(QFont font);
    static void setRingThickness(double width);
    static void setInfoImage(QImage image);
    static void setSuccessImage(QImage image);
    static void setErrorImage(QImage image);
    static void setDefaultMaskType(MaskType maskType);
    static void setViewForExtension(QWidget* view);

    // 0.06 s per UTF-16 unit plus 0.5 s, at most 5 s.
    static double displayDurationForString(const QString& string);
    // The image re-coloured in the colour's shape.
    static QImage image(const QImage& image, const QColor& tintColor);
    static std::shared_ptr<ui::ShapeLayer> createRingLayerWithCenter(QPointF center, double radius,
                                                                     double lineWidth, QColor color);

    ~ZVProgressHUD();
    ZVProgressHUD(const ZVProgressHUD&) = delete;
    ZVProgressHUD& operator=(const ZVProgressHUD&) = delete;

    // The shared view's own operations.
    void showViewProgress(float progress, const QString& status, MaskType maskType);
    void showImageStatusDurationMaskType(const QImage& image, const QString& status, double duration,
                                         MaskType maskType);
    void setViewStatus(const QString& status);
    void dismissView();
    void updatePosition();
    // With a keyboard or orientation notification, or none.
    void positionHUD(const foundation::Notification* notification);
    void moveToPoint(QPointF newCenter, double angle);
    void registerNotifications();
    foundation::Dictionary notificationUserInfo() const;
    void overlayViewDidReceiveTouchEvent(QMouseEvent* event);
    bool isClear() const;
    double visibleKeyboardHeight() const;
    void setFadeOutTimer(ui::ClockTimerPtr timer);
    void cancelRingLayerAnimation();
    // Paints the mask of the current mask type.
    void drawRect(QPainter& painter, const QRectF& rect);

    // Made on demand.
    hud::OverlayControl* overlayView();
    hud::BoxView* hudView();
    QLabel* stringLabel();
    hud::ImageView* imageView();
    ZVIndefiniteAnimatedView* indefiniteAnimatedView();
    std::shared_ptr<ui::ShapeLayer> ringLayer();
    std::shared_ptr<ui::ShapeLayer> backgroundRingLayer();
    // The full-window view that paints the mask.
    hud::MaskView* view();

    // State as it stands, without making anything.
    MaskType maskType() const { return _maskType; }
    float progress() const { return _progress; }
    unsigned activityCount() const { return _activityCount; }
    const ui::ClockTimerPtr& fadeOutTimer() const { return _fadeOutTimer; }
    QPointF offsetFromCenter() const { return _offsetFromCenter; }
    hud::OverlayControl* existingOverlay() const { return _overlayView.get(); }
    hud::BoxView* existingBox() const { return _hudView.get(); }
    ZVIndefiniteAnimatedView* existingSpinner() const { return _indefiniteAnimatedView.get(); }
    const std::shared_ptr<ui::ShapeLayer>& existingRing() const { return _ringLayer; }
    const std::shared_ptr<ui::ShapeLayer>& existingBackgroundRing() const { return _backgroundRingLayer; }

  private:
    ZVProgressHUD();
    // Held by deferred work (animation completions, the fade-out) as a QPointer: once the HUD is gone
    // they find it null and do nothing.
    QPointer<QObject> lifetime() { return &_lifetime; }
    static QColor currentBackgroundColor();
    static QColor currentForegroundColor();
    static QFont currentFont();
    static double currentRingThickness();
    QRect screenBounds() const;
    void attachOverlay();
    void detachOverlay();
    void applyMaskTouches(const QString& status);
    void postNotification(const char* name, foundation::Dictionary userInfo = {});

    QObject _lifetime;
    MaskType _maskType = ZVProgressHUDMaskTypeNone;
    ui::ClockTimerPtr _fadeOutTimer;
    ui::OwnedWidget<hud::OverlayControl> _overlayView;
    ui::OwnedWidget<hud::BoxView> _hudView;
    QPointer<QLabel> _stringLabel;
    QPointer<hud::ImageView> _imageView;
    ui::OwnedWidget<ZVIndefiniteAnimatedView> _indefiniteAnimatedView;
    float _progress = -1;
    unsigned _activityCount = 0;
    std::shared_ptr<ui::ShapeLayer> _backgroundRingLayer;
    std::shared_ptr<ui::ShapeLayer> _ringLayer;
    QPointF _offsetFromCenter;

    ui::OwnedWidget<hud::MaskView> _view;
    QString _status;
    hud::GuiObservers _observers;
    hud::GuiObservers _keyboardWatch;
    double _keyboardHeight = 0;
};
