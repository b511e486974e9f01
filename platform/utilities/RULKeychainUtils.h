#pragma once
// Direct look-up of a keychain item's data by query (keys of utilities/Keychain.h).
#include <optional>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

class RULKeychainUtils {
  public:
    // The data of the first item matching the query; nullopt with `error` set (when given) otherwise.
    static std::optional<foundation::Data> getItemWithQuery(const foundation::Dictionary& query,
                                                            foundation::ErrorPtr* error);
};
