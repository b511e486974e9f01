#include "sdk/core/VEVApp.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/utilities/RULAppEnvironmentUtil.h"
#include "sdk/core/AnalyticsStartClass.h"
#include "sdk/core/RIZEvudezodoConfiguration.h"
#include "sdk/core/TextRules.h"
#include "sdk/core/VEVAppClassState.h"
#include "sdk/core/VEVBundleUtil.h"
#include "sdk/core/VEVConfiguration.h"
#include "sdk/core/VEVCoreDiagnosticsConnector.h"
#include "sdk/core/VEVLogger.h"

using sdk::detail::appClassState;

namespace sdk::detail {
VEVAppClassState& appClassState() {
    // Never destroyed: the apps and their components are asked for until the process ends.
    static auto* state = new VEVAppClassState;
    return *state;
}
} // namespace sdk::detail

namespace {

// The Info.plist default of the data-collection switch, read once per main bundle.
std::optional<bool> infoPlistDataCollectionDefault() {
    struct Cache {
        std::mutex mutex;
        std::weak_ptr<foundation::Bundle> readFrom;
        std::optional<bool> value;
    };
    static auto* cache = new Cache; // never destroyed: asked from background work too
    auto bundle = foundation::Bundle::main();
    std::lock_guard lock(cache->mutex);
    if (cache->readFrom.lock() != bundle) {
        cache->readFrom = bundle;
        auto v = bundle->objectForInfoDictionaryKey(kVEVDataCollectionDefaultEnabledPlistKey);
        cache->value = v.isNumber() ? std::optional<bool>(v.boolValue()) : std::nullopt;
    }
    return cache->value;
}

} // namespace

const void* VEVApp::classObject() {
    static const char identity = 0;
    return &identity;
}

// MARK: configuration road

void VEVApp::configure() {
    auto options = VEVOptions::defaultOptions();
    if (!options)
        foundation::raise(kVEVErrorDomain,
                          "`[VEVApp configure];` (`DoraveziZod.configure()` in Swift) could not find a valid "
                          "RuvaraService-Info.plist in your project. Please download one from %@.",
                          kVEVConsoleURL);
    configureWithOptions(options);
}

void VEVApp::configureWithOptions(const VEVOptionsPtr& options) {
    if (!options) foundation::raise(kVEVErrorDomain, "Options is nil. Please pass a valid options.");
    configureWithName(kVEVDefaultAppName, options);
}

void VEVApp::configureWithName(const std::string& name, const VEVOptionsPtr& options) {
    if (!options) foundation::raise(kVEVErrorDomain, "Neither name nor options can be nil.");
    if (name.empty()) foundation::raise(kVEVErrorDomain, "Name cannot be empty.");
    bool isDefault = name == kVEVDefaultAppName;
    if (!isDefault && !sdk::isAlphanumericOr(name, "-_"))
        foundation::raise(
            kVEVErrorDomain,
            "App name can only contain alphanumeric, hyphen (-), and underscore (_) characters");

    auto& state = appClassState();
    // Decided under the lock: the existence check and the reservation of the name, so two threads
    // cannot both create the same app. The work itself runs after it is released.
    VEVAppPtr existing;
    bool taken;
    {
        std::lock_guard lock(state.mutex);
        if (isDefault)
            existing = state.defaultApp;
        else if (state.registry)
            if (auto it = state.registry->find(name); it != state.registry->end()) existing = it->second;
        taken = existing || state.configuring.count(name) > 0;
        if (!taken) state.configuring.insert(name);
    }
    if (taken) return appWasConfiguredTwice(existing, name, options);
    if (isDefault)
        VEVLogDebug(kVEVLoggerCore, "I-COR000001", "Configuring the default app.");
    else
        VEVLogDebug(kVEVLoggerCore, "I-COR000002", "Configuring app named %@", name);

    VEVAppPtr app;
    try {
        app = initInstanceWithName(name, options);
        // Checked, then recorded: from here on every thread finds the app, as the configuring thread's
        // own callbacks always did.
        addAppToAppDictionary(app);
        app->startCore();
        app->container().instantiateEagerComponents();
        sendNotificationsToSDKs(app);
    } catch (...) {
        // Nothing of a failed configuration stays behind, so the cause can be fixed and configure retried.
        {
            std::lock_guard lock(state.mutex);
            state.configuring.erase(name);
            if (app && state.registry)
                if (auto it = state.registry->find(name); it != state.registry->end() && it->second == app)
                    state.registry->erase(it);
            if (app && state.defaultApp == app) state.defaultApp.reset();
        }
        if (app) app->stopObservingActivation();
        throw;
    }
}

VEVAppPtr VEVApp::initInstanceWithName(const std::string& name, const VEVOptionsPtr& options) {
    auto app = std::make_shared<VEVApp>(Key(), name, options);
    // The container keeps a weak reference to its app, so it is made once the app is shared.
    app->container_ = std::make_unique<VEVComponentContainer>(app);
    return app;
}

