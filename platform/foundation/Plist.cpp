#include "platform/foundation/Plist.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>
#include <plist/plist.h>

#include "platform/foundation/BinaryPlistFormat.h"
#include "platform/foundation/Files.h"
#include "platform/foundation/PlistTree.h"

namespace foundation::plist {

namespace {
// Seconds between 1970 and the plist epoch (2001-01-01).
constexpr double kEpochDelta = 978307200.0;
// Seconds since 1970 of 0001-01-01 and of 10000-01-01: a date outside the years 1 to 9999, or one that
// is not finite, is a damaged value (a heartbeat at +inf would never be due again).
constexpr double kFirstDate = -62135596800.0;
constexpr double kPastLastDate = 253402300800.0;

// libplist's date calls carry whole seconds in 32 bits, which hold only 1932 to 2069, and read a date
// before 2001 that has a fraction up to two seconds late. Its date node holds a double, as the binary
// format does, so dates go in and out through a binary plist of that one date instead: its object is a
// marker and the seconds since 2001 as a big-endian double.
constexpr uint8_t kDateMarker = 0x33;
constexpr size_t kTrailerBytes = binary::kTrailerSize;
using binary::readBigEndian;

plist_t newDate(double secondsSince2001) {
    // The header, the date at offset 8, the offset table at 17 (one one-byte entry), then the trailer:
    // offsets and references one byte wide, one object, the top one being the first.
    std::array<uint8_t, 8 + 9 + 1 + kTrailerBytes> b{};
    std::memcpy(b.data(), binary::kMagic.data(), binary::kMagic.size());
    b[8] = kDateMarker;
    const auto bits = std::bit_cast<uint64_t>(secondsSince2001);
    for (size_t i = 0; i < 8; ++i)
        b[9 + i] = uint8_t(bits >> (56 - 8 * i));
    b[17] = 8;
    uint8_t* trailer = b.data() + 18;
    trailer[6] = 1;
    trailer[7] = 1;
    trailer[15] = 1;
    trailer[31] = 17;
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(b.data()), uint32_t(b.size()), &node);
    return node;
}

// The seconds since 2001 of a date node; none if libplist's binary form of it is not what the format
// says.
std::optional<double> dateOf(plist_t node) {
    char* out = nullptr;
    uint32_t length = 0;
    plist_to_bin(node, &out, &length);
    std::unique_ptr<char, decltype(&plist_to_bin_free)> owner(out, plist_to_bin_free);
    if (!out || length < 8 + 9 + 1 + kTrailerBytes) return std::nullopt;
    const auto* b = reinterpret_cast<const uint8_t*>(out);
    const size_t end = length - kTrailerBytes;
    const uint8_t* trailer = b + end;
    const size_t offsetSize = trailer[6];
    const uint64_t top = readBigEndian(trailer + 16, 8), table = readBigEndian(trailer + 24, 8);
    if (offsetSize < 1 || offsetSize > 8 || top > end || table > end || (top + 1) * offsetSize > end - table)
        return std::nullopt;
    const uint64_t at = readBigEndian(b + table + top * offsetSize, offsetSize);
    if (at >= end || end - at < 9 || b[at] != kDateMarker) return std::nullopt;
    return std::bit_cast<double>(readBigEndian(b + at + 1, 8));
}

// Builds the Value of a checked tree; `sound` turns false at anything the checks should have kept out.
Value fromNode(plist_t n, int depth, bool& sound) {
    if (!sound) return Value();
    if (depth > kMaxDepth) {
        sound = false;
        return Value();
    }
    switch (plist_get_node_type(n)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(n, &b);
        return Value(bool(b));
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(n, &u);
        return Value(int64_t(u)); // negative integers come back as their two's complement
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(n, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        auto text = stringOf(n);
        if (!text) sound = false;
        return text ? Value(std::move(*text)) : Value();
    }
    case PLIST_DATA: {
        uint64_t len = 0;
        const char* d = plist_get_data_ptr(n, &len);
        if (!d) return Value(Data{});
        const auto* bytes = reinterpret_cast<const uint8_t*>(d);
        return Value(Data(bytes, bytes + len));
    }
    case PLIST_DATE: {
        auto seconds = dateOf(n);
        if (seconds) *seconds += kEpochDelta;
        if (!seconds || !std::isfinite(*seconds) || *seconds < kFirstDate || *seconds >= kPastLastDate) {
            sound = false;
            return Value();
        }
        return Value(Date{*seconds});
    }
    case PLIST_ARRAY: {
        Array a;
        uint32_t size = plist_array_get_size(n);
        for (uint32_t i = 0; i < size && sound; ++i)
            a.push_back(fromNode(plist_array_get_item(n, i), depth + 1, sound));
        return Value(std::move(a));
    }
    case PLIST_DICT: {
        Dictionary d;
        plist_dict_iter it = nullptr;
        plist_dict_new_iter(n, &it);
        while (sound) {
            // The bytes were checked, so no key holds a NUL that would trip libplist's getter.
            char* key = nullptr;
            plist_t val = nullptr;
            plist_dict_next_item(n, it, &key, &val);
            if (!val) {
                free(key);
                break;
            }
            std::string name = key ? key : "";
            free(key);
            if (!detail::isPlistText(name)) sound = false;
            d[std::move(name)] = fromNode(val, depth + 1, sound);
        }
        free(it);
        return Value(std::move(d));
    }
    case PLIST_UID: {
        uint64_t u = 0;
        plist_get_uid_val(n, &u);
        return Value(int64_t(u));
    }
    default:
        return Value();
    }
}

// `wholeSeconds`: an XML plist's dates hold whole seconds, so a date is written as the second it falls
// in (libplist would drop the fraction towards 2001 instead).
plist_t toNode(const Value& v, bool wholeSeconds) {
    switch (v.type()) {
    case Value::Type::Null:
        return plist_new_string("");
    case Value::Type::Bool:
        return plist_new_bool(v.boolValue());
    case Value::Type::Integer:
        return plist_new_uint(uint64_t(v.intValue()));
    case Value::Type::Real:
        return plist_new_real(v.doubleValue());
    case Value::Type::String:
        return plist_new_string(v.string()->c_str());
    case Value::Type::Data:
        return plist_new_data(reinterpret_cast<const char*>(v.data()->data()), v.data()->size());
    case Value::Type::Date: {
        const double s = v.date()->secondsSince1970 - kEpochDelta;
        plist_t node = newDate(wholeSeconds ? std::floor(s) : s);
        return node ? node : plist_new_string(""); // never: the layout is fixed, the value any double
    }
    case Value::Type::Array: {
        plist_t a = plist_new_array();
        for (const auto& e : *v.array())
            plist_array_append_item(a, toNode(e, wholeSeconds));
        return a;
    }
    case Value::Type::Dictionary: {
        plist_t d = plist_new_dict();
        for (const auto& [k, e] : *v.dictionary())
            plist_dict_set_item(d, k.c_str(), toNode(e, wholeSeconds));
        return d;
    }
    }
    return plist_new_string("");
}
} // namespace

