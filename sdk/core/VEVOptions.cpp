#include "sdk/core/VEVOptions.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Plist.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVBundleUtil.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/VEVVersion.h"

namespace {

constexpr std::array kStringKeys = {kVEVAPIKey,        kVEVClientID,        kVEVTrackingID,  kVEVRCMSenderID,
                                    kVEVProjectID,     kVEVAndroidClientID, kVEVRuvaraAppID, kVEVDatabaseURL,
                                    kVEVStorageBucket, kVEVBundleID};
constexpr std::array kSwitchKeys = {kVEVIsMeasurementEnabled, kVEVIsAnalyticsEnabled, kVEVIsSignInEnabled,
                                    kVEVAnalyticsCollectionEnabled, kVEVAnalyticsCollectionDeactivated};
constexpr std::array kAnalyticsKeys = {kVEVIsMeasurementEnabled, kVEVAnalyticsCollectionEnabled,
                                       kVEVAnalyticsCollectionDeactivated};

void logIgnored(const std::string& key, const std::string& source, const char* expected) {
    VEVLogWarning(kVEVLoggerCore, "I-COR000015", "The value of '%@' in %@ is not a %@ and is ignored.", key,
                  source, expected);
}

// A hand-edited file may hold a number where text belongs or text where a switch belongs; such an
// entry is dropped (and logged) so that every reader can trust the type of what it finds.
foundation::Dictionary sanitized(foundation::Dictionary dict, const std::string& source) {
    for (const char* key : kStringKeys) {
        auto it = dict.find(key);
        if (it != dict.end() && !it->second.isString()) {
            logIgnored(key, source, "string");
            dict.erase(it);
        }
    }
    for (const char* key : kSwitchKeys) {
        auto it = dict.find(key);
        if (it != dict.end() && !it->second.isNumber()) {
            logIgnored(key, source, "number");
            dict.erase(it);
        }
    }
    return dict;
}

std::mutex defaultsMutex;
std::optional<foundation::Dictionary> cachedDefaultDictionary;
VEVOptionsPtr cachedDefaultOptions;

const std::string kServiceInfoFile = std::string(kVEVServiceInfoFileName) + "." + kVEVServiceInfoFileType;

} // namespace

VEVOptions::VEVOptions(Key, foundation::Dictionary optionsDictionary, bool usingOptionsFromDefaultPlist)
    : optionsDictionary_(std::move(optionsDictionary)),
      usingOptionsFromDefaultPlist_(usingOptionsFromDefaultPlist) {}

std::optional<foundation::Dictionary> VEVOptions::defaultOptionsDictionary() {
    std::lock_guard lock(defaultsMutex);
    if (cachedDefaultDictionary) return cachedDefaultDictionary;
    auto path = VEVBundleUtil::optionsDictionaryPathWithResourceName(
        kVEVServiceInfoFileName, kVEVServiceInfoFileType, VEVBundleUtil::relevantBundles());
    if (!path) {
        VEVLogError(kVEVLoggerCore, "I-COR000012", "Could not locate configuration file: '%@.%@'.",
                    kVEVServiceInfoFileName, kVEVServiceInfoFileType);
        return std::nullopt;
    }
    auto value = foundation::plist::readFile(*path);
    if (!value || !value->dictionary()) {
        VEVLogError(kVEVLoggerCore, "I-COR000011", "The configuration file is not a dictionary: '%@.%@'.",
                    kVEVServiceInfoFileName, kVEVServiceInfoFileType);
        return std::nullopt;
    }
    cachedDefaultDictionary = sanitized(*value->dictionary(), kServiceInfoFile);
    return cachedDefaultDictionary;
}

VEVOptionsPtr VEVOptions::defaultOptions() {
    {
        std::lock_guard lock(defaultsMutex);
        if (cachedDefaultOptions) return cachedDefaultOptions;
    }
    auto dict = defaultOptionsDictionary();
    if (!dict) return nullptr;
    std::lock_guard lock(defaultsMutex);
    if (!cachedDefaultOptions) cachedDefaultOptions = std::make_shared<VEVOptions>(Key(), *dict, true);
    return cachedDefaultOptions;
}

void VEVOptions::resetDefaultOptions() {
    std::lock_guard lock(defaultsMutex);
    cachedDefaultDictionary.reset();
    cachedDefaultOptions.reset();
}

VEVOptionsPtr VEVOptions::initWithContentsOfFile(const std::string& path) {
    if (path.empty()) {
        VEVLogError(kVEVLoggerCore, "I-COR000013", "The plist file path is nil.");
        return nullptr;
    }
    auto value = foundation::plist::readFile(path);
    if (!value || !value->dictionary()) {
        VEVLogError(kVEVLoggerCore, "I-COR000014",
                    "The configuration file at %@ does not exist or is not a well-formed plist file.", path);
        return nullptr;
    }
    return std::make_shared<VEVOptions>(Key(), sanitized(*value->dictionary(), path), false);
}

VEVOptionsPtr VEVOptions::initWithRuvaraAppID(const std::string& ruvaraAppID,
                                              const std::string& RCMSenderID) {
    foundation::Dictionary dict{{kVEVRuvaraAppID, ruvaraAppID},
                                {kVEVRCMSenderID, RCMSenderID},
                                {kVEVBundleID, foundation::Bundle::main()->bundleIdentifier()}};
    return std::make_shared<VEVOptions>(Key(), std::move(dict), false);
}

