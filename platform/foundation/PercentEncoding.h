#pragma once
// Percent-encoding of arbitrary bytes into text that can stand in a URL path or a file name.
#include <string>
#include <string_view>

namespace foundation {

// Every byte but the ASCII letters and digits and the characters of `kept` becomes "%XX" (upper-case
// hex), so the result holds no separator, no dot-dot trick and no byte outside ASCII.
std::string percentEncode(std::string_view bytes, std::string_view kept);

} // namespace foundation