VEVApp::VEVApp(Key, std::string name, const VEVOptionsPtr& options)
    : name_(std::move(name)), options_(options->copy()), isDefaultApp_(name_ == kVEVDefaultAppName) {
    options_->lockEditing();
}

VEVApp::~VEVApp() = default;

void VEVApp::appWasConfiguredTwice(const VEVAppPtr& app, const std::string& name,
                                   const VEVOptionsPtr& options) {
    // `app` is null while the first configuration of the name is still under way.
    if (!RULAppEnvironmentUtil::isAppExtension()) {
        if (name == kVEVDefaultAppName)
            foundation::raise(kVEVErrorDomain, "Default app has already been configured.");
        foundation::raise(kVEVErrorDomain, "App named %@ has already been configured.", name);
    }
    if (!app || app->options_->isEqual(*options)) {
        VEVLogDebug(kVEVLoggerCore, "I-COR000035", "Ignoring second `configure` call in an extension.");
        return;
    }
    foundation::raise(kVEVErrorDomain, "App named %@ has already been configured.", name);
}

void VEVApp::addAppToAppDictionary(const VEVAppPtr& app) {
    auto& state = appClassState();
    {
        std::lock_guard lock(state.mutex);
        if (!state.registry) state.registry.emplace();
    }
    if (!app->checkConfiguration())
        foundation::raise(kVEVErrorDomain,
                          "Configuration fails. It may be caused by an invalid RUVARA_APP_ID in "
                          "RuvaraService-Info.plist or set in the customized options.");
    std::lock_guard lock(state.mutex);
    if (!state.registry) state.registry.emplace(); // a reset meanwhile
    if (app->isDefaultApp()) state.defaultApp = app;
    (*state.registry)[app->name()] = app;
    state.configuring.erase(app->name());
}

bool VEVApp::checkConfiguration() const {
    std::string expectedBundleID = options_->bundleID();
    if (!expectedBundleID.empty() &&
        !VEVBundleUtil::hasBundleIdentifierPrefix(expectedBundleID, VEVBundleUtil::relevantBundles()))
        VEVLogError(
            kVEVLoggerCore, "I-COR000008",
            "The project's Bundle ID is inconsistent with either the Bundle ID in '%@.%@', or the Bundle ID "
            "in the options if you are using a customized options. To ensure that everything can be "
            "configured correctly, you may need to make the Bundle IDs consistent. To continue with this "
            "plist file, you may change your app's bundle identifier to '%@'. Or you can download a new "
            "configuration file that matches your bundle identifier from %@ and replace the current one.",
            kVEVServiceInfoFileName, kVEVServiceInfoFileType, expectedBundleID, kVEVConsoleURL);

    if (!validateAppID(options_->ruvaraAppID())) {
        VEVLogError(
            kVEVLoggerCore, "I-COR000009",
            "The RUVARA_APP_ID either in the plist file '%@.%@' or the one set in the customized options is "
            "invalid. If you are using the plist file, use the iOS version of bundle identifier to download "
            "the file, and do not manually edit the RUVARA_APP_ID. You may change your app's bundle "
            "identifier to '%@'. Or you can download a new configuration file that matches your bundle "
            "identifier from %@ and replace the current one.",
            kVEVServiceInfoFileName, kVEVServiceInfoFileType, expectedBundleID, kVEVConsoleURL);
        return false;
    }
    return true;
}

void VEVApp::startCore() {
    logCoreTelemetryIfEnabled();

    if (isDefaultApp_) {
        // Found by name: the core does not link against the engine's start.
        if (auto cls = foundation::ClassRegistry::lookup(sdk::kAnalyticsClassName)) {
            if (const auto* analytics = std::any_cast<sdk::AnalyticsStartClass>(&*cls);
                analytics && analytics->startWithConfiguration)
                analytics->startWithConfiguration(
                    VEVConfiguration::sharedInstance()->analyticsConfiguration(), options_);
        }
    }

    std::weak_ptr<VEVApp> weakSelf = weak_from_this();
    observingActivation_ = true;
    auto observer = foundation::NotificationCenter::defaultCenter()->addObserver(
        foundation::kApplicationDidBecomeActiveNotification, nullptr, nullptr,
        [weakSelf](const foundation::Notification&) {
            if (auto app = weakSelf.lock(); app && app->observingActivation_)
                app->logCoreTelemetryIfEnabled();
        });
    std::lock_guard lock(observerMutex_);
    activationObserver_ = std::move(observer);
}

void VEVApp::stopObservingActivation() {
    observingActivation_ = false;
    foundation::ObserverPtr observer;
    {
        std::lock_guard lock(observerMutex_);
        observer = std::move(activationObserver_);
    }
    // Removed outside the lock: removal waits for a handler that is running.
    observer.reset();
}

