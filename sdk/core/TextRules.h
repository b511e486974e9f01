#pragma once
// Character rules for app and library names, and the ordering of the user-agent entries.
#include <string_view>

namespace sdk {

// True when every character of the UTF-8 text is a letter or digit (any script) or one of `extra`
// (ASCII only). The empty text passes: callers decide about emptiness.
bool isAlphanumericOr(std::string_view text, std::string_view extra);

// Case-insensitive comparison in the order people expect from a sorted list: punctuation before
// digits before letters, letters alphabetical regardless of case; ties broken by the bytes so that
// the order is total.
bool localizedCaseInsensitiveLess(std::string_view a, std::string_view b);

} // namespace sdk
