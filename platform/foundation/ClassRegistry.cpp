#include "platform/foundation/ClassRegistry.h"

#include <set>

namespace foundation {

std::mutex& ClassRegistry::mutex() {
    static std::mutex m;
    return m;
}

std::map<std::string, std::any>& ClassRegistry::classes() {
    // Never destroyed: classes are looked up by background work too.
    static auto* c = new std::map<std::string, std::any>;
    return *c;
}

void ClassRegistry::registerClass(const std::string& name, std::any classObject) {
    std::lock_guard lock(mutex());
    classes()[name] = std::move(classObject);
}

bool ClassRegistry::exists(const std::string& name) {
    std::lock_guard lock(mutex());
    return classes().count(name) > 0;
}

std::optional<std::any> ClassRegistry::lookup(const std::string& name) {
    std::lock_guard lock(mutex());
    auto it = classes().find(name);
    if (it == classes().end()) return std::nullopt;
    return it->second;
}

void ClassRegistry::unregisterClass(const std::string& name) {
    std::lock_guard lock(mutex());
    classes().erase(name);
}

void LoadHooks::runOnce(std::initializer_list<Hook> hooks) {
    static std::mutex m;
    static std::set<Hook> ran;
    std::lock_guard lock(m);
    for (Hook h : hooks)
        if (ran.insert(h).second) h();
}

} // namespace foundation
