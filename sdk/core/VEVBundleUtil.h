#pragma once
// Finding the options file in the app's bundles, the bundles' URL schemes, bundle-identifier checks.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Bundle.h"

using VEVBundles = std::vector<std::shared_ptr<foundation::Bundle>>;

class VEVBundleUtil {
  public:
    // The main bundle, then the bundle that holds the SDK (the same folder here: the SDK is linked in).
    static VEVBundles relevantBundles();
    static std::optional<std::string> optionsDictionaryPathWithResourceName(const std::string& resourceName,
                                                                            const std::string& fileType,
                                                                            const VEVBundles& bundles);
    static std::vector<std::string> relevantURLSchemes();
    static bool hasBundleIdentifierPrefix(const std::string& identifier, const VEVBundles& bundles);
    static std::string bundleIdentifierByRemovingLastPartFrom(const std::string& identifier);
};
