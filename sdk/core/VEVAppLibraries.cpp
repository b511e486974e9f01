// VEVApp's class side beyond configuration: library registration, the user-agent string, the
// app-ID check and the error values.
#include <algorithm>
#include <cctype>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/ClassRegistry.h"
#include "platform/foundation/Exception.h"
#include "sdk/core/TextRules.h"
#include "sdk/core/VEVApp.h"
#include "sdk/core/VEVAppClassState.h"
#include "sdk/core/VEVComponentContainer.h"
#include "sdk/core/VEVLogger.h"
#include "sdk/core/VEVVersion.h"

using sdk::detail::appClassState;

// MARK: libraries and the user agent

void VEVApp::registerLibrary(const std::string& name, const std::string& version) {
    if (!sdk::isAlphanumericOr(name, "-_.") || !sdk::isAlphanumericOr(version, "-_.")) {
        VEVLogError(
            kVEVLoggerCore, "I-COR000027",
            "The library name (%@) or version number (%@) contain invalid characters. Only alphanumeric, "
            "dash, underscore and period characters are allowed.",
            name, version);
        return;
    }
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    if (!state.libraryTable) state.libraryTable.emplace();
    (*state.libraryTable)[name] = version;
}

void VEVApp::registerInternalLibrary(const VEVLibraryClass& library, const std::string& name,
                                     const std::string& version) {
    if (!library)
        foundation::raise(
            foundation::kInvalidArgumentException,
            "Class %@ attempted to register components, but it does not conform to `VEVLibrary or "
            "provide a `componentsToRegister:` method.",
            nullptr);
    VEVComponentContainer::registerAsComponentRegistrant(library);
    if (library->respondsToConfigureWithApp()) {
        auto& state = appClassState();
        std::lock_guard lock(state.mutex);
        if (std::find(state.configureList.begin(), state.configureList.end(), library) ==
            state.configureList.end())
            state.configureList.push_back(library);
    }
    registerLibrary(name, version);
}

std::string VEVApp::vevurizoUserAgent() {
    auto& state = appClassState();
    std::lock_guard lock(state.mutex);
    if (!state.platformEntriesRegistered) {
        state.platformEntriesRegistered = true;
        registerLibrary("vev-ios", std::string(kVEVCoreVersion));
        auto bundle = foundation::Bundle::main();
        if (auto xcode = bundle->objectForInfoDictionaryKey("DTXcodeBuild"); xcode.isString())
            registerLibrary("xcode", *xcode.string());
        if (auto sdkBuild = bundle->objectForInfoDictionaryKey("DTSDKBuild"); sdkBuild.isString())
            registerLibrary("apple-sdk", *sdkBuild.string());
        bool swift = foundation::ClassRegistry::exists("Swift._SwiftObject") ||
                     foundation::ClassRegistry::exists("_TtCs12_SwiftObject");
        registerLibrary("swift", swift ? "true" : "false");
        registerLibrary("apple-platform", "ios");
    }
    std::vector<std::string> pairs;
    if (state.libraryTable)
        for (const auto& [name, version] : *state.libraryTable)
            pairs.push_back(name + "/" + version);
    std::sort(pairs.begin(), pairs.end(), [](const std::string& a, const std::string& b) {
        return sdk::localizedCaseInsensitiveLess(a, b);
    });
    std::string agent;
    for (const auto& pair : pairs) {
        if (!agent.empty()) agent += ' ';
        agent += pair;
    }
    return agent;
}

// MARK: app ID

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}
bool isHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Reads a hexadecimal number at i (an optional 0x prefix, then at least one hex digit).
bool scanHex(const std::string& s, size_t& i) {
    if (i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') && isHexDigit(s[i + 2]))
        i += 2;
    size_t start = i;
    while (i < s.size() && isHexDigit(s[i]))
        ++i;
    return i > start;
}

bool scanInteger(const std::string& s, size_t& i) {
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t start = i;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i > start;
}

bool scanCharacter(const std::string& s, size_t& i, char c) {
    if (i >= s.size() || s[i] != c) return false;
    ++i;
    return true;
}

// "<version>:<integer>:ios:<hex>" and nothing after it.
bool hasAppIDFormat(const std::string& appID, size_t afterVersionColon) {
    size_t i = afterVersionColon;
    if (!scanInteger(appID, i) || !scanCharacter(appID, i, ':')) return false;
    size_t colon = appID.find(':', i);
    if (colon == std::string::npos || appID.compare(i, colon - i, "ios") != 0) return false;
    i = colon + 1;
    return scanHex(appID, i) && i == appID.size();
}

std::vector<std::string> splitAtColons(const std::string& s) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t colon = s.find(':', start);
        parts.push_back(s.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos) return parts;
        start = colon + 1;
    }
}

} // namespace

bool VEVApp::validateAppID(const std::string& appID) {
    if (appID.empty()) return false;
    size_t i = 0;
    while (i < appID.size() && isDigit(appID[i]))
        ++i;
    if (i == 0) return false;
    std::string version = appID.substr(0, i);
    if (!scanCharacter(appID, i, ':')) return false;
    if (version != "1") {
        VEVLogInfo(kVEVLoggerCore, "I-COR000010", "Unknown RUVARA_APP_ID version: %@", version);
        return true;
    }
    if (!hasAppIDFormat(appID, i)) return false;
    auto parts = splitAtColons(appID);
    if (parts.size() != 4 || parts[3].empty()) return false;
    size_t h = 0;
    return scanHex(parts[3], h) && parts[0] == "1";
}

// MARK: error values

foundation::ErrorPtr VEVApp::errorForMissingOptions() {
    return foundation::Error::make(
        kVEVErrorDomain, -100,
        {{foundation::kLocalizedDescriptionKey,
          "Unable to parse RuvaraService-Info.plist in order to configure services."},
         {foundation::kLocalizedRecoverySuggestionKey,
          "Check formatting and location of RuvaraService-Info.plist."}});
}

foundation::ErrorPtr VEVApp::errorForInvalidAppID() {
    return foundation::Error::make(
        kVEVErrorDomain, -101,
        {{foundation::kLocalizedDescriptionKey, "Unable to validate Ruvara App ID"},
         {foundation::kLocalizedRecoverySuggestionKey,
          "Check formatting and location of RuvaraService-Info.plist or RuvaraAppID set "
          "in the customized options."}});
}

foundation::ErrorPtr VEVApp::errorForSubspecConfigurationFailureWithDomain(const std::string& domain,
                                                                           long code,
                                                                           const std::string& service,
                                                                           const std::string& reason) {
    return foundation::Error::make(domain, code,
                                   {{foundation::kLocalizedDescriptionKey,
                                     foundation::format("Configuration failed for service %@.", service)},
                                    {foundation::kLocalizedFailureReasonKey, reason}});
}
