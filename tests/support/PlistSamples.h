#pragma once
// Property lists built byte by byte for the tests of every plist reader: sound ones, and damaged ones
// that once stopped the process (a string holding a NUL, nesting deeper than any stack, references
// that expand without end).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/Value.h"

namespace testsupport {

// Big-endian bytes of v, `width` of them.
inline std::string bigEndian(uint64_t v, unsigned width) {
    std::string out(width, '\0');
    for (unsigned i = 0; i < width; ++i)
        out[width - 1 - i] = char((v >> (8 * i)) & 0xff);
    return out;
}

// A binary plist of the given objects (each its marker and content, references four bytes wide),
// object `top` at its top.
inline foundation::Data binaryPlist(const std::vector<std::string>& objects, uint64_t top = 0) {
    std::string out = "bplist00";
    std::vector<uint64_t> offsets;
    for (const auto& o : objects) {
        offsets.push_back(out.size());
        out += o;
    }
    const uint64_t table = out.size();
    for (uint64_t at : offsets)
        out += bigEndian(at, 4);
    out += std::string(6, '\0') + char(4) + char(4) + bigEndian(objects.size(), 8) + bigEndian(top, 8) +
           bigEndian(table, 8);
    return foundation::Data(out.begin(), out.end());
}

// Object builders for binaryPlist.
inline std::string ref(uint64_t index) {
    return bigEndian(index, 4);
}
// A marker of `kind` with its length, inline up to 14 and as a following integer beyond.
inline std::string marker(unsigned kind, size_t length) {
    if (length < 15) return std::string(1, char(kind << 4 | length));
    return std::string(1, char(kind << 4 | 0x0f)) + char(0x12) + bigEndian(length, 4);
}
inline std::string ascii(const std::string& s) {
    return marker(0x5, s.size()) + s;
}
inline std::string utf16(const std::u16string& s) {
    std::string out = marker(0x6, s.size());
    for (char16_t c : s)
        out += bigEndian(c, 2);
    return out;
}
inline std::string uid(uint8_t value) {
    return std::string(1, char(0x80)) + char(value);
}
inline std::string array(const std::vector<uint64_t>& items) {
    std::string out = marker(0xa, items.size());
    for (auto i : items)
        out += ref(i);
    return out;
}
inline std::string dictionary(const std::vector<std::pair<uint64_t, uint64_t>>& entries) {
    std::string out = marker(0xd, entries.size()), values;
    for (auto [k, v] : entries) {
        out += ref(k);
        values += ref(v);
    }
    return out + values;
}

// {"name": <text>} as a binary plist.
inline foundation::Data nameDictionary(const std::u16string& text) {
    return binaryPlist({dictionary({{1, 2}}), ascii("name"), utf16(text)});
}

// Arrays nested `levels` deep around a string.
inline foundation::Data nestedBinary(size_t levels) {
    std::vector<std::string> objects;
    for (size_t i = 0; i < levels; ++i)
        objects.push_back(array({i + 1}));
    objects.push_back(ascii("x"));
    return binaryPlist(objects);
}

inline foundation::Data bytes(const std::string& s) {
    return foundation::Data(s.begin(), s.end());
}

inline std::string xmlPlist(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST "
           "1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">" +
           body + "</plist>\n";
}

inline std::string repeated(const std::string& s, size_t times) {
    std::string out;
    for (size_t i = 0; i < times; ++i)
        out += s;
    return out;
}

// Damaged plists, each with what is wrong with it.
inline std::vector<std::pair<std::string, foundation::Data>> damagedPlists() {
    using namespace std::string_literals;
    // Each level refers twice to the next: 2^60 nodes once expanded.
    std::vector<std::string> doubling;
    for (uint64_t i = 0; i < 60; ++i)
        doubling.push_back(array({i + 1, i + 1}));
    doubling.push_back(ascii("x"));
    return {
        {"a value holding a NUL character", nameDictionary(u"ab\0c"s)},
        {"a key holding a NUL character", binaryPlist({dictionary({{1, 2}}), utf16(u"na\0me"s), ascii("x")})},
        {"a value that is not UTF-8", binaryPlist({dictionary({{1, 2}}), ascii("name"), ascii("\xff\xfe")})},
        {"a key that is not UTF-8", binaryPlist({dictionary({{1, 2}}), ascii("\xc0\xae"), ascii("x")})},
        {"a text plist holding a NUL byte",
         bytes(xmlPlist("<dict><key>name</key><string>a\0b</string></dict>"s))},
        {"arrays nested 100000 deep", nestedBinary(100000)},
        {"text arrays nested 100000 deep",
         bytes(xmlPlist(repeated("<array>", 100000) + repeated("</array>", 100000)))},
        {"text arrays opened 100000 times and never closed", bytes(xmlPlist(repeated("<array>", 100000)))},
        {"references doubling 60 times", binaryPlist(doubling)},
        {"an object that contains itself", binaryPlist({array({1}), array({0})})},
        {"a reference past the last object", binaryPlist({array({7})})},
        {"a date that is not finite (+inf)",
         binaryPlist({dictionary({{1, 2}}), ascii("when"), "\x33" + bigEndian(0x7ff0000000000000, 8)})},
        {"a text date that names no day",
         bytes(xmlPlist("<dict><key>when</key><date>garbage</date></dict>"))},
        {"truncated", foundation::Data{'b', 'p', 'l', 'i', 's', 't', '0', '0', 0xd1}},
    };
}

} // namespace testsupport
