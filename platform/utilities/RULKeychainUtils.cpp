#include "platform/utilities/RULKeychainUtils.h"

#include "platform/utilities/Keychain.h"

namespace keychain = utilities::keychain;

std::optional<foundation::Data> RULKeychainUtils::getItemWithQuery(const foundation::Dictionary& query,
                                                                   foundation::ErrorPtr* error) {
    foundation::Data data;
    auto status = keychain::copyMatching(query, data);
    if (status == keychain::kSuccess) return data;
    if (error) *error = keychain::errorForStatus(status, "getItemWithQuery");
    return std::nullopt;
}