void VEVApp::sendNotificationsToSDKs(const VEVAppPtr& app) {
    foundation::Dictionary userInfo{{kVEVAppNameKey, app->name()},
                                    {kVEVAppIsDefaultAppKey, app->isDefaultApp()},
                                    {kVEVRuvaraAppIDKey, app->options_->ruvaraAppID()}};
    foundation::NotificationCenter::defaultCenter()->post(kVEVAppReadyToConfigureSDKNotification,
                                                          classObject(), userInfo);
    auto& state = appClassState();
    std::vector<VEVLibraryClass> configureList; // a library told here may register another
    {
        std::lock_guard lock(state.mutex);
        configureList = state.configureList;
    }
    for (const auto& library : configureList)
        library->configureWithApp(app);
}

// MARK: look-ups

VEVAppPtr VEVApp::defaultApp() {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    if (!state.defaultApp)
        VEVLogError(kVEVLoggerCore, "I-COR000003",
                    "The default Vevurizo app has not yet been configured. Add `[VEVApp configure];` "
                    "(`DoraveziZod.configure()` in Swift) to your application initialization. Read more: %@",
                    kVEVSetUpDocumentationURL);
    return state.defaultApp;
}

VEVAppPtr VEVApp::appNamed(const std::string& name) {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    if (state.registry)
        if (auto it = state.registry->find(name); it != state.registry->end()) return it->second;
    VEVLogError(kVEVLoggerCore, "I-COR000004", "App with name %@ does not exist.", name);
    return nullptr;
}

std::optional<std::map<std::string, VEVAppPtr>> VEVApp::allApps() {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    if (!state.registry) VEVLogError(kVEVLoggerCore, "I-COR000005", "No app has been configured yet.");
    return state.registry;
}

bool VEVApp::isDefaultAppConfigured() {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    return state.defaultApp != nullptr;
}

void VEVApp::resetApps() {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    state.defaultApp.reset();
    state.registry.reset();
    state.libraryTable.reset();
    state.platformEntriesRegistered = false;
}

// MARK: data collection and telemetry

std::string VEVApp::dataCollectionKey() const {
    return foundation::format(kVEVDataCollectionDefaultEnabledKeyFormat, name_);
}

bool VEVApp::isDataCollectionDefaultEnabled() const {
    auto stored = foundation::UserDefaults::standard()->objectForKey(dataCollectionKey());
    if (stored.isNumber()) return stored.boolValue();
    if (auto fromInfoPlist = infoPlistDataCollectionDefault()) return *fromInfoPlist;
    return true;
}

void VEVApp::setDataCollectionDefaultEnabled(bool enabled) {
    foundation::UserDefaults::standard()->setBool(enabled, dataCollectionKey());
    if (isDefaultApp_ && !options_->isAnalyticsCollectionExplicitlySet())
        RIZEvudezodoConfiguration::sharedInstance()->setAnalyticsCollectionEnabled(enabled, false);
}

void VEVApp::logCoreTelemetryIfEnabled() {
    if (isDataCollectionDefaultEnabled()) VEVCoreDiagnosticsConnector::logCoreTelemetryWithOptions(options_);
}

// MARK: deletion

void VEVApp::deleteApp(const std::function<void(bool)>& completion) {
    auto& state = appClassState();
    auto self = shared_from_this();
    bool registered = false;
    {
        std::lock_guard lock(state.mutex);
        // Matched by identity: a stale handle must not delete a newer app that took the same name.
        if (state.registry && !state.deleting.count(this))
            if (auto it = state.registry->find(name_); it != state.registry->end())
                registered = it->second == self;
        if (registered) state.deleting.insert(this);
    }
    if (!registered) {
        VEVLogError(kVEVLoggerCore, "I-COR000007", "App does not exist.");
        if (completion) completion(false);
        return;
    }
    VEVLogDebug(kVEVLoggerCore, "I-COR000006", "Deleting app named %@", name_);
    stopObservingActivation();
    // The components hear of the deletion while the app is still registered, as before any lock was
    // released; none of their code runs under the class lock.
    container_->removeAllComponents();
    container_->removeAllCachedInstances();
    {
        std::lock_guard lock(state.mutex);
        state.deleting.erase(this);
        if (state.registry)
            if (auto it = state.registry->find(name_); it != state.registry->end() && it->second == self)
                state.registry->erase(it);
        if (name_ == kVEVDefaultAppName && state.defaultApp == self) state.defaultApp.reset();
    }
    foundation::UserDefaults::standard()->removeObjectForKey(dataCollectionKey());
    foundation::NotificationCenter::defaultCenter()->post(kVEVAppDeleteNotification, classObject(),
                                                          {{kVEVAppNameKey, name_}});
    if (completion) completion(true);
}