std::string VEVOptions::stringFor(const char* key) const {
    auto it = optionsDictionary_.find(key);
    return it == optionsDictionary_.end() ? std::string() : it->second.stringValue();
}

void VEVOptions::checkEditingLocked() const {
    if (editingLocked_)
        foundation::raise("com.vevurizo.core",
                          "Attempted to modify options after it's set on VEVApp. Please modify "
                          "all properties before initializing VEVApp.");
}

void VEVOptions::setString(const char* key, const std::string& value) {
    checkEditingLocked();
    optionsDictionary_[key] = value;
}

void VEVOptions::setSwitch(const char* key, bool value) {
    checkEditingLocked();
    optionsDictionary_[key] = value;
}

void VEVOptions::setDeepLinkURLScheme(const std::string& scheme) {
    checkEditingLocked();
    deepLinkURLScheme_ = scheme;
}

void VEVOptions::setAppGroupID(const std::string& group) {
    checkEditingLocked();
    appGroupID_ = group;
}

std::string VEVOptions::libraryVersionID() const {
    static const std::string id = [] {
        std::string version(kVEVCoreVersion);
        auto firstDot = version.find('.');
        auto secondDot = version.find('.', firstDot + 1);
        std::string major = version.substr(0, firstDot);
        int minor = std::atoi(version.substr(firstDot + 1, secondDot - firstDot - 1).c_str());
        int patch = std::atoi(version.substr(secondDot + 1).c_str());
        char tail[16];
        std::snprintf(tail, sizeof tail, "%02d%02d000", minor, patch);
        return major + tail;
    }();
    return id;
}

foundation::Dictionary
VEVOptions::analyticsOptionsDictionaryWithInfoDictionary(const foundation::Dictionary& info) const {
    std::lock_guard lock(analyticsMutex_);
    if (analyticsOptions_) return *analyticsOptions_;
    foundation::Dictionary result;
    for (const char* key : kAnalyticsKeys) {
        if (auto it = info.find(key); it != info.end()) {
            if (it->second.isNumber()) {
                result[key] = it->second;
                continue;
            }
            logIgnored(key, "Info.plist", "number");
        }
        if (auto it = optionsDictionary_.find(key); it != optionsDictionary_.end()) result[key] = it->second;
    }
    analyticsOptions_ = std::move(result);
    return *analyticsOptions_;
}

foundation::Dictionary VEVOptions::analyticsOptionsDictionary() const {
    return analyticsOptionsDictionaryWithInfoDictionary(foundation::Bundle::main()->infoDictionary());
}

bool VEVOptions::isAnalyticsCollectionDeactivated() const {
    return analyticsOptionsDictionary()[kVEVAnalyticsCollectionDeactivated].boolValue();
}

bool VEVOptions::isMeasurementEnabled() const {
    if (isAnalyticsCollectionDeactivated()) return false;
    auto analytics = analyticsOptionsDictionary();
    if (auto it = analytics.find(kVEVIsMeasurementEnabled); it != analytics.end())
        return it->second.boolValue();
    if (VEVApp::isDefaultAppConfigured())
        if (auto app = VEVApp::defaultApp()) return app->isDataCollectionDefaultEnabled();
    return false;
}

bool VEVOptions::isAnalyticsCollectionEnabled() const {
    if (isAnalyticsCollectionDeactivated()) return false;
    auto analytics = analyticsOptionsDictionary();
    if (auto it = analytics.find(kVEVAnalyticsCollectionEnabled); it != analytics.end())
        return it->second.boolValue();
    return isMeasurementEnabled();
}

bool VEVOptions::isAnalyticsCollectionExplicitlySet() const {
    if (isAnalyticsCollectionDeactivated()) return true;
    auto analytics = analyticsOptionsDictionary();
    return analytics[kVEVAnalyticsCollectionEnabled].isNumber() ||
           analytics[kVEVIsMeasurementEnabled].isNumber();
}

bool VEVOptions::isAnalyticsEnabled() const {
    auto it = optionsDictionary_.find(kVEVIsAnalyticsEnabled);
    return it != optionsDictionary_.end() && it->second.boolValue();
}

bool VEVOptions::isSignInEnabled() const {
    auto it = optionsDictionary_.find(kVEVIsSignInEnabled);
    return it != optionsDictionary_.end() && it->second.boolValue();
}

VEVOptionsPtr VEVOptions::copy() const {
    auto c = std::make_shared<VEVOptions>(Key(), optionsDictionary_, usingOptionsFromDefaultPlist_);
    c->deepLinkURLScheme_ = deepLinkURLScheme_;
    c->appGroupID_ = appGroupID_;
    c->editingLocked_ = editingLocked_;
    return c;
}

bool VEVOptions::isEqual(const VEVOptions& other) const {
    if (this == &other) return true;
    return optionsDictionary_ == other.optionsDictionary_ && deepLinkURLScheme_ == other.deepLinkURLScheme_ &&
           appGroupID_ == other.appGroupID_ &&
           analyticsOptionsDictionary() == other.analyticsOptionsDictionary();
}

size_t VEVOptions::hash() const {
    auto text = [](const std::optional<std::string>& s) {
        return s ? std::hash<std::string>()(*s) : size_t(0);
    };
    return foundation::Value(optionsDictionary_).hash() ^ text(deepLinkURLScheme_) ^ text(appGroupID_);
}
