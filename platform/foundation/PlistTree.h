#pragma once
// A parsed property list as libplist's own tree, for readers that need its node kinds (a keyed
// archive's references). The bytes are checked first (PlistCheck.h), so no node of a tree made here
// trips libplist's getters.
#include <memory>
#include <optional>
#include <plist/plist.h>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation::plist {

struct TreeDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using Tree = std::unique_ptr<std::remove_pointer_t<plist_t>, TreeDeleter>;

// Null for bytes that are not a sound plist.
Tree parseTree(const Data& bytes);
// A string node's text, read by its stored length; none for another kind of node and for text that
// holds a NUL or is not UTF-8, which no sound plist has.
std::optional<std::string> stringOf(plist_t node);

} // namespace foundation::plist
