#pragma once
// The application wrapper of the transport: follows the app's background state from the app's
// life-cycle notifications, re-posts them under the transport's own names, and runs background tasks.
// A process without an app posts no life-cycle notifications and simply stays in the foreground.
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/ApplicationNotifications.h"
#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/transport/RDTCORTypes.h"

// What the app posts (with foundation::NotificationCenter::defaultCenter()).
inline constexpr const char* kUISceneWillEnterForegroundNotification =
    "UISceneWillEnterForegroundNotification";
inline constexpr const char* kUISceneWillDeactivateNotification = "UISceneWillDeactivateNotification";

// What the transport posts in turn (no object).
inline constexpr const char* kRDTCORApplicationDidEnterBackgroundNotification =
    "RDTCORApplicationDidEnterBackgroundNotification";
inline constexpr const char* kRDTCORApplicationWillEnterForegroundNotification =
    "RDTCORApplicationWillEnterForegroundNotification";
inline constexpr const char* kRDTCORApplicationWillTerminateNotification =
    "RDTCORApplicationWillTerminateNotification";

class RDTCORApplication : public std::enable_shared_from_this<RDTCORApplication> {
    struct Token {};

  public:
    static std::shared_ptr<RDTCORApplication> sharedApplication();
    // Class-load registration: creates the shared wrapper so it follows the app from launch.
    static void load();

    // A wrapper following the notifications of `center`; its handlers do nothing once it is gone.
    static std::shared_ptr<RDTCORApplication> create(std::shared_ptr<foundation::NotificationCenter> center =
                                                         foundation::NotificationCenter::defaultCenter());
    RDTCORApplication(Token, std::shared_ptr<foundation::NotificationCenter> center);
    RDTCORApplication(const RDTCORApplication&) = delete;
    RDTCORApplication& operator=(const RDTCORApplication&) = delete;

    bool isRunningInBackground() const { return background_; }
    // Whether the process runs as an app extension (its main bundle's path ends with ".appex").
    static bool isAppExtension();

    // Keeps the app alive for the named work; 0 inside an app extension.
    RDTCORBackgroundIdentifier beginBackgroundTaskWithName(const std::string& name,
                                                           std::function<void()> expirationHandler);
    void endBackgroundTask(RDTCORBackgroundIdentifier identifier);
    // Background tasks begun and not yet ended.
    size_t openBackgroundTaskCount() const;
    // The system took the app's background time back: each open task's expiration handler runs.
    void expireBackgroundTasks();

  private:
    void enterBackground();
    void enterForeground();
    void willTerminate();
    std::shared_ptr<foundation::NotificationCenter> center_;
    std::atomic<bool> background_{false};
    std::vector<foundation::ObserverPtr> observers_;
    mutable std::mutex tasksMutex_;
    RDTCORBackgroundIdentifier nextTask_ = 1;
    std::map<RDTCORBackgroundIdentifier, std::pair<std::string, std::function<void()>>> tasks_;
};
