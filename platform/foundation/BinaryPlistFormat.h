#pragma once
// What the binary property-list format fixes: its magic, its 32-byte trailer, and numbers stored
// big-endian in widths of one to eight bytes. Shared by the checker and the date codec.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace foundation::plist::binary {

inline constexpr std::string_view kMagic = "bplist00";
inline constexpr size_t kTrailerSize = 32;

inline uint64_t readBigEndian(const uint8_t* p, size_t width) {
    uint64_t v = 0;
    for (size_t i = 0; i < width; ++i)
        v = v << 8 | p[i];
    return v;
}

} // namespace foundation::plist::binary
