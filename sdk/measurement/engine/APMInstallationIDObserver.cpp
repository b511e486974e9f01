#include "sdk/measurement/engine/APMInstallationIDObserver.h"

#include <mutex>

#include "platform/foundation/NotificationCenter.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/installations/VEVInstallations.h"

namespace {

struct State {
    std::mutex mutex;
    std::optional<std::string> installationID;
    uint64_t generation = 0; // answers of an earlier observation are dropped
    foundation::ObserverPtr observer;
};

State& state() {
    static auto* s = new State; // queue work may still arrive during static destruction
    return *s;
}

void readID(const std::weak_ptr<VEVInstallations>& weak, uint64_t generation) {
    auto installations = weak.lock();
    if (!installations) return;
    installations->installationIDWithCompletion(
        [generation](std::optional<std::string> identifier, foundation::ErrorPtr error) {
            if (!identifier) {
                VEVLogDebug(kVEVLoggerAnalytics, "I-RIZ000002", "Installation ID not available: %@",
                            error ? error->description() : std::string("(null)"));
                return;
            }
            auto& s = state();
            std::lock_guard lock(s.mutex);
            if (s.generation == generation) s.installationID = std::move(identifier);
        });
}

} // namespace

void APMInstallationIDObserver::startObserving(const std::shared_ptr<VEVInstallations>& installations) {
    if (!installations) return;
    auto& s = state();
    std::weak_ptr<VEVInstallations> weak = installations;
    std::string appName = installations->appName();
    uint64_t generation;
    foundation::ObserverPtr previous;
    {
        std::lock_guard lock(s.mutex);
        generation = ++s.generation;
        s.installationID.reset();
        previous = std::move(s.observer);
    }
    previous.reset(); // outside our lock: removal may wait for a running handler
    auto observer = foundation::NotificationCenter::defaultCenter()->addObserver(
        kVEVInstallationIDDidChangeNotification, nullptr, nullptr,
        [weak, appName, generation](const foundation::Notification& n) {
            auto it = n.userInfo.find(kVEVInstallationIDDidChangeNotificationAppNameKey);
            if (it == n.userInfo.end() || it->second.stringValue() != appName) return;
            readID(weak, generation);
        });
    {
        std::lock_guard lock(s.mutex);
        if (s.generation == generation) s.observer = std::move(observer);
    }
    readID(weak, generation);
}

void APMInstallationIDObserver::stopObserving() {
    auto& s = state();
    foundation::ObserverPtr previous;
    {
        std::lock_guard lock(s.mutex);
        ++s.generation;
        s.installationID.reset();
        previous = std::move(s.observer);
    }
}

std::optional<std::string> APMInstallationIDObserver::installationID() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return s.installationID;
}
