#include "sdk/core/TextRules.h"

#include <algorithm>
#include <clocale>
#include <cwctype>
#include <locale.h>
#include <tuple>

namespace sdk {

namespace {

// Decodes one UTF-8 sequence; malformed bytes come back as U+FFFD (neither letter nor digit).
char32_t nextCodePoint(std::string_view text, size_t& i) {
    unsigned char c = static_cast<unsigned char>(text[i++]);
    if (c < 0x80) return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    char32_t cp = c & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return cp;
}

bool isUnicodeAlphanumeric(char32_t cp) {
    if (cp < 0x80) return (cp >= '0' && cp <= '9') || (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z');
    // The classification of other scripts comes from the C library's UTF-8 tables, whatever the
    // process locale is.
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    return utf8 && iswalnum_l(wint_t(cp), utf8);
}

// Punctuation and symbols in the order a sorted list shows them.
constexpr std::string_view kPunctuationOrder = "_-,;:!?.'\"()[]{}@*/\\&#%`^+<=>|~$";

std::tuple<int, int> collationKey(unsigned char c) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return {0, c};
    if (auto p = kPunctuationOrder.find(char(c)); p != std::string_view::npos) return {1, int(p)};
    if (c >= '0' && c <= '9') return {2, c};
    if (c >= 'A' && c <= 'Z') return {3, c - 'A' + 'a'};
    if (c >= 'a' && c <= 'z') return {3, c};
    return {4, c};
}

} // namespace

bool isAlphanumericOr(std::string_view text, std::string_view extra) {
    size_t i = 0;
    while (i < text.size()) {
        char32_t cp = nextCodePoint(text, i);
        if (isUnicodeAlphanumeric(cp)) continue;
        if (cp < 0x80 && extra.find(char(cp)) != std::string_view::npos) continue;
        return false;
    }
    return true;
}

bool localizedCaseInsensitiveLess(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ka = collationKey(static_cast<unsigned char>(a[i]));
        auto kb = collationKey(static_cast<unsigned char>(b[i]));
        if (ka != kb) return ka < kb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

} // namespace sdk
