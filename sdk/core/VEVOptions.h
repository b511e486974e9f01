#pragma once
// The configuration keys of one SDK app, read from the options file "RuvaraService-Info.plist" or set
// in code. Once an app takes its copy, that copy is locked and every setter raises.
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

class VEVOptions;
using VEVOptionsPtr = std::shared_ptr<VEVOptions>;

inline constexpr const char* kVEVServiceInfoFileName = "RuvaraService-Info";
inline constexpr const char* kVEVServiceInfoFileType = "plist";

inline constexpr const char* kVEVAPIKey = "API_KEY";
inline constexpr const char* kVEVClientID = "CLIENT_ID";
inline constexpr const char* kVEVTrackingID = "TRACKING_ID";
inline constexpr const char* kVEVRCMSenderID = "RCM_SENDER_ID";
inline constexpr const char* kVEVProjectID = "PROJECT_ID";
inline constexpr const char* kVEVAndroidClientID = "ANDROID_CLIENT_ID";
inline constexpr const char* kVEVRuvaraAppID = "RUVARA_APP_ID";
inline constexpr const char* kVEVDatabaseURL = "DATABASE_URL";
inline constexpr const char* kVEVStorageBucket = "STORAGE_BUCKET";
inline constexpr const char* kVEVBundleID = "BUNDLE_ID";
inline constexpr const char* kVEVIsMeasurementEnabled = "IS_MEASUREMENT_ENABLED";
inline constexpr const char* kVEVIsAnalyticsEnabled = "IS_ANALYTICS_ENABLED";
inline constexpr const char* kVEVIsSignInEnabled = "IS_SIGNIN_ENABLED";
inline constexpr const char* kVEVAnalyticsCollectionEnabled = "VEVURIZO_ANALYTICS_COLLECTION_ENABLED";
inline constexpr const char* kVEVAnalyticsCollectionDeactivated = "VEVURIZO_ANALYTICS_COLLECTION_DEACTIVATED";

class VEVOptions {
    struct Key { // only VEVOptions itself can construct, yet make_shared can reach the constructor
        explicit Key() = default;
    };

  public:
    // The options of the bundle's options file, read once and cached; nil when there is no usable file.
    static VEVOptionsPtr defaultOptions();
    static std::optional<foundation::Dictionary> defaultOptionsDictionary();
    static void resetDefaultOptions();

    // Nil (after a log line) when the path is empty or the file is missing or not a dictionary.
    static VEVOptionsPtr initWithContentsOfFile(const std::string& path);
    static VEVOptionsPtr initWithRuvaraAppID(const std::string& ruvaraAppID, const std::string& RCMSenderID);

    VEVOptions(Key, foundation::Dictionary optionsDictionary, bool usingOptionsFromDefaultPlist);

    // An absent key reads as the empty string.
    std::string APIKey() const { return stringFor(kVEVAPIKey); }
    void setAPIKey(const std::string& v) { setString(kVEVAPIKey, v); }
    std::string clientID() const { return stringFor(kVEVClientID); }
    void setClientID(const std::string& v) { setString(kVEVClientID, v); }
    std::string trackingID() const { return stringFor(kVEVTrackingID); }
    void setTrackingID(const std::string& v) { setString(kVEVTrackingID, v); }
    std::string RCMSenderID() const { return stringFor(kVEVRCMSenderID); }
    void setRCMSenderID(const std::string& v) { setString(kVEVRCMSenderID, v); }
    std::string projectID() const { return stringFor(kVEVProjectID); }
    void setProjectID(const std::string& v) { setString(kVEVProjectID, v); }
    std::string androidClientID() const { return stringFor(kVEVAndroidClientID); }
    void setAndroidClientID(const std::string& v) { setString(kVEVAndroidClientID, v); }
    std::string ruvaraAppID() const { return stringFor(kVEVRuvaraAppID); }
    void setRuvaraAppID(const std::string& v) { setString(kVEVRuvaraAppID, v); }
    std::string databaseURL() const { return stringFor(kVEVDatabaseURL); }
    void setDatabaseURL(const std::string& v) { setString(kVEVDatabaseURL, v); }
    std::string storageBucket() const { return stringFor(kVEVStorageBucket); }
    void setStorageBucket(const std::string& v) { setString(kVEVStorageBucket, v); }
    std::string bundleID() const { return stringFor(kVEVBundleID); }
    void setBundleID(const std::string& v) { setString(kVEVBundleID, v); }

    std::optional<std::string> deepLinkURLScheme() const { return deepLinkURLScheme_; }
    void setDeepLinkURLScheme(const std::string& scheme);
    std::optional<std::string> appGroupID() const { return appGroupID_; }
    void setAppGroupID(const std::string& group);

    // "60800000" for core version 6.8.0.
    std::string libraryVersionID() const;

    // The analytics switches, each taken from Info.plist first and the options second; computed once.
    foundation::Dictionary
    analyticsOptionsDictionaryWithInfoDictionary(const foundation::Dictionary& info) const;
    foundation::Dictionary analyticsOptionsDictionary() const;
    bool isMeasurementEnabled() const;
    bool isAnalyticsCollectionExplicitlySet() const;
    bool isAnalyticsCollectionEnabled() const;
    bool isAnalyticsCollectionDeactivated() const;
    bool isAnalyticsEnabled() const;
    bool isSignInEnabled() const;
    // The switches of the key table, stored as numbers. The analytics switches are read once per
    // options object, so set them before asking for any of them.
    void setIsMeasurementEnabled(bool enabled) { setSwitch(kVEVIsMeasurementEnabled, enabled); }
    void setIsAnalyticsEnabled(bool enabled) { setSwitch(kVEVIsAnalyticsEnabled, enabled); }
    void setIsSignInEnabled(bool enabled) { setSwitch(kVEVIsSignInEnabled, enabled); }

    const foundation::Dictionary& optionsDictionary() const { return optionsDictionary_; }
    bool usingOptionsFromDefaultPlist() const { return usingOptionsFromDefaultPlist_; }
    bool editingLocked() const { return editingLocked_; }
    void lockEditing() { editingLocked_ = true; }

    // Carries the keys, deep-link scheme, app group, lock state and plist flag.
    VEVOptionsPtr copy() const;
    bool isEqual(const VEVOptions& other) const;
    size_t hash() const;

  private:
    std::string stringFor(const char* key) const;
    void setString(const char* key, const std::string& value);
    void setSwitch(const char* key, bool value);
    void checkEditingLocked() const;

    foundation::Dictionary optionsDictionary_;
    std::optional<std::string> deepLinkURLScheme_;
    std::optional<std::string> appGroupID_;
    bool usingOptionsFromDefaultPlist_ = false;
    bool editingLocked_ = false;
    mutable std::mutex analyticsMutex_;
    mutable std::optional<foundation::Dictionary> analyticsOptions_;
};
