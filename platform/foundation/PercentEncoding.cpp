#include "platform/foundation/PercentEncoding.h"

namespace foundation {

std::string percentEncode(std::string_view bytes, std::string_view kept) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (plain || (c < 0x80 && kept.find(char(c)) != std::string_view::npos)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

} // namespace foundation
