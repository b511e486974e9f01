#include "app/shell/PatientRegistration.h"

#include <algorithm>

namespace shell {

namespace {

// The postal code is ASCII digits once it passed the form's check; count characters all the same.
size_t utf8Prefix(const std::string& s, size_t characters) {
    size_t i = 0;
    while (i < s.size() && characters > 0) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        i += c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
        --characters;
    }
    return std::min(i, s.size());
}

} // namespace

std::string composePostal(const std::string& digits) {
    const size_t head = utf8Prefix(digits, 3);
    if (head >= digits.size()) return digits;
    return digits.substr(0, head) + "-" + digits.substr(head);
}

std::string splitPostal(const std::string& stored) {
    std::string out;
    for (char c : stored)
        if (c != '-') out += c;
    return out;
}

std::string joinName(const std::string& family, const std::string& given) {
    return family + kIdeographicSpace + given;
}

std::array<std::string, 2> splitName(const std::string& stored) {
    // Names typed elsewhere may carry an ASCII space instead.
    for (const std::string& separator : {std::string(kIdeographicSpace), std::string(" ")}) {
        const size_t at = stored.find(separator);
        if (at != std::string::npos) return {stored.substr(0, at), stored.substr(at + separator.size())};
    }
    return {stored, ""};
}

std::string joinTel(const std::string& a, const std::string& b, const std::string& c) {
    return a + "-" + b + "-" + c;
}

std::array<std::string, 3> splitTel(const std::string& stored) {
    std::array<std::string, 3> parts;
    const size_t first = stored.find('-');
    if (first == std::string::npos) {
        parts[0] = stored;
        return parts;
    }
    parts[0] = stored.substr(0, first);
    const size_t second = stored.find('-', first + 1);
    if (second == std::string::npos) {
        parts[1] = stored.substr(first + 1);
        return parts;
    }
    parts[1] = stored.substr(first + 1, second - first - 1);
    parts[2] = stored.substr(second + 1);
    return parts;
}

std::string sexForSegment(int segment) {
    return segment == 0 ? "男" : "女";
}

} // namespace shell
