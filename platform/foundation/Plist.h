#pragma once
// Property lists (XML or binary) to and from Values, over libplist.
#include <optional>
#include <string>

#include "platform/foundation/PlistCheck.h"
#include "platform/foundation/Value.h"

namespace foundation::plist {

// None for anything that is not a sound plist: damaged bytes, text holding a NUL or not UTF-8, nesting
// deeper than kMaxDepth, more than kMaxBytes, a date that is not finite or lies outside the years 1 to
// 9999, XML date text that names no real day and time. Readers treat that as a file that is not there.
std::optional<Value> parse(const Data& bytes);
std::optional<Value> readFile(const std::string& path);
// Dates as the second they fall in: an XML plist's dates hold no fraction.
Data toXml(const Value& v);
// Dates exact to the millisecond: libplist brings a few of those before 2001 back up to 4 µs off.
Data toBinary(const Value& v);
// Written atomically as a binary plist.
bool writeFile(const std::string& path, const Value& v);

} // namespace foundation::plist
