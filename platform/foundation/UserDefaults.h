#pragma once
// User defaults: one property list per suite under Library/Preferences. The standard suite is named
// after the main bundle's identifier. Every change is written through at once (atomically).
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation {

class UserDefaults {
  public:
    explicit UserDefaults(std::string suiteName);

    static std::shared_ptr<UserDefaults> standard();
    // The same object for the same suite name within a process.
    static std::shared_ptr<UserDefaults> suite(const std::string& name);
    // Drops every cached suite so the next access re-reads the files (tests: "a new launch").
    static void resetAll();

    const std::string& suiteName() const { return suite_; }
    std::string filePath() const;

    Value objectForKey(const std::string& key) const;
    bool boolForKey(const std::string& key) const { return objectForKey(key).boolValue(); }
    int64_t integerForKey(const std::string& key) const { return objectForKey(key).intValue(); }
    std::string stringForKey(const std::string& key) const { return objectForKey(key).stringValue(); }
    void setObject(const Value& value, const std::string& key);
    void setBool(bool b, const std::string& key) { setObject(Value(b), key); }
    void removeObjectForKey(const std::string& key);
    bool synchronize();
    Dictionary dictionaryRepresentation() const;

  private:
    bool persistLocked();
    std::string suite_;
    mutable std::mutex mutex_;
    Dictionary values_;
};

} // namespace foundation
