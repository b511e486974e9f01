#pragma once
// Class lookup by name and load-time registration. Static linking drops unreferenced static
// initialisers, so load hooks are an explicit list that main (and each test main) runs first.
#include <any>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace foundation {

class ClassRegistry {
  public:
    // Registers a class object (any value that stands for the class, e.g. a table of its class
    // operations) under its name. A later registration of the same name replaces the earlier.
    static void registerClass(const std::string& name, std::any classObject);
    static bool exists(const std::string& name);
    static std::optional<std::any> lookup(const std::string& name);
    template <class T> static const T* lookupAs(const std::string& name) {
        std::lock_guard lock(mutex());
        auto it = classes().find(name);
        return it == classes().end() ? nullptr : std::any_cast<T>(&it->second);
    }
    static void unregisterClass(const std::string& name);

  private:
    static std::mutex& mutex();
    static std::map<std::string, std::any>& classes();
};

// Runs each load hook once per process, in the order given.
class LoadHooks {
  public:
    using Hook = void (*)();
    static void runOnce(std::initializer_list<Hook> hooks);
};

} // namespace foundation
