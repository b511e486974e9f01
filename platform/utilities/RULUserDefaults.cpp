#include "platform/utilities/RULUserDefaults.h"

#include "platform/foundation/UserDefaults.h"

// The suite is looked up on every call rather than held, so a reloaded suite (a new launch in tests)
// is never shadowed by a stale copy.
RULUserDefaults::RULUserDefaults(std::string suiteName) : suiteName_(std::move(suiteName)) {}

foundation::Value RULUserDefaults::objectForKey(const std::string& key) const {
    return foundation::UserDefaults::suite(suiteName_)->objectForKey(key);
}

void RULUserDefaults::setBool(bool value, const std::string& key) {
    foundation::UserDefaults::suite(suiteName_)->setBool(value, key);
}

void RULUserDefaults::removeObjectForKey(const std::string& key) {
    foundation::UserDefaults::suite(suiteName_)->removeObjectForKey(key);
}
