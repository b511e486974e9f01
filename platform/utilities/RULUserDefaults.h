#pragma once
// A suite-scoped defaults object: the user defaults suite of the given name.
#include <string>

#include "platform/foundation/Value.h"

class RULUserDefaults {
  public:
    explicit RULUserDefaults(std::string suiteName);

    const std::string& suiteName() const { return suiteName_; }
    // A null Value when the key is absent.
    foundation::Value objectForKey(const std::string& key) const;
    void setBool(bool value, const std::string& key);
    void removeObjectForKey(const std::string& key);

  private:
    std::string suiteName_;
};
