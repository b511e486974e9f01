#include "sdk/core/transport/Base64.h"

namespace transport {

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}
} // namespace

std::string base64Encode(const foundation::Data& data) {
    std::string out;
    out.reserve((data.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < data.size(); i += 3) {
        uint32_t n = uint32_t(data[i]) << 16 | uint32_t(data[i + 1]) << 8 | data[i + 2];
        for (int shift : {18, 12, 6, 0})
            out += kAlphabet[(n >> shift) & 63];
    }
    if (size_t rest = data.size() - i) {
        uint32_t n = uint32_t(data[i]) << 16 | (rest == 2 ? uint32_t(data[i + 1]) << 8 : 0);
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<foundation::Data> base64Decode(const std::string& text) {
    if (text.size() % 4) return std::nullopt;
    foundation::Data out;
    out.reserve(text.size() / 4 * 3);
    for (size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int pad = 0;
        if (last && text[i + 3] == '=') pad = text[i + 2] == '=' ? 2 : 1;
        uint32_t n = 0;
        for (int k = 0; k < 4; ++k) {
            int v = k >= 4 - pad ? 0 : sextet(text[i + size_t(k)]);
            if (v < 0) return std::nullopt;
            n = n << 6 | uint32_t(v);
        }
        // Bits past the last byte must be zero: one text per byte string.
        if ((pad == 2 && (n & 0xffff)) || (pad == 1 && (n & 0xff))) return std::nullopt;
        out.push_back(uint8_t(n >> 16));
        if (pad < 2) out.push_back(uint8_t(n >> 8));
        if (pad < 1) out.push_back(uint8_t(n));
    }
    return out;
}

} // namespace transport
