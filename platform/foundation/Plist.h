#pragma once
// Property lists (XML or binary) to and from Values, over libplist.
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace foundation::plist {

std::optional<Value> parse(const Data& bytes);
std::optional<Value> readFile(const std::string& path);
Data toXml(const Value& v);
Data toBinary(const Value& v);
// Written atomically as a binary plist.
bool writeFile(const std::string& path, const Value& v);

} // namespace foundation::plist
