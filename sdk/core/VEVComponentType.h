#pragma once
// The typed look-up clients call: the container's instance for T's protocol, as a T.
#include <memory>

#include "sdk/core/VEVComponentContainer.h"

class VEVComponentType {
  public:
    template <class T> static std::shared_ptr<T> instanceForProtocol(VEVComponentContainer& container) {
        return std::dynamic_pointer_cast<T>(container.instanceForProtocol(sdk::Protocol::of<T>()));
    }
};