Tree parseTree(const Data& bytes) {
    if (!detail::isSound(bytes)) return nullptr;
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()), uint32_t(bytes.size()), &root);
    return Tree(root);
}

std::optional<std::string> stringOf(plist_t node) {
    if (!node || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    uint64_t length = 0;
    const char* text = plist_get_string_ptr(node, &length);
    if (!text) return std::nullopt;
    std::string out(text, size_t(length));
    if (!detail::isPlistText(out)) return std::nullopt;
    return out;
}

std::optional<Value> parse(const Data& bytes) {
    auto root = parseTree(bytes);
    if (!root) return std::nullopt;
    bool sound = true;
    Value v = fromNode(root.get(), 1, sound);
    if (!sound) return std::nullopt;
    return v;
}

std::optional<Value> readFile(const std::string& path) {
    auto d = foundation::readFile(path, kMaxBytes);
    if (!d) return std::nullopt;
    return parse(*d);
}

Data toXml(const Value& v) {
    plist_t n = toNode(v, true);
    char* out = nullptr;
    uint32_t len = 0;
    plist_to_xml(n, &out, &len);
    Data d(out, out + len);
    plist_to_xml_free(out);
    plist_free(n);
    return d;
}

Data toBinary(const Value& v) {
    plist_t n = toNode(v, false);
    char* out = nullptr;
    uint32_t len = 0;
    plist_to_bin(n, &out, &len);
    Data d(out, out + len);
    plist_to_bin_free(out);
    plist_free(n);
    return d;
}

bool writeFile(const std::string& path, const Value& v) {
    return writeFileAtomically(path, toBinary(v));
}

} // namespace foundation::plist
