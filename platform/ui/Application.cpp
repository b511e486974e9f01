#include "platform/ui/Application.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QUrl>

#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/LaunchArguments.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/SerialQueue.h"
#include "platform/ui/MainQueue.h"
#include "platform/ui/Storyboard.h"
#include "platform/ui/Window.h"
#include "platform/ui/WindowScale.h"

namespace ui {

namespace {
Application* current = nullptr;

bool defaultCanOpen(const std::string& url) {
    const QString scheme = QUrl(QString::fromStdString(url)).scheme().toLower();
    return scheme == "http" || scheme == "https" || scheme == "mailto" || scheme == "file";
}

bool defaultOpen(const std::string& url) {
    return QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

void useJapaneseFont() {
    // Han characters take their Japanese forms only from a Japanese face.
    for (const char* family : {"Noto Sans CJK JP", "IPAGothic"})
        if (QFontDatabase::hasFamily(family)) {
            QFont f(family);
            f.setPixelSize(15);
            QApplication::setFont(f);
            return;
        }
}
} // namespace

void registerDelegateClass(const std::string& className, DelegateFactory factory) {
    foundation::ClassRegistry::registerClass(className, std::move(factory));
}

Application::Application(std::shared_ptr<ApplicationDelegate> delegate) : delegate_(std::move(delegate)) {
    current = this;
    urlHandler_ = {defaultCanOpen, defaultOpen};
}

Application::~Application() {
    if (delegate_) delegate_->setWindow(nullptr);
    window_.reset();
    if (current == this) {
        current = nullptr;
        removeMainQueueExecutor();
    }
}

Application* Application::shared() {
    return current;
}

bool Application::launch(const std::string& storyboardName, const foundation::Dictionary& launchOptions) {
    if (launched_) return true;
    launched_ = true;
    installMainQueueExecutor();
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        useJapaneseFont();
        connect(gui, &QGuiApplication::applicationStateChanged, this, &Application::followPlatformState);
    }
    if (auto* core = QCoreApplication::instance())
        connect(core, &QCoreApplication::aboutToQuit, this, &Application::terminate);

    window_ = std::make_shared<Window>();
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        window_->setScale(chooseWindowScale(foundation::launch::arguments(),
                                            QGuiApplication::platformName().toStdString(),
                                            gui->primaryScreen()));
    if (delegate_) delegate_->setWindow(window_);
    window_->setRootViewController(Storyboard::named(storyboardName)->instantiateInitialViewController());

    bool ok = delegate_ ? delegate_->applicationDidFinishLaunchingWithOptions(*this, launchOptions) : true;
    post(kApplicationDidFinishLaunchingNotification);
    window_->makeKeyAndVisible();
    // The offscreen platform never reports an active state: become active on the loop's next turn,
    // unless this application is being taken down by then (the loop's last turn runs in its destructor).
    foundation::SerialQueue::main()->async([alive = QPointer<Application>(this)] {
        if (alive && current == alive.data()) alive->becomeActive();
    });
    return ok;
}

void Application::followPlatformState(Qt::ApplicationState state) {
    switch (state) {
    case Qt::ApplicationActive:
        if (!launched_ || terminated_) return;
        enterForeground();
        becomeActive();
        break;
    case Qt::ApplicationInactive:
        resignActive();
        break;
    case Qt::ApplicationHidden:
    case Qt::ApplicationSuspended:
        enterBackground();
        break;
    }
}

void Application::becomeActive() {
    if (state_ != ApplicationState::Inactive || terminated_) return;
    state_ = ApplicationState::Active;
    if (delegate_) delegate_->applicationDidBecomeActive(*this);
    post(kApplicationDidBecomeActiveNotification);
}

void Application::resignActive() {
    if (state_ != ApplicationState::Active || terminated_) return;
    if (delegate_) delegate_->applicationWillResignActive(*this);
    post(kApplicationWillResignActiveNotification);
    state_ = ApplicationState::Inactive;
}

void Application::enterBackground() {
    if (state_ == ApplicationState::Background || terminated_) return;
    resignActive();
    state_ = ApplicationState::Background;
    if (delegate_) delegate_->applicationDidEnterBackground(*this);
    post(kApplicationDidEnterBackgroundNotification);
}

void Application::enterForeground() {
    if (state_ != ApplicationState::Background || terminated_) return;
    if (delegate_) delegate_->applicationWillEnterForeground(*this);
    post(kApplicationWillEnterForegroundNotification);
    state_ = ApplicationState::Inactive;
}

void Application::terminate() {
    if (terminated_) return;
    terminated_ = true;
    if (delegate_) delegate_->applicationWillTerminate(*this);
    post(kApplicationWillTerminateNotification);
}

void Application::post(const char* name) {
    foundation::NotificationCenter::defaultCenter()->post(name, this);
}

bool Application::canOpenURL(const std::string& url) const {
    return urlHandler_.canOpen ? urlHandler_.canOpen(url) : defaultCanOpen(url);
}

bool Application::openURL(const std::string& url) {
    if (!canOpenURL(url)) return false;
    return urlHandler_.open ? urlHandler_.open(url) : defaultOpen(url);
}

void Application::setURLHandler(URLHandler handler) {
    urlHandler_.canOpen = handler.canOpen ? std::move(handler.canOpen) : defaultCanOpen;
    urlHandler_.open = handler.open ? std::move(handler.open) : defaultOpen;
}

int applicationMain(int argc, char** argv, const std::string& delegateClassName,
                    const std::string& storyboardName) {
    QApplication qt(argc, argv);
    const auto* factory = foundation::ClassRegistry::lookupAs<DelegateFactory>(delegateClassName);
    if (!factory || !*factory)
        foundation::raise(foundation::kInvalidArgumentException,
                          "Unable to instantiate the application delegate: no class named %@ is loaded.",
                          delegateClassName);
    Application app((*factory)());
    app.launch(storyboardName);
    int rc = QApplication::exec();
    app.terminate();
    return rc;
}

} // namespace ui
