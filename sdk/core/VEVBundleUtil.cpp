#include "sdk/core/VEVBundleUtil.h"

#include "platform/utilities/RULAppEnvironmentUtil.h"

VEVBundles VEVBundleUtil::relevantBundles() {
    auto main = foundation::Bundle::main();
    return {main, main};
}

std::optional<std::string>
VEVBundleUtil::optionsDictionaryPathWithResourceName(const std::string& resourceName,
                                                     const std::string& fileType, const VEVBundles& bundles) {
    for (const auto& bundle : bundles) {
        if (!bundle) continue;
        if (auto path = bundle->pathForResource(resourceName, fileType)) return path;
    }
    return std::nullopt;
}

std::vector<std::string> VEVBundleUtil::relevantURLSchemes() {
    std::vector<std::string> schemes;
    for (const auto& bundle : relevantBundles()) {
        const auto* types = bundle->objectForInfoDictionaryKey("CFBundleURLTypes").array();
        if (!types) continue;
        for (const auto& type : *types) {
            const auto* list = type["CFBundleURLSchemes"].array();
            if (!list) continue;
            for (const auto& scheme : *list)
                if (scheme.isString()) schemes.push_back(*scheme.string());
        }
    }
    return schemes;
}

bool VEVBundleUtil::hasBundleIdentifierPrefix(const std::string& identifier, const VEVBundles& bundles) {
    bool extension = RULAppEnvironmentUtil::isAppExtension();
    for (const auto& bundle : bundles) {
        if (!bundle) continue;
        std::string own = bundle->bundleIdentifier();
        if (own == identifier) return true;
        if (extension && bundleIdentifierByRemovingLastPartFrom(own) == identifier) return true;
    }
    return false;
}

std::string VEVBundleUtil::bundleIdentifierByRemovingLastPartFrom(const std::string& identifier) {
    auto dot = identifier.rfind('.');
    // Without a dot the only part is the last one: nothing remains.
    return dot == std::string::npos ? std::string() : identifier.substr(0, dot);
}
