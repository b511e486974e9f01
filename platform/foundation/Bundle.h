#pragma once
// The main bundle: a folder of resources with an Info.plist. ZARUVEDEZ_BUNDLE names it; by default it
// is the "bundle" folder laid beside the executable.
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation {

class Bundle {
  public:
    explicit Bundle(std::string path);

    static std::shared_ptr<Bundle> main();
    // Points the main bundle somewhere else (tests); an empty path goes back to the default.
    static void setMainPath(const std::string& path);

    const std::string& path() const { return path_; }
    const Dictionary& infoDictionary() const { return info_; }
    Value objectForInfoDictionaryKey(const std::string& key) const;
    std::string bundleIdentifier() const;
    // "<path>/<name>.<type>" when that file exists; type may be empty or already in name.
    std::optional<std::string> pathForResource(const std::string& name, const std::string& type) const;

  private:
    std::string path_;
    Dictionary info_;
};

} // namespace foundation
