#include "platform/foundation/Error.h"

#include "platform/foundation/Format.h"

namespace foundation {

std::string Error::localizedDescription() const {
    auto it = userInfo_.find(kLocalizedDescriptionKey);
    if (it != userInfo_.end() && it->second.isString()) return *it->second.string();
    return format("The operation couldn’t be completed. (%@ error %ld.)", domain_, code_);
}

std::string Error::description() const {
    return format("Error Domain=%@ Code=%ld \"%@\"", domain_, code_, localizedDescription());
}

} // namespace foundation
