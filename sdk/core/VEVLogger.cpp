#include "sdk/core/VEVLogger.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "platform/foundation/LaunchArguments.h"
#include "platform/foundation/UserDefaults.h"

namespace {

// A once-flag that tests can re-arm: a plain std::once_flag cannot be reset.
std::mutex setUpMutex;
std::atomic<bool> setUpDone{false};
std::shared_ptr<foundation::UserDefaults> keptDefaults;

void VEVLoggerInitialize() {
    RULLoggerRegisterVersion(kVEVSDKReleaseVersion);

    bool forceSTDERR = foundation::launch::contains(kVEVLoggerForceSTDERRArgument);

    keptDefaults = foundation::UserDefaults::standard();
    bool debugMode = keptDefaults->boolForKey(kVEVDebugModeUserDefault);

    if (foundation::launch::contains(kVEVDebugDisabledArgument)) {
        keptDefaults->removeObjectForKey(kVEVDebugModeUserDefault);
        debugMode = false;
    } else if (foundation::launch::contains(kVEVDebugEnabledArgument) || debugMode) {
        keptDefaults->setBool(true, kVEVDebugModeUserDefault);
        debugMode = true;
    }

    RULLoggerInitializeASL();
    if (forceSTDERR) RULLoggerEnableSTDERR();
    if (debugMode) RULLoggerForceDebug();
}

void ensureLoggerSetUp() {
    if (setUpDone.load(std::memory_order_acquire)) return;
    std::lock_guard lock(setUpMutex);
    if (setUpDone.load(std::memory_order_relaxed)) return;
    VEVLoggerInitialize();
    setUpDone.store(true, std::memory_order_release);
}

} // namespace

void VEVLogBasic(VEVLoggerLevel level, std::string_view service, std::string_view code,
                 std::string_view format, RULLogArgs args) {
    ensureLoggerSetUp();
    RULLogBasic(level, service, false, code, format, args);
}

void VEVSetLoggerLevel(VEVLoggerLevel level) {
    ensureLoggerSetUp();
    RULSetLoggerLevel(level);
}

void VEVLoggerWrapper::logWithLevel(VEVLoggerLevel level, std::string_view service, std::string_view code,
                                    std::string_view message, RULLogArgs args) {
    VEVLogBasic(level, service, code, message, args);
}

namespace sdk {

void resetLoggerForTesting() {
    std::lock_guard lock(setUpMutex);
    setUpDone.store(false, std::memory_order_release);
    keptDefaults.reset();
    rul::resetLoggerForTesting();
}

} // namespace sdk
