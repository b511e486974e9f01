#include "platform/foundation/Plist.h"

#include <cmath>
#include <plist/plist.h>

#include "platform/foundation/Files.h"
#include "platform/foundation/PlistTree.h"

namespace foundation::plist {

namespace {
// Seconds between 1970 and the plist epoch (2001-01-01).
constexpr double kEpochDelta = 978307200.0;

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
        int32_t sec = 0, usec = 0;
        plist_get_date_val(n, &sec, &usec);
        return Value(Date{sec + usec / 1e6 + kEpochDelta});
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

plist_t toNode(const Value& v) {
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
        double s = v.date()->secondsSince1970 - kEpochDelta;
        double whole = std::floor(s);
        return plist_new_date(int32_t(whole), int32_t((s - whole) * 1e6));
    }
    case Value::Type::Array: {
        plist_t a = plist_new_array();
        for (const auto& e : *v.array())
            plist_array_append_item(a, toNode(e));
        return a;
    }
    case Value::Type::Dictionary: {
        plist_t d = plist_new_dict();
        for (const auto& [k, e] : *v.dictionary())
            plist_dict_set_item(d, k.c_str(), toNode(e));
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
    plist_t n = toNode(v);
    char* out = nullptr;
    uint32_t len = 0;
    plist_to_xml(n, &out, &len);
    Data d(out, out + len);
    plist_to_xml_free(out);
    plist_free(n);
    return d;
}

Data toBinary(const Value& v) {
    plist_t n = toNode(v);
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
