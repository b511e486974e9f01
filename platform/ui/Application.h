#pragma once
// The application object: owns the window, drives the delegate through the life cycle (launch,
// activation, background, termination) and posts the matching notifications on the default centre,
// where the SDK and the transport observe them. The main queue runs on the Qt event loop from launch.
#include <QObject>
#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/ApplicationNotifications.h"
#include "platform/foundation/Value.h"

namespace ui {

using foundation::kApplicationDidBecomeActiveNotification;
using foundation::kApplicationDidEnterBackgroundNotification;
using foundation::kApplicationDidFinishLaunchingNotification;
using foundation::kApplicationWillEnterForegroundNotification;
using foundation::kApplicationWillResignActiveNotification;
using foundation::kApplicationWillTerminateNotification;

// The application's page in the system settings; this platform has none to open.
inline constexpr const char* kApplicationOpenSettingsURLString = "app-settings:";

class Application;
class Window;

class ApplicationDelegate {
  public:
    virtual ~ApplicationDelegate() = default;
    virtual bool applicationDidFinishLaunchingWithOptions(Application& /*app*/,
                                                          const foundation::Dictionary& /*launchOptions*/) {
        return true;
    }
    virtual void applicationDidBecomeActive(Application& /*app*/) {}
    virtual void applicationWillResignActive(Application& /*app*/) {}
    virtual void applicationDidEnterBackground(Application& /*app*/) {}
    virtual void applicationWillEnterForeground(Application& /*app*/) {}
    virtual void applicationWillTerminate(Application& /*app*/) {}

    // The one window; the application sets it before launching.
    std::shared_ptr<Window> window() const { return window_; }
    void setWindow(std::shared_ptr<Window> window) { window_ = std::move(window); }

  private:
    std::shared_ptr<Window> window_;
};

using DelegateFactory = std::function<std::shared_ptr<ApplicationDelegate>()>;
// Makes a delegate class known by name (the process entry names its delegate class).
void registerDelegateClass(const std::string& className, DelegateFactory factory);

enum class ApplicationState { Active = 0, Inactive = 1, Background = 2 };

class Application : public QObject {
    Q_OBJECT
  public:
    explicit Application(std::shared_ptr<ApplicationDelegate> delegate);
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // The application of this process while one exists.
    static Application* shared();

    const std::shared_ptr<ApplicationDelegate>& delegate() const { return delegate_; }
    std::shared_ptr<Window> keyWindow() const { return window_; }
    ApplicationState applicationState() const { return state_; }

    // Builds the window with the storyboard's first scene, lets the delegate finish launching, shows
    // the window, and becomes active on the event loop's next turn (whatever the platform reports).
    bool launch(const std::string& storyboardName, const foundation::Dictionary& launchOptions = {});

    // Life-cycle steps; Qt's application state drives them in a session, tests may call them.
    // Each step happens only from the state it belongs to.
    void becomeActive();
    void resignActive();
    void enterBackground();
    void enterForeground();
    void terminate();

    struct URLHandler {
        std::function<bool(const std::string&)> canOpen;
        std::function<bool(const std::string&)> open;
    };
    bool canOpenURL(const std::string& url) const;
    bool openURL(const std::string& url);
    // Where URLs go (tests record them instead of starting a browser); an empty member keeps the default.
    void setURLHandler(URLHandler handler);

  private:
    void followPlatformState(Qt::ApplicationState state);
    void post(const char* name);

    std::shared_ptr<ApplicationDelegate> delegate_;
    std::shared_ptr<Window> window_;
    ApplicationState state_ = ApplicationState::Inactive;
    bool launched_ = false;
    bool terminated_ = false;
    URLHandler urlHandler_;
};

// The process's main loop: builds the Qt application, instantiates the named delegate class, launches
// with the storyboard and runs until the window closes. Exceptions from the loop propagate.
int applicationMain(int argc, char** argv, const std::string& delegateClassName,
                    const std::string& storyboardName);

} // namespace ui
