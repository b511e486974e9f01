#pragma once
// What a property list must be before libplist may parse it. libplist asserts (and aborts the process)
// on a string node whose text holds a NUL, recurses once per level of nesting while it builds and frees
// a tree, and expands shared references of a binary plist without limit. These checks look at the bytes
// first, so a damaged or hostile file is refused as malformed instead.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace foundation::plist {

// Larger files are damaged as far as we are concerned: every plist of ours is a few kilobytes.
inline constexpr size_t kMaxBytes = size_t(4) << 20;
// Deepest nesting of arrays and dictionaries read, counting the outermost.
inline constexpr int kMaxDepth = 256;
// Most nodes a binary plist may expand to (a shared object counts once per reference).
inline constexpr uint64_t kMaxNodes = uint64_t(1) << 20;

namespace detail {

// A binary plist whose objects lie inside the file, whose references stay in range, form no cycle and
// nest at most kMaxDepth deep, and whose strings hold no NUL character.
bool isSoundBinary(std::span<const uint8_t> bytes);
// An XML plist without NUL bytes whose elements nest at most kMaxDepth deep, and whose dates each hold
// the text of a real day and time of the years 1 to 9999.
bool isSoundText(std::span<const uint8_t> bytes);
// Either, by the form the bytes announce; never for empty or oversized input.
bool isSound(std::span<const uint8_t> bytes);
// Text a plist may hold: well-formed UTF-8 without NUL. Anything else would not survive being written
// again (libplist turns it into UTF-16 as best it can), so a file holding it is damaged.
bool isPlistText(std::string_view text);

} // namespace detail
} // namespace foundation::plist
