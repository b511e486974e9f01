#include "platform/foundation/UserDefaults.h"

#include <map>

#include "platform/foundation/AppHome.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Plist.h"

namespace foundation {

namespace {
std::mutex registryMutex;
std::map<std::string, std::shared_ptr<UserDefaults>>& registry() {
    // Never destroyed: background work may still read defaults while the process's statics go.
    static auto* r = new std::map<std::string, std::shared_ptr<UserDefaults>>;
    return *r;
}

std::string standardSuiteName() {
    std::string id = Bundle::main()->bundleIdentifier();
    return id.empty() ? "zaruvedez" : id;
}
} // namespace

UserDefaults::UserDefaults(std::string suiteName) : suite_(std::move(suiteName)) {
    if (auto v = plist::readFile(filePath()); v && v->dictionary()) values_ = *v->dictionary();
}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
    return suite(standardSuiteName());
}

std::shared_ptr<UserDefaults> UserDefaults::suite(const std::string& name) {
    std::lock_guard lock(registryMutex);
    auto& p = registry()[name];
    if (!p) p = std::make_shared<UserDefaults>(name);
    return p;
}

void UserDefaults::resetAll() {
    std::lock_guard lock(registryMutex);
    registry().clear();
}

std::string UserDefaults::filePath() const {
    // Without a home there is no file: nothing is read from or written at the top of the file system.
    const std::string folder = home::preferences();
    return folder.empty() ? std::string() : folder + "/" + suite_ + ".plist";
}

Value UserDefaults::objectForKey(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    return it == values_.end() ? Value() : it->second;
}

void UserDefaults::setObject(const Value& value, const std::string& key) {
    std::lock_guard lock(mutex_);
    if (value.isNull())
        values_.erase(key);
    else
        values_[key] = value;
    persistLocked();
}

void UserDefaults::removeObjectForKey(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (values_.erase(key)) persistLocked();
}

bool UserDefaults::synchronize() {
    std::lock_guard lock(mutex_);
    return persistLocked();
}

Dictionary UserDefaults::dictionaryRepresentation() const {
    std::lock_guard lock(mutex_);
    return values_;
}

bool UserDefaults::persistLocked() {
    bool ok = plist::writeFile(filePath(), Value(values_));
    if (!ok) logMessage("UserDefaults: could not write " + filePath());
    return ok;
}

} // namespace foundation
