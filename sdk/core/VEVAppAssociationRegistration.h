#pragma once
// One lazily made object per host object and key, living as long as the host.
#include <functional>
#include <memory>
#include <string>

#include "sdk/core/SdkObject.h"

class VEVAppAssociationRegistration {
  public:
    // Returns the object registered for (host, key), making it with creationBlock on first use.
    // A nil result is not kept. Asking again for the same host and key from inside creationBlock raises.
    static sdk::ObjectPtr registeredObjectWithHost(const std::shared_ptr<const void>& host,
                                                   const std::string& key,
                                                   const std::function<sdk::ObjectPtr()>& creationBlock);
};
