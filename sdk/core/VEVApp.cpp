#include "sdk/core/VEVApp.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/utilities/RULAppEnvironmentUtil.h"
#include "sdk/core/AnalyticsStartClass.h"
#include "sdk/core/TextRules.h"
#include "sdk/core/VEVAppClassState.h"
#include "sdk/core/VEVBundleUtil.h"
#include "sdk/core/VEVConfiguration.h"
#include "sdk/core/VEVCoreDiagnosticsConnector.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/measurement/engine/RIZEvudezodoConfiguration.h"

using sdk::detail::appClassState;

namespace sdk::detail {
VEVAppClassState& appClassState() {
    static VEVAppClassState state;
    return state;
}
} // namespace sdk::detail

namespace {

// The Info.plist default of the data-collection switch, read once per main bundle.
std::optional<bool> infoPlistDataCollectionDefault() {
    static std::mutex mutex;
    static std::weak_ptr<foundation::Bundle> readFrom;
    static std::optional<bool> value;
    auto bundle = foundation::Bundle::main();
    std::lock_guard lock(mutex);
    if (readFrom.lock() != bundle) {
        readFrom = bundle;
        auto v = bundle->objectForInfoDictionaryKey(kVEVDataCollectionDefaultEnabledPlistKey);
        value = v.isNumber() ? std::optional<bool>(v.boolValue()) : std::nullopt;
    }
    return value;
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
    // One hold of the lock from the existence check to the end, so two threads cannot both create
    // the same app.
    std::lock_guard lock(state.mutex);
    if (isDefault) {
        if (state.defaultApp) return appWasConfiguredTwice(state.defaultApp, options);
        VEVLogDebug(kVEVLoggerCore, "I-COR000001", "Configuring the default app.");
    } else {
        if (state.registry)
            if (auto it = state.registry->find(name); it != state.registry->end())
                return appWasConfiguredTwice(it->second, options);
        VEVLogDebug(kVEVLoggerCore, "I-COR000002", "Configuring app named %@", name);
    }

    auto app = initInstanceWithName(name, options);
    if (app->isDefaultApp()) state.defaultApp = app;
    try {
        addAppToAppDictionary(app);
        app->container().instantiateEagerComponents();
        sendNotificationsToSDKs(app);
    } catch (...) {
        // Nothing of a failed configuration stays behind, so the cause can be fixed and configure retried.
        if (state.registry)
            if (auto it = state.registry->find(name); it != state.registry->end() && it->second == app)
                state.registry->erase(it);
        if (state.defaultApp == app) state.defaultApp.reset();
        app->stopObservingActivation();
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

void VEVApp::appWasConfiguredTwice(const VEVAppPtr& app, const VEVOptionsPtr& options) {
    if (!RULAppEnvironmentUtil::isAppExtension()) {
        if (app->isDefaultApp())
            foundation::raise(kVEVErrorDomain, "Default app has already been configured.");
        foundation::raise(kVEVErrorDomain, "App named %@ has already been configured.", app->name());
    }
    if (app->options_->isEqual(*options)) {
        VEVLogDebug(kVEVLoggerCore, "I-COR000035", "Ignoring second `configure` call in an extension.");
        return;
    }
    foundation::raise(kVEVErrorDomain, "App named %@ has already been configured.", app->name());
}

void VEVApp::addAppToAppDictionary(const VEVAppPtr& app) {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    if (!state.registry) state.registry.emplace();
    if (!app->configureCore())
        foundation::raise(kVEVErrorDomain,
                          "Configuration fails. It may be caused by an invalid RUVARA_APP_ID in "
                          "RuvaraService-Info.plist or set in the customized options.");
    (*state.registry)[app->name()] = app;
}

bool VEVApp::configureCore() {
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
    activationObserver_ = foundation::NotificationCenter::defaultCenter()->addObserver(
        foundation::kApplicationDidBecomeActiveNotification, nullptr, nullptr,
        [weakSelf](const foundation::Notification&) {
            if (auto app = weakSelf.lock(); app && app->observingActivation_)
                app->logCoreTelemetryIfEnabled();
        });
    return true;
}

void VEVApp::stopObservingActivation() {
    observingActivation_ = false;
    activationObserver_.reset();
}

void VEVApp::sendNotificationsToSDKs(const VEVAppPtr& app) {
    foundation::Dictionary userInfo{{kVEVAppNameKey, app->name()},
                                    {kVEVAppIsDefaultAppKey, app->isDefaultApp()},
                                    {kVEVRuvaraAppIDKey, app->options_->ruvaraAppID()}};
    foundation::NotificationCenter::defaultCenter()->post(kVEVAppReadyToConfigureSDKNotification,
                                                          classObject(), userInfo);
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    auto configureList = state.configureList; // a library told here may register another
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
    bool deleted = false;
    {
        std::lock_guard lock(state.mutex);
        auto self = shared_from_this();
        // Matched by identity: a stale handle must not delete a newer app that took the same name.
        bool registered = false;
        if (state.registry)
            if (auto it = state.registry->find(name_); it != state.registry->end())
                registered = it->second == self;
        if (registered) {
            VEVLogDebug(kVEVLoggerCore, "I-COR000006", "Deleting app named %@", name_);
            stopObservingActivation();
            container_->removeAllComponents();
            container_->removeAllCachedInstances();
            state.registry->erase(name_);
            foundation::UserDefaults::standard()->removeObjectForKey(dataCollectionKey());
            if (name_ == kVEVDefaultAppName) state.defaultApp.reset();
            foundation::NotificationCenter::defaultCenter()->post(kVEVAppDeleteNotification, classObject(),
                                                                  {{kVEVAppNameKey, name_}});
            deleted = true;
        } else {
            VEVLogError(kVEVLoggerCore, "I-COR000007", "App does not exist.");
        }
    }
    // Told outside the lock so a completion that waits on another thread cannot deadlock the class.
    if (completion) completion(deleted);
}
