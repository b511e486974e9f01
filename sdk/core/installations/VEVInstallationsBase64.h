#pragma once
// URL-safe base64 ("-" and "_" for "+" and "/", no "=") of the identifiers the client makes.
#include <cstddef>
#include <cstdint>
#include <string>

namespace installations {

inline std::string base64URLSafe(const uint8_t* bytes, size_t size) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    for (size_t i = 0; i < size; i += 3) {
        uint32_t n = uint32_t(bytes[i]) << 16;
        if (i + 1 < size) n |= uint32_t(bytes[i + 1]) << 8;
        if (i + 2 < size) n |= bytes[i + 2];
        out += alphabet[(n >> 18) & 63];
        out += alphabet[(n >> 12) & 63];
        if (i + 1 < size) out += alphabet[(n >> 6) & 63];
        if (i + 2 < size) out += alphabet[n & 63];
    }
    return out;
}

} // namespace installations
