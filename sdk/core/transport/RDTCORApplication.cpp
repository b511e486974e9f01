#include "sdk/core/transport/RDTCORApplication.h"

#include "platform/foundation/Bundle.h"
#include "sdk/core/NoDestructor.h"
#include "sdk/core/transport/RDTCORLog.h"

std::shared_ptr<RDTCORApplication> RDTCORApplication::sharedApplication() {
    static sdk::NoDestructor<std::shared_ptr<RDTCORApplication>> instance(create());
    return *instance;
}

void RDTCORApplication::load() {
    RDTCORLogDebug(
        "DOD is initializing. Please note that if you quit the app via the debugger and not through a "
        "lifecycle event, event data will remain on disk but storage won't have a reference to them "
        "since the singleton wasn't saved to disk.");
    sharedApplication();
}

std::shared_ptr<RDTCORApplication>
RDTCORApplication::create(std::shared_ptr<foundation::NotificationCenter> center) {
    auto app = std::make_shared<RDTCORApplication>(Token{}, std::move(center));
    std::weak_ptr<RDTCORApplication> weak = app;
    auto on = [&](const char* name, void (RDTCORApplication::*action)()) {
        app->observers_.push_back(app->center_->addObserver(name, nullptr, nullptr,
                                                            [weak, action](const foundation::Notification&) {
                                                                if (auto self = weak.lock())
                                                                    (self.get()->*action)();
                                                            }));
    };
    on(foundation::kApplicationDidEnterBackgroundNotification, &RDTCORApplication::enterBackground);
    on(kUISceneWillDeactivateNotification, &RDTCORApplication::enterBackground);
    on(foundation::kApplicationWillEnterForegroundNotification, &RDTCORApplication::enterForeground);
    on(kUISceneWillEnterForegroundNotification, &RDTCORApplication::enterForeground);
    on(foundation::kApplicationWillTerminateNotification, &RDTCORApplication::willTerminate);
    return app;
}

RDTCORApplication::RDTCORApplication(Token, std::shared_ptr<foundation::NotificationCenter> center)
    : center_(std::move(center)) {}

void RDTCORApplication::willTerminate() {
    center_->post(kRDTCORApplicationWillTerminateNotification);
}

void RDTCORApplication::enterBackground() {
    background_ = true;
    center_->post(kRDTCORApplicationDidEnterBackgroundNotification);
}

void RDTCORApplication::enterForeground() {
    background_ = false;
    center_->post(kRDTCORApplicationWillEnterForegroundNotification);
}

bool RDTCORApplication::isAppExtension() {
    // A copy: the main bundle may be replaced (and its owner let go of) on another thread meanwhile.
    std::string trimmed = foundation::Bundle::main()->path();
    const std::string suffix = ".appex";
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.pop_back();
    return trimmed.size() >= suffix.size() &&
           trimmed.compare(trimmed.size() - suffix.size(), suffix.size(), suffix) == 0;
}

RDTCORBackgroundIdentifier
RDTCORApplication::beginBackgroundTaskWithName(const std::string& name,
                                               std::function<void()> expirationHandler) {
    if (isAppExtension()) return RDTCORBackgroundIdentifierInvalid;
    std::lock_guard lock(tasksMutex_);
    RDTCORBackgroundIdentifier id = nextTask_++;
    tasks_.emplace(id, std::make_pair(name, std::move(expirationHandler)));
    RDTCORLogDebug("Creating background task with name:%@ bgID:%lu", name, id);
    return id;
}

void RDTCORApplication::endBackgroundTask(RDTCORBackgroundIdentifier identifier) {
    if (identifier == RDTCORBackgroundIdentifierInvalid) return;
    std::lock_guard lock(tasksMutex_);
    tasks_.erase(identifier);
}

size_t RDTCORApplication::openBackgroundTaskCount() const {
    std::lock_guard lock(tasksMutex_);
    return tasks_.size();
}

void RDTCORApplication::expireBackgroundTasks() {
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard lock(tasksMutex_);
        for (const auto& [id, task] : tasks_)
            if (task.second) handlers.push_back(task.second);
    }
    // Outside the lock: a handler ends its task here.
    for (const auto& handler : handlers)
        handler();
}
