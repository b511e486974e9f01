#include "platform/foundation/Bundle.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/foundation/Files.h"
#include "platform/foundation/Plist.h"

#ifndef ZARUVEDEZ_DEFAULT_BUNDLE_NAME
#define ZARUVEDEZ_DEFAULT_BUNDLE_NAME "bundle"
#endif

namespace foundation {

namespace {
std::mutex m;
std::shared_ptr<Bundle> mainBundle;
std::string overridePath;

std::string defaultPath() {
    if (!overridePath.empty()) return overridePath;
    if (const char* b = std::getenv("ZARUVEDEZ_BUNDLE"); b && *b) return b;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ZARUVEDEZ_DEFAULT_BUNDLE_NAME;
    return (exe.parent_path() / ZARUVEDEZ_DEFAULT_BUNDLE_NAME).string();
}
} // namespace

Bundle::Bundle(std::string path) : path_(std::move(path)) {
    if (auto v = plist::readFile(path_ + "/Info.plist"); v && v->dictionary()) info_ = *v->dictionary();
}

std::shared_ptr<Bundle> Bundle::main() {
    std::lock_guard lock(m);
    if (!mainBundle) mainBundle = std::make_shared<Bundle>(defaultPath());
    return mainBundle;
}

void Bundle::setMainPath(const std::string& path) {
    std::lock_guard lock(m);
    overridePath = path;
    mainBundle.reset();
}

Value Bundle::objectForInfoDictionaryKey(const std::string& key) const {
    auto it = info_.find(key);
    return it == info_.end() ? Value() : it->second;
}

std::string Bundle::bundleIdentifier() const {
    return objectForInfoDictionaryKey("CFBundleIdentifier").stringValue();
}

std::optional<std::string> Bundle::pathForResource(const std::string& name, const std::string& type) const {
    std::string file = path_ + "/" + name + (type.empty() ? "" : "." + type);
    std::error_code ec;
    if (std::filesystem::is_regular_file(file, ec)) return file;
    return std::nullopt;
}

} // namespace foundation
